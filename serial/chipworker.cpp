// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/chipworker.h"

#include "serial/seriallink.h"
#include "serial/trafficrecord.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>

namespace {

struct QueuedJob
{
    PortMap ports;
    Cancellation cancellation;
    std::function<std::function<void()>(SerialLink &)> run;
};

} // namespace

// The worker's thread: it makes the link, runs the jobs queued for it one at a time, and
// closes the link's port when it ends.
class ChipWorker::Thread final : public QThread
{
public:
    Thread(std::shared_ptr<TrafficRecord> traffic, std::shared_ptr<std::atomic<bool>> portOpen)
        : m_traffic(std::move(traffic)), m_portOpen(std::move(portOpen))
    {
        m_receiver.moveToThread(this);
    }

    ~Thread() override
    {
        quit();
        wait();
    }

    void enqueue(QueuedJob job)
    {
        {
            QMutexLocker lock(&m_mutex);
            m_queue.push_back(std::move(job));
        }
        QMetaObject::invokeMethod(&m_receiver, [this] { runQueued(); }, Qt::QueuedConnection);
    }

    bool waitUntilStopped(int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        QMutexLocker lock(&m_mutex);
        while (m_running || !m_queue.empty()) {
            if (!m_stopped.wait(&m_mutex, deadline))
                return false;
        }
        return true;
    }

protected:
    void run() override
    {
        SerialLink link;
        link.setProgramTraffic(m_traffic);
        QObject::connect(&link, &SerialLink::openChanged, &link, [this](bool open) { m_portOpen->store(open); });
        m_link = &link;
        exec();
        m_link = nullptr;
    }

private:
    // Every wait of a job runs this thread's event loop, where the call for the next job
    // may come: it waits until the running job has ended.
    void runQueued()
    {
        QMutexLocker lock(&m_mutex);
        if (m_running || !m_link)
            return;
        m_running = true;
        while (!m_queue.empty()) {
            QueuedJob job = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            m_link->setPorts(std::move(job.ports));
            m_link->startJob(job.cancellation);
            const std::function<void()> handOver = job.run(*m_link);
            m_link->close();  // a job leaves no port open for the next
            m_link->startJob();
            handOver();
            lock.relock();
        }
        m_running = false;
        m_stopped.wakeAll();
    }

    std::shared_ptr<TrafficRecord> m_traffic;
    std::shared_ptr<std::atomic<bool>> m_portOpen;
    QObject m_receiver;
    SerialLink *m_link = nullptr;  // this thread only
    QMutex m_mutex;
    bool m_running = false;
    std::deque<QueuedJob> m_queue;
    QWaitCondition m_stopped;  // no job runs and none is queued
};

ChipWorker::ChipWorker(std::shared_ptr<TrafficRecord> programTraffic, QObject *parent)
    : QObject(parent), m_portOpen(std::make_shared<std::atomic<bool>>(false))
{
    m_thread = std::make_unique<Thread>(std::move(programTraffic), m_portOpen);
    m_thread->setObjectName(QStringLiteral("chip worker"));
    m_thread->start();
}

ChipWorker::~ChipWorker()
{
    cancelAll(Cancellation::Reason::ProgramEnding);
    m_thread.reset();  // its last wait ends at the cancellation; it closes the port
}

Cancellation ChipWorker::newJob()
{
    Cancellation cancellation;
    if (m_ending)
        cancellation.request(Cancellation::Reason::ProgramEnding);
    m_active.append(cancellation);
    ++m_jobsOut;
    return cancellation;
}

void ChipWorker::enqueue(const PortMap &ports, const Cancellation &cancellation, Run run)
{
    m_thread->enqueue(QueuedJob{ports, cancellation, std::move(run)});
}

void ChipWorker::handOver(const Cancellation &cancellation, const QPointer<QObject> &context,
                          std::function<void()> done)
{
    m_active.removeOne(cancellation);
    --m_jobsOut;
    if (context)
        done();
    if (m_jobsOut == 0)
        emit idle();
}

bool ChipWorker::waitUntilStopped(int timeoutMs)
{
    return m_thread->waitUntilStopped(timeoutMs);
}

void ChipWorker::cancelAll(Cancellation::Reason reason)
{
    if (reason == Cancellation::Reason::ProgramEnding)
        m_ending = true;
    for (const Cancellation &job : std::as_const(m_active))
        job.request(reason);
}
