// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

class AppContext;
struct LinkFailure;

// One chip action at a time. Waits let other handlers run; an action started while
// another one waits would interleave its bytes with it, so it is refused with a beep and
// changes nothing. Made at the top of every chip handler:
//
//     ChipAction action(m_running, m_context);
//     if (action.refused())
//         return;
//
// It also words the serial port's failures for the user: one message per action at
// most, at the first reportFailures() that finds any, or when the action ends.
class ChipAction final
{
public:
    ChipAction(bool &running, AppContext &context);
    ChipAction(const ChipAction &) = delete;
    ChipAction &operator=(const ChipAction &) = delete;
    ~ChipAction();

    bool refused() const { return m_refused; }
    // Shows what went wrong with the port since the action began, once per action.
    void reportFailures();
    // True once the program is ending: the action stops at once, without a prompt.
    bool ending() const;

private:
    bool &m_running;
    AppContext &m_context;
    bool m_refused = false;
    bool m_reported = false;
};
