// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chipaction.h"

#include "app/appcontext.h"
#include "app/linkfailuretext.h"
#include "app/prompter.h"

ChipAction::ChipAction(bool &running, AppContext &context)
    : m_running(running), m_context(context)
{
    if (m_running) {
        m_refused = true;
        m_context.prompter().beep();
        return;
    }
    m_running = true;
    m_context.link().takeFailures();  // what an earlier query left is not this action's
}

ChipAction::~ChipAction()
{
    if (m_refused)
        return;
    reportFailures();
    m_running = false;
}

bool ChipAction::ending() const
{
    return m_context.link().isAborted();
}

void ChipAction::reportFailures()
{
    const QList<LinkFailure> failures = m_context.link().takeFailures();
    if (failures.isEmpty() || m_reported || ending())
        return;
    m_reported = true;
    m_context.prompter().message(LinkFailureText::forAction(failures), Prompter::Icon::Critical,
                                 Prompter::Buttons::Ok);
}
