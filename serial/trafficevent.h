// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/handshake.h"

#include <QByteArray>
#include <QString>

// One thing that happened on a serial line: a port opened or closed, bytes handed to the
// port, bytes taken from it. The time is the monotonic clock of QElapsedTimer (and of the
// simulator's transcripts), in nanoseconds; bytes are stamped on the program's side, when
// it hands them to the port or takes them from it.
struct TrafficEvent
{
    enum class Kind : quint8 {
        Opened,
        OpenFailed,  // note says why
        Closed,
        Lost,        // the device went away while open; note says how
        Sent,
        Received,
    };

    qint64 timeNs = 0;
    Kind kind = Kind::Sent;
    qint8 port = 0;        // COM number
    Handshake handshake = Handshake::None;
    qint32 speed = 0;      // bit/s
    QString device;
    QByteArray bytes;      // Sent and Received
    QString note;          // OpenFailed and Lost; DroppedNote on Received bytes no request took

    // Received bytes thrown away before a request: a late answer or noise, never taken
    // for the answer of what follows.
    static inline const QString DroppedNote = QStringLiteral("dropped");
};
