// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/terminallistener.h"

#include "production/chipprogramming.h"

#include "tools/chiptool/console.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/terminalquestion.h"

using namespace Qt::StringLiterals;

TerminalListener::TerminalListener(Console &console, SerialLink &link, ToolOptions::Polarity polarity,
                                   const QString &where)
    : m_console(console), m_link(link), m_polarity(polarity), m_where(where)
{
}

bool TerminalListener::programDespitePolarity(quint8 detected, int chosen)
{
    const QString difference = u"the chip detects strobe polarity %1, the configuration has %2"_s
                                   .arg(polarityName(detected), polarityName(chosen));
    switch (m_polarity) {
    case ToolOptions::Polarity::Continue:
        m_console.note(difference + u"; programming all the same (--polarity-mismatch continue)"_s);
        return true;
    case ToolOptions::Polarity::Abort:
        return false;
    case ToolOptions::Polarity::Ask:
        break;
    }
    if (!TerminalQuestion::canAsk())
        return false;
    return TerminalQuestion::askYesNo(m_console, m_link,
                                      u"%1: %2. Program anyway?"_s.arg(m_where, difference));
}

void TerminalListener::progress(int done, int total, const QString &step)
{
    if (step == ReadBackStep)
        m_console.progress(u"reading back %1"_s.arg(m_where));
    else
        m_console.progress(u"programming %1: %2"_s.arg(m_where, stepText(done, total, step)));
}

QString TerminalListener::stepText(int done, int total, const QString &step)
{
    if (step == ReadBackStep)
        return u"reading back"_s;
    if (step == u"reset"_s)
        return u"restarting the chip"_s;
    if (step == u"identity"_s)
        return u"asking for its new identity"_s;
    // Programming counts its settings, then the reset and the identity request.
    return u"setting %1 of %2"_s.arg(done + 1).arg(total - 2);
}
