// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"
#include "tools/chiptool/tooloptions.h"

#include <QString>

class Console;

// The answers of qv12-chip to a chip job: the polarity question from
// --polarity-mismatch, or from the person at the terminal, and the progress of
// programming on the terminal's progress line.
class TerminalListener final : public JobListener
{
public:
    // where names the chip's port for the question and the progress line.
    TerminalListener(Console &console, SerialLink &link, ToolOptions::Polarity polarity, const QString &where);

    bool programDespitePolarity(quint8 detected, int chosen) override;
    void progress(const ProgrammingStep &step) override;

    // A step of programming in words: "setting 3 of 11", "restarting the chip", ...
    static QString stepText(const ProgrammingStep &step);

private:
    Console &m_console;
    SerialLink &m_link;
    ToolOptions::Polarity m_polarity;
    QString m_where;
};
