// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/trafficrecord.h"

#include <QList>
#include <QString>

// The program's own record of its line, for tests that measure gaps. Its stamps are taken
// when the program hands bytes to the port and when it takes them from it, so a busy
// machine can only make a gap between them longer: a lower bound holds exactly.

// The events of that kind, on port (0: on every port), oldest first.
inline QList<TrafficEvent> eventsOf(const TrafficRecord &record, TrafficEvent::Kind kind, int port = 0)
{
    QList<TrafficEvent> out;
    for (const TrafficEvent &event : record.events()) {
        if (event.kind == kind && (port == 0 || event.port == port))
            out.append(event);
    }
    return out;
}

inline QList<TrafficEvent> sentEvents(const TrafficRecord &record, int port = 0)
{
    return eventsOf(record, TrafficEvent::Kind::Sent, port);
}

// Empty when `to` came at least minMs and less than maxMs after `from`; otherwise what
// was measured. The upper bound is loose: the machine is shared.
inline QString gapError(const TrafficEvent &from, const TrafficEvent &to, double minMs, double maxMs = 60000)
{
    const double gap = double(to.timeNs - from.timeNs) / 1e6;
    if (gap >= minMs && gap < maxMs)
        return {};
    return QStringLiteral("%1 ms from %2 to %3, not %4 to %5")
        .arg(gap)
        .arg(QString::fromLatin1(from.bytes.toHex(' ')), QString::fromLatin1(to.bytes.toHex(' ')))
        .arg(minMs)
        .arg(maxMs);
}

// Empty when the reply to the last `request` sent was first taken from the port at least
// minMs after the request: the wait between a request and its read.
inline QString replyWaitError(const TrafficRecord &record, const QByteArray &request, double minMs)
{
    const QList<TrafficEvent> events = record.events();
    qsizetype at = events.size();
    while (--at >= 0) {
        if (events[at].kind == TrafficEvent::Kind::Sent && events[at].bytes == request)
            break;
    }
    for (qsizetype i = at + 1; at >= 0 && i < events.size(); ++i) {
        if (events[i].kind == TrafficEvent::Kind::Received && events[i].port == events[at].port)
            return gapError(events[at], events[i], minMs);
    }
    return QStringLiteral("no reply to %1 taken").arg(QString::fromLatin1(request.toHex(' ')));
}
