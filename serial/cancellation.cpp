// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/cancellation.h"

Cancellation::Cancellation() : m_state(std::make_shared<State>())
{
}

void Cancellation::request(Reason reason) const
{
    int current = m_state->reason.load();
    do {
        if (int(reason) <= current)
            return;  // already requested, for this reason or a stronger one
    } while (!m_state->reason.compare_exchange_weak(current, int(reason)));
    // Set before the signal: a waiter woken by it finds the reason in place.
    emit m_state->signal.requested();
}

void Cancellation::reset() const
{
    m_state->reason.store(int(Reason::None));
}

Cancellation::Reason Cancellation::reason() const
{
    return Reason(m_state->reason.load());
}
