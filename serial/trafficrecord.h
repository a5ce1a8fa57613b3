// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/trafficevent.h"

#include <QList>
#include <QObject>

#include <vector>

// The last events of the serial line, in a ring: what the monitor shows, what --log and
// the support report write, and what tests measure gaps on. Appending is a copy into a
// slot that already exists, so recording costs nothing the line would notice.
class TrafficRecord final : public QObject
{
    Q_OBJECT

public:
    static constexpr int Capacity = 20000;

    explicit TrafficRecord(QObject *parent = nullptr);

    void append(TrafficEvent event);
    void clear();

    // The events still held, oldest first.
    QList<TrafficEvent> events() const;
    // The events numbered from sequence (as nextSequence() gave it earlier) up to, not
    // including, until; oldest first. Those already dropped from the ring are left out.
    QList<TrafficEvent> eventsSince(quint64 sequence, quint64 until = UINT64_MAX) const;
    // The number the next event will get; every event appended counts, from 0.
    quint64 nextSequence() const { return m_next; }

    // The origin of the times the text format shows: when the record was made.
    qint64 originNs() const { return m_originNs; }

    // The monotonic clock the events are stamped with.
    static qint64 nowNs();

signals:
    // After each append and clear; receivers that repaint batch it themselves.
    void changed();

private:
    std::vector<TrafficEvent> m_ring;
    quint64 m_next = 0;      // sequence number of the next event
    quint64 m_first = 0;     // sequence number of the oldest event held
    quint64 m_base = 0;      // sequence number of the event in slot 0
    qint64 m_originNs = 0;
};
