// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/trafficrecord.h"

#include <algorithm>
#include <time.h>

TrafficRecord::TrafficRecord(QObject *parent) : QObject(parent), m_originNs(nowNs())
{
    m_ring.reserve(Capacity);
}

qint64 TrafficRecord::nowNs()
{
    // The clock of QElapsedTimer and of the simulator's transcripts.
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void TrafficRecord::append(TrafficEvent event)
{
    if (m_ring.size() < size_t(Capacity)) {
        m_ring.push_back(std::move(event));
    } else {
        m_ring[size_t((m_next - m_base) % Capacity)] = std::move(event);
        ++m_first;
    }
    ++m_next;
    emit changed();
}

void TrafficRecord::clear()
{
    m_ring.clear();
    m_first = m_base = m_next;
    emit changed();
}

QList<TrafficEvent> TrafficRecord::events() const
{
    return eventsSince(m_first);
}

QList<TrafficEvent> TrafficRecord::eventsSince(quint64 sequence, quint64 until) const
{
    QList<TrafficEvent> out;
    const quint64 from = std::max(sequence, m_first);
    const quint64 end = std::min(until, m_next);
    if (from >= end)
        return out;
    out.reserve(qsizetype(end - from));
    for (quint64 n = from; n < end; ++n)
        out.append(m_ring[size_t((n - m_base) % Capacity)]);
    return out;
}
