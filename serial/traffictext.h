// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/trafficevent.h"

#include <QList>
#include <QString>

// The one text form of the traffic record, shared by qv12-chip --log, the traffic
// monitor's Save and the support report: a line per event, bytes as hex and as printable
// characters side by side, at most 16 bytes a line.
//
//       1234.567  COM2 9600    opened /dev/ttyUSB0, DSR/DTR Mode
//       1234.620  COM2 9600    -> 1B 49                                            .I
//       1234.724  COM2 9600    <- 4B 54 20 36 31 30 2D 53 54 20 20 20 20 20 20 20  KT 610-ST
//
// Times are milliseconds since originNs. Only printable ASCII shows as itself; every other
// byte is a "." beside its hex, so no text from the chip can act as markup or control.
namespace TrafficText {

// The start every line of event has: its time, COM number and speed.
QString head(const TrafficEvent &event, qint64 originNs);
// The lines of one event (a long run of bytes takes several).
QStringList lines(const TrafficEvent &event, qint64 originNs);
// Every event's lines, each ending in "\n".
QString format(const QList<TrafficEvent> &events, qint64 originNs);

} // namespace TrafficText
