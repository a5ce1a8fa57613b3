// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/linkfailure.h"

#include <QList>

class AppContext;

// One chip action at a time in the main window. An action runs its jobs on the chip
// worker while the window goes on answering; one started meanwhile would interleave its
// bytes with it, so it is refused with a beep and changes nothing:
//
//     if (!m_action.begin())
//         return;
//     ...start the job; when its result has come and been shown:
//     m_action.end();
//
// It also words the serial port's failures for the user: one message for the whole
// action, when it ends, with the failures its jobs brought back.
class ChipAction final
{
public:
    explicit ChipAction(AppContext &context);
    ChipAction(const ChipAction &) = delete;
    ChipAction &operator=(const ChipAction &) = delete;

    // False (with a beep, nothing else) while another action runs.
    bool begin();
    bool isRunning() const { return m_running; }
    // A job's failures, for the message at the end.
    void addFailures(const QList<LinkFailure> &failures);
    // Shows what went wrong with the port during the action, if anything, and ends it.
    void end();
    // True once the program is ending: the action stops at once, without a prompt.
    bool ending() const;

private:
    AppContext &m_context;
    bool m_running = false;
    QList<LinkFailure> m_failures;
};
