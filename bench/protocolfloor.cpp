// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/protocolfloor.h"

#include "protocol/protocoltiming.h"

#include <algorithm>
#include <cmath>

void ProtocolFloor::opened(int speed)
{
    m_byteMs = 10.0 * 1000.0 / speed;
}

void ProtocolFloor::sent(qsizetype bytes)
{
    m_lineOut = std::max(m_lineOut, m_t) + double(bytes) * m_byteMs;
}

void ProtocolFloor::waited(int ms)
{
    m_t = std::max(m_t, m_lineOut) + ms;
}

void ProtocolFloor::polled(qsizetype bytes, bool text)
{
    constexpr double SilenceMs = ProtocolTiming::SilentPolls * ProtocolTiming::PollMs;
    if (bytes == 0) {
        m_t += SilenceMs;
        return;
    }
    // The reply follows the request's last byte on the line.
    const double replyIn = m_lineOut + double(bytes) * m_byteMs;
    if (m_t < replyIn)
        m_t += ProtocolTiming::PollMs * std::ceil((replyIn - m_t) / ProtocolTiming::PollMs);
    if (text)
        m_t += SilenceMs;
}

void ProtocolFloor::closed()
{
    m_t = std::max(m_t, m_lineOut);
}
