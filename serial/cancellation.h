// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <atomic>
#include <memory>

// The signal behind a Cancellation: emitted in the thread that requests it, received in
// the thread of whoever waits (a queued call when that is another thread).
class CancellationSignal final : public QObject
{
    Q_OBJECT

signals:
    void requested();
};

// Asks a chip job to stop, from any thread. Copies share one state: the front end keeps
// one, the job's link and waits another. A wait in progress ends at once (its event loop
// is woken; nothing polls), and what the job does after that goes nowhere near the chip.
//
// It says why: the operator stopped the job, or the program is ending. The second is the
// stronger: requested after the first it replaces it, never the other way round. reset()
// makes it unrequested again, for the owner to use it for the next job.
class Cancellation final
{
public:
    enum class Reason : int {
        None,
        OperatorStopped,
        ProgramEnding,
    };

    Cancellation();

    void request(Reason reason) const;
    void reset() const;
    Reason reason() const;
    bool isRequested() const { return reason() != Reason::None; }

    // Calls slot in receiver's thread when the job is cancelled from now on. Connect
    // before looking at isRequested(), so that a request between the two is not missed.
    template<class Slot>
    QMetaObject::Connection onRequested(const QObject *receiver, Slot slot) const
    {
        return QObject::connect(&m_state->signal, &CancellationSignal::requested, receiver, std::move(slot));
    }

    friend bool operator==(const Cancellation &a, const Cancellation &b) { return a.m_state == b.m_state; }

private:
    struct State
    {
        std::atomic<int> reason{int(Reason::None)};
        CancellationSignal signal;
    };
    std::shared_ptr<State> m_state;
};
