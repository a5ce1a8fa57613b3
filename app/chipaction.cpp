// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chipaction.h"

#include "app/appcontext.h"
#include "app/linkfailuretext.h"
#include "app/prompter.h"

ChipAction::ChipAction(AppContext &context) : m_context(context)
{
}

bool ChipAction::begin()
{
    if (m_running) {
        m_context.prompter().beep();
        return false;
    }
    m_running = true;
    m_failures.clear();
    return true;
}

void ChipAction::addFailures(const QList<LinkFailure> &failures)
{
    // Each port and kind once, also when two jobs of the action met it.
    for (const LinkFailure &failure : failures) {
        const bool known = std::any_of(m_failures.cbegin(), m_failures.cend(), [&](const LinkFailure &f) {
            return f.kind == failure.kind && f.port == failure.port;
        });
        if (!known)
            m_failures.append(failure);
    }
}

void ChipAction::end()
{
    if (!m_failures.isEmpty() && !ending()) {
        m_context.prompter().message(LinkFailureText::forAction(m_failures), Prompter::Icon::Critical,
                                     Prompter::Buttons::Ok);
    }
    m_failures.clear();
    m_running = false;
}

bool ChipAction::ending() const
{
    return m_context.chipWorker().isEnding();
}
