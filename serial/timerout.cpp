// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/timerout.h"

#include "serial/seriallink.h"

#include <QEventLoop>

TimerOut::TimerOut(SerialLink &link, QObject *parent) : QObject(parent), m_link(link)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    // The tick only sets the flag; the timer keeps running until the caller stops it.
    connect(&m_timer, &QTimer::timeout, this, [this] { m_timedOut = true; });
}

void TimerOut::start(int ms)
{
    m_timedOut = false;
    m_timer.start(qMax(0, ms));
}

void TimerOut::stop()
{
    m_timer.stop();
}

bool TimerOut::waitUntil(const std::function<bool()> &condition)
{
    auto met = [&condition] { return condition && condition(); };
    QEventLoop loop;
    auto check = [&] {
        if (m_timedOut || m_link.isCancelled() || met())
            loop.quit();
    };
    connect(&m_timer, &QTimer::timeout, &loop, check);
    connect(&m_link, &SerialLink::bytesArrived, &loop, check);
    m_link.cancellation().onRequested(&loop, [&loop] { loop.quit(); });

    while (!m_timedOut && !met()) {
        if (m_link.isCancelled()) {
            m_timedOut = true;
            break;
        }
        if (!m_timer.isActive())
            break;
        loop.exec();
    }
    if (m_timedOut && !m_link.isCancelled() && m_link.observer())
        m_link.observer()->waited(m_timer.interval());
    return m_timedOut;
}
