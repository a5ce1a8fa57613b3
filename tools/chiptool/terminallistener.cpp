// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/terminallistener.h"

#include "production/chipprogramming.h"

#include "tools/chiptool/console.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/terminalquestion.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

TerminalListener::TerminalListener(Console &console, SerialLink &link, ToolOptions::Polarity polarity,
                                   const QString &where)
    : m_console(console), m_link(link), m_polarity(polarity), m_where(where)
{
}

bool TerminalListener::programDespitePolarity(quint8 detected, int chosen)
{
    const QString difference = QCoreApplication::translate("TerminalListener", "the chip detects strobe polarity %1, the configuration has %2")
                                   .arg(polarityName(detected), polarityName(chosen));
    switch (m_polarity) {
    case ToolOptions::Polarity::Continue:
        m_console.note(difference + QCoreApplication::translate("TerminalListener", "; programming all the same (--polarity-mismatch continue)"));
        return true;
    case ToolOptions::Polarity::Abort:
        return false;
    case ToolOptions::Polarity::Ask:
        break;
    }
    if (!TerminalQuestion::canAsk())
        return false;
    return TerminalQuestion::askYesNo(m_console, m_link,
                                      QCoreApplication::translate("TerminalListener", "%1: %2. Program anyway?").arg(m_where, difference));
}

void TerminalListener::progress(const ProgrammingStep &step)
{
    if (step.kind == ProgrammingStep::Kind::ReadBack)
        m_console.progress(QCoreApplication::translate("TerminalListener", "reading back %1").arg(m_where));
    else
        m_console.progress(QCoreApplication::translate("TerminalListener", "programming %1: %2").arg(m_where, stepText(step)));
}

QString TerminalListener::stepText(const ProgrammingStep &step)
{
    switch (step.kind) {
    case ProgrammingStep::Kind::ReadBack:
        return QCoreApplication::translate("TerminalListener", "reading back");
    case ProgrammingStep::Kind::Reset:
        return QCoreApplication::translate("TerminalListener", "restarting the chip");
    case ProgrammingStep::Kind::Identity:
        return QCoreApplication::translate("TerminalListener", "asking for its new identity");
    case ProgrammingStep::Kind::Setting:
        break;
    }
    return QCoreApplication::translate("TerminalListener", "setting %1 of %2").arg(step.settingNumber()).arg(step.settingCount());
}
