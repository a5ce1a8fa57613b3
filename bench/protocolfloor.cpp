// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/protocolfloor.h"

#include <algorithm>
#include <cmath>

void ProtocolFloor::send(int bytes)
{
    m_lineOut = std::max(m_lineOut, m_t) + bytes * m_byteMs;
}

void ProtocolFloor::wait(double ms)
{
    m_t = std::max(m_t, m_lineOut) + ms;
}

void ProtocolFloor::reply(int bytes)
{
    m_replyIn = m_lineOut + bytes * m_byteMs;
}

void ProtocolFloor::readByte()
{
    if (m_t < m_replyIn)
        m_t += PollMs * std::ceil((m_replyIn - m_t) / PollMs);
}

void ProtocolFloor::readText()
{
    readByte();
    m_t += SilentPolls * PollMs;
}

void ProtocolFloor::close()
{
    m_t = std::max(m_t, m_lineOut);
}

namespace FloorSteps {

void identify(ProtocolFloor &f, int identityBytes)
{
    f.openPort();
    f.send(2);
    f.reply(identityBytes);
    f.wait(100);
    f.readText();
    f.close();
}

void readConfiguration(ProtocolFloor &f, int identityBytes)
{
    f.openPort();
    for (int i = 0; i < 2; ++i) {  // settings 6 and 9
        f.send(4);
        f.reply(1);
        f.readByte();
    }
    f.send(3);
    f.reply(2);
    f.readText();
    f.send(2);
    f.reply(identityBytes);
    f.readText();
    f.close();
}

void program(ProtocolFloor &f, int settings, int identityBytes)
{
    auto write = [&f] {
        f.send(5);
        f.reply(1);
        f.readByte();
        f.wait(100);
    };
    f.openPort();
    f.send(3);  // the detected polarity
    f.reply(1);
    f.readByte();
    for (int i = 0; i < 3; ++i)  // settings 6, 7, 8
        write();
    f.close();
    f.openPort();
    for (int i = 3; i < settings; ++i)  // the identity from setting 9
        write();
    f.close();
    f.openPort();
    f.send(2);  // reset
    f.close();
    f.wait(1000);
    identify(f, identityBytes);
}

} // namespace FloorSteps
