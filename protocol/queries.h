// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"

#include <QByteArray>

class TimerOut;

// Queries of the chip that no control uses. They work on
// the port as the caller left it: the caller opens it first and closes it afterwards.
// Each wait for data lasts at most ProtocolTiming::QueryTimeoutMs (500 ms), measured by
// the time-out timer.
namespace Queries {

// The first byte that arrives within 500 ms (the rest of that read is dropped); 0 when
// none does.
quint8 readValue(SerialLink &link, TimerOut &timer);
// ESC GS "O" as one write, then readValue: the paper sensor.
quint8 readOptoSensor(SerialLink &link, TimerOut &timer);
// ESC GS "A" as one write, then readValue: the analogue input.
quint8 readAnalogue(SerialLink &link, TimerOut &timer);

// What the chip sends, piece by piece (each piece is what is waiting when data comes, at
// most 100 bytes), up to and including the piece that begins with the byte 0.
// A wait that passes without data ends the text: with nothing collected the result is
// the single byte 0; after pieces that did not begin with 0 the result is those pieces,
// with no 0 added. Like readReply it stops at SerialLink::MaxReplyBytes or
// SerialLink::MaxReplyMs against a chip that never stops sending.
QByteArray readString(SerialLink &link, TimerOut &timer);

enum class Query { Value, OptoSensor, Analogue, String };

// What a query brought: the number (Value, OptoSensor, Analogue) or the text (String),
// and whether the chip sent anything at all (the number is 0 too when it did not).
struct QueryAnswer
{
    Query query = Query::Value;
    quint8 value = 0;
    QByteArray text;
    bool answered = false;
};

// The query as a whole job: opens the chip's port (with its settling wait), runs the
// query, closes it.
JobResult<QueryAnswer> run(SerialLink &link, const ConnectionSettings &chip, Query query);

} // namespace Queries
