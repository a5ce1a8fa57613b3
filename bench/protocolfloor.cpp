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
