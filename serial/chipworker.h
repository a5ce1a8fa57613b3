// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/cancellation.h"
#include "serial/jobchannel.h"
#include "serial/portmap.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>

class SerialLink;
class TrafficRecord;

// A thread of its own that owns one serial link (made inside that thread) and runs chip
// jobs on it, one after the other. The front end's thread (the one the worker was made
// in: the window's, or qv12-chip's main thread) only starts jobs and receives their
// results as queued calls; it never waits for the chip. Several workers run side by
// side, each with its own link: their jobs overlap.
//
//     const Cancellation job = worker.start(ports, this,
//         [chip](SerialLink &link, const JobChannel &channel) { return Identification::identify(link, chip); },
//         [this](const JobResult<QByteArray> &identity) { show(identity); });
//
// The job function runs on the worker's thread and gets everything by value (the port
// map, the connection, its inputs); it may call the front end through the channel (its
// listener's calls, a question). The result comes back to done() in the front end's
// thread, unless context has been destroyed by then. Each job has its own Cancellation.
class ChipWorker final : public QObject
{
    Q_OBJECT

public:
    // Every link event goes into programTraffic too, when given.
    explicit ChipWorker(std::shared_ptr<TrafficRecord> programTraffic = {}, QObject *parent = nullptr);
    // The program ending: the running job is cancelled, its port closed, the thread ended.
    // Results not yet handed over are dropped.
    ~ChipWorker() override;

    template<class Job, class Done>
    Cancellation start(const PortMap &ports, QObject *context, Job job, Done done);

    // Cancels every job started and not yet ended. ProgramEnding also cancels every job
    // started from now on, at once: the worker is done.
    void cancelAll(Cancellation::Reason reason);
    bool isEnding() const { return m_ending; }
    // Waits, without running events, until the worker's thread has no job left (then its
    // port is closed) or timeoutMs have passed; true when none is left. For the program's
    // end, after cancelAll(): a cancelled job ends at its next wait and asks nothing more
    // of this thread, so this never waits for itself.
    bool waitUntilStopped(int timeoutMs);

    // Jobs started whose results have not yet been handed over.
    bool isBusy() const { return m_jobsOut > 0; }
    // The link's port is open now. From any thread.
    bool isPortOpen() const { return m_portOpen->load(); }

signals:
    // A result has been handed over and no job is left.
    void idle();

private:
    // A job to run on the link; what it returns hands its result over, once the link is
    // tidied up after it.
    using Run = std::function<std::function<void()>(SerialLink &)>;
    class Thread;

    // Registers a new job's cancellation (already requested when the worker is ending).
    Cancellation newJob();
    // Queues run for the worker's thread, with the link set to ports and cancellation.
    void enqueue(const PortMap &ports, const Cancellation &cancellation, Run run);
    // Hands a result over in this thread: done() unless context is gone, then the count.
    void handOver(const Cancellation &cancellation, const QPointer<QObject> &context, std::function<void()> done);

    std::unique_ptr<Thread> m_thread;
    QList<Cancellation> m_active;  // this thread only
    int m_jobsOut = 0;
    bool m_ending = false;
    std::shared_ptr<std::atomic<bool>> m_portOpen;
};

template<class Job, class Done>
Cancellation ChipWorker::start(const PortMap &ports, QObject *context, Job job, Done done)
{
    using Outcome = std::decay_t<std::invoke_result_t<Job &, SerialLink &, const JobChannel &>>;
    const Cancellation cancellation = newJob();
    const JobChannel channel(this, context, cancellation);
    const QPointer<QObject> guard(context);
    enqueue(ports, cancellation,
            [this, job = std::move(job), done = std::move(done), channel, guard](SerialLink &link) mutable {
                auto result = std::make_shared<Outcome>(job(link, channel));
                return std::function<void()>([this, done, guard, cancellation = channel.cancellation(), result] {
                    QMetaObject::invokeMethod(this, [this, done, guard, cancellation, result]() mutable {
                        handOver(cancellation, guard, [&] { done(std::move(*result)); });
                    }, Qt::QueuedConnection);
                });
            });
    return cancellation;
}
