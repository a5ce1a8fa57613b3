// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/trafficrecord.h"

#include "serial/platform.h"

#include <algorithm>

TrafficRecord::TrafficRecord(QObject *parent) : QObject(parent), m_originNs(nowNs())
{
    m_ring.reserve(Capacity);
}

qint64 TrafficRecord::nowNs()
{
    return Platform::monotonicNs();
}

void TrafficRecord::appendLocked(TrafficEvent event)
{
    if (m_ring.size() < size_t(Capacity)) {
        m_ring.push_back(std::move(event));
    } else {
        m_ring[size_t((m_next - m_base) % Capacity)] = std::move(event);
        ++m_first;
    }
    ++m_next;
}

void TrafficRecord::append(TrafficEvent event)
{
    {
        QMutexLocker lock(&m_mutex);
        appendLocked(std::move(event));
    }
    emit changed();
}

TrafficEvent TrafficRecord::record(TrafficEvent event)
{
    {
        QMutexLocker lock(&m_mutex);
        event.timeNs = nowNs();
        appendLocked(event);
    }
    emit changed();
    return event;
}

void TrafficRecord::clear()
{
    {
        QMutexLocker lock(&m_mutex);
        m_ring.clear();
        m_first = m_base = m_next;
    }
    emit changed();
}

quint64 TrafficRecord::nextSequence() const
{
    QMutexLocker lock(&m_mutex);
    return m_next;
}

QList<TrafficEvent> TrafficRecord::events() const
{
    return eventsSince(0);
}

QList<TrafficEvent> TrafficRecord::eventsSince(quint64 sequence, quint64 until) const
{
    QMutexLocker lock(&m_mutex);
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
