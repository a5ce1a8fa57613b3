// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/trafficevent.h"

#include <QList>
#include <QMutex>
#include <QObject>

#include <vector>

// The last events of a serial line, in a ring: what the monitor shows, what --log and
// the support report write, and what tests measure gaps on. Appending is a copy into a
// slot that already exists, so recording costs nothing the line would notice.
//
// Each link keeps its own, written only from the link's thread; the program keeps one
// more into which every link records too (record()), so that the monitor, the log and
// the report show all the lines in time order. Any thread may read either: every call
// takes the record's lock, and a reader gets copies.
class TrafficRecord final : public QObject
{
    Q_OBJECT

public:
    static constexpr int Capacity = 20000;

    explicit TrafficRecord(QObject *parent = nullptr);

    void append(TrafficEvent event);
    // Stamps event with the time now and appends it, both under the record's lock, so
    // that events from several threads stand in the order of their stamps; returns the
    // event as stamped.
    TrafficEvent record(TrafficEvent event);
    void clear();

    // The events still held, oldest first.
    QList<TrafficEvent> events() const;
    // The events numbered from sequence (as nextSequence() gave it earlier) up to, not
    // including, until; oldest first. Those already dropped from the ring are left out.
    QList<TrafficEvent> eventsSince(quint64 sequence, quint64 until = UINT64_MAX) const;
    // The number the next event will get; every event appended counts, from 0.
    quint64 nextSequence() const;

    // The origin of the times the text format shows: when the record was made.
    qint64 originNs() const { return m_originNs; }

    // The monotonic clock the events are stamped with.
    static qint64 nowNs();

signals:
    // After each append and clear, in the thread that appended; receivers in another
    // thread get it queued, and those that repaint batch it themselves.
    void changed();

private:
    void appendLocked(TrafficEvent event);

    mutable QMutex m_mutex;
    std::vector<TrafficEvent> m_ring;
    quint64 m_next = 0;      // sequence number of the next event
    quint64 m_first = 0;     // sequence number of the oldest event held
    quint64 m_base = 0;      // sequence number of the event in slot 0
    const qint64 m_originNs;
};
