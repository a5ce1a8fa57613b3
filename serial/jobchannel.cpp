// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/jobchannel.h"

#include <QEventLoop>
#include <QMutex>

namespace {

// One round trip: whether the call has run, and the loop that waits for it while it does.
struct Pending
{
    QMutex mutex;
    bool done = false;
    bool ran = false;
    QEventLoop *waiting = nullptr;
};

} // namespace

JobChannel::JobChannel(QObject *frontEnd, QObject *context, Cancellation cancellation)
    : m_frontEnd(frontEnd), m_context(context), m_cancellation(std::move(cancellation))
{
}

void JobChannel::notify(std::function<void()> call) const
{
    if (!m_frontEnd)
        return;
    QMetaObject::invokeMethod(m_frontEnd, [context = m_context, call = std::move(call)] {
        if (context)
            call();
    }, Qt::QueuedConnection);
}

bool JobChannel::roundTrip(std::function<void()> call) const
{
    if (!m_frontEnd || m_cancellation.isRequested())
        return false;
    auto pending = std::make_shared<Pending>();
    QEventLoop loop;
    {
        QMutexLocker lock(&pending->mutex);
        pending->waiting = &loop;
    }
    m_cancellation.onRequested(&loop, [&loop] { loop.quit(); });
    QMetaObject::invokeMethod(m_frontEnd, [pending, context = m_context, cancellation = m_cancellation,
                                           call = std::move(call)] {
        // Not put at all once nobody waits for the answer.
        const bool alive = !context.isNull() && !cancellation.isRequested();
        if (alive)
            call();
        QMutexLocker lock(&pending->mutex);
        pending->done = true;
        pending->ran = alive;
        // A queued quit: the loop belongs to the job's thread. Should the wait have ended
        // meanwhile, the loop is gone and took the queued call with it.
        if (pending->waiting)
            QMetaObject::invokeMethod(pending->waiting, &QEventLoop::quit, Qt::QueuedConnection);
    }, Qt::QueuedConnection);

    for (;;) {
        {
            QMutexLocker lock(&pending->mutex);
            if (pending->done)
                break;
        }
        if (m_cancellation.isRequested())
            break;
        loop.exec();
    }
    QMutexLocker lock(&pending->mutex);
    pending->waiting = nullptr;
    return pending->done && pending->ran;
}
