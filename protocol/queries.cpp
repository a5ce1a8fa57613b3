// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/queries.h"

#include "protocol/commands.h"
#include "protocol/exchanges.h"
#include "serial/seriallink.h"
#include "serial/timerout.h"

#include <QElapsedTimer>

namespace Queries {

namespace {

// Waits up to 500 ms for at least one byte; true when one came.
bool waitForData(SerialLink &link, TimerOut &timer)
{
    timer.start(TimeoutMs);
    timer.waitUntil([&link] { return link.bytesWaiting() > 0; });
    timer.stop();
    return !timer.TimedOut();
}

} // namespace

quint8 get_value(SerialLink &link, TimerOut &timer)
{
    if (!waitForData(link, timer))
        return 0;
    const QByteArray read = link.readWaiting();
    return read.isEmpty() ? 0 : quint8(read.at(0));
}

quint8 get_opto(SerialLink &link, TimerOut &timer)
{
    Exchanges::request(link, Commands::GetOpto());
    return get_value(link, timer);
}

quint8 get_ad(SerialLink &link, TimerOut &timer)
{
    Exchanges::request(link, Commands::GetAd());
    return get_value(link, timer);
}

QByteArray get_string(SerialLink &link, TimerOut &timer)
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

} // namespace Queries
