// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/queries.h"

#include "core/logging.h"
#include "protocol/commands.h"
#include "protocol/protocoltiming.h"
#include "protocol/exchanges.h"
#include "serial/seriallink.h"
#include "serial/timerout.h"

#include <QElapsedTimer>

#include <algorithm>

namespace Queries {

namespace {

// Waits up to 500 ms for at least one byte; true when one came.
bool waitForData(SerialLink &link, TimerOut &timer)
{
    timer.start(ProtocolTiming::QueryTimeoutMs);
    timer.waitUntil([&link] { return link.bytesWaiting() > 0; });
    timer.stop();
    return !timer.timedOut();
}

} // namespace

quint8 readValue(SerialLink &link, TimerOut &timer)
{
    if (!waitForData(link, timer))
        return 0;
    const QByteArray read = link.readWaiting();
    return read.isEmpty() ? 0 : quint8(read.at(0));
}

quint8 readOptoSensor(SerialLink &link, TimerOut &timer)
{
    Exchanges::request(link, Commands::getOpto());
    return readValue(link, timer);
}

quint8 readAnalogue(SerialLink &link, TimerOut &timer)
{
    Exchanges::request(link, Commands::getAd());
    return readValue(link, timer);
}

QByteArray readString(SerialLink &link, TimerOut &timer)
{
    QByteArray result;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (!waitForData(link, timer)) {
            // Nothing came at all: the text is the single 0 it has always been. After
            // pieces without their closing 0, what came is the answer; taking the last
            // piece again would never end.
            if (result.isEmpty())
                result = QByteArray(1, '\0');
            return result;
        }
        const QByteArray piece = link.readWaiting();
        result += piece;
        if (piece.startsWith('\0'))
            return result;
        if (result.size() >= SerialLink::MaxReplyBytes || clock.elapsed() >= SerialLink::MaxReplyMs)
            return result;
    }
}

JobResult<QueryAnswer> run(SerialLink &link, const ConnectionSettings &chip, Query query)
{
    const Logging::JobScope job("query");
    if (!ChipJob::open(link, chip))
        return Failure(ChipJob::stopped(link));
    const quint64 mark = link.traffic().nextSequence();
    QueryAnswer answer;
    answer.query = query;
    TimerOut timer(link);
    switch (query) {
    case Query::Value:
        answer.value = readValue(link, timer);
        break;
    case Query::OptoSensor:
        answer.value = readOptoSensor(link, timer);
        break;
    case Query::Analogue:
        answer.value = readAnalogue(link, timer);
        break;
    case Query::String:
        answer.text = readString(link, timer);
        break;
    }
    const QList<TrafficEvent> events = link.traffic().eventsSince(mark);
    answer.answered = std::any_of(events.cbegin(), events.cend(),
                                  [](const TrafficEvent &e) { return e.kind == TrafficEvent::Kind::Received; });
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    link.close();
    return answer;
}

} // namespace Queries
