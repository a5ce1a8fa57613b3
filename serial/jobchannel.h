// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/cancellation.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

// How a chip job on its worker's thread reaches the front end that started it: calls run
// in the front end's thread, in the order they were made, and not at all once the front
// end's object (the job's context) is gone. A job gets one from ChipWorker::start().
//
// notify() hands something over and goes on at once (a queued call). ask() is a round
// trip for what needs a person before the next byte goes out (a question, a message box
// to be closed): the job waits on its own thread's event loop, not blocking it, until the
// answer has come or the job is cancelled, so the program ending while it asks never
// waits for the answer.
class JobChannel final
{
public:
    // Leads nowhere: notify() drops its call, ask() answers nothing at once.
    JobChannel() = default;
    // frontEnd lives in the front end's thread and outlives the job (the worker object);
    // context is the front end's object the calls are for.
    JobChannel(QObject *frontEnd, QObject *context, Cancellation cancellation);

    const Cancellation &cancellation() const { return m_cancellation; }

    void notify(std::function<void()> call) const;

    // question's answer, given in the front end's thread; nothing when the job was
    // cancelled first or the front end is gone.
    template<class R>
    std::optional<R> ask(std::function<R()> question) const
    {
        auto answer = std::make_shared<std::optional<R>>();
        // Written in the front end's thread before roundTrip sees the call done, under the
        // lock both take: read here after it.
        if (!roundTrip([question = std::move(question), answer] { *answer = question(); }))
            return std::nullopt;
        return *answer;
    }

    // Runs call in the front end's thread and waits until it has run; false when the job
    // was cancelled first or the front end is gone (then call does not run at all).
    bool roundTrip(std::function<void()> call) const;

private:
    QObject *m_frontEnd = nullptr;
    QPointer<QObject> m_context;  // looked at only in the front end's thread
    Cancellation m_cancellation;
};
