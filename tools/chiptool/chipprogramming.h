// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/configurationread.h"
#include "protocol/programming.h"
#include "tools/chiptool/exitstatus.h"
#include "tools/chiptool/verification.h"

#include <QList>

#include <optional>

class ChipSession;
struct ProgrammingTarget;

// What program does, and line for each chip: "Configure chipset" with the target, then
// the configuration and identity read back and compared with what was written.
struct ProgramRun
{
    ProgrammingResult programming;                 // as far as it went
    std::optional<JobError> programmingStopped;    // why it did not run to its end
    std::optional<ConfigurationReading> readBack;  // once programming has run to its end
    std::optional<JobError> readBackStopped;       // why the read-back did not
    QList<Check> checks;
    int settingCount = 0;   // the settings programming was to write
    bool heard = false;     // the chip sent anything at all

    bool programmed() const { return !programmingStopped; }
    bool passed() const;
};

ProgramRun programAndVerify(ChipSession &session, const ConnectionSettings &chip,
                            const ProgrammingTarget &target, JobListener &listener);

// Why a run did not pass, as the command's exit status and error line; nothing when it
// passed.
std::optional<ToolError> judgeRun(ChipSession &session, const ConnectionSettings &chip,
                                  const ProgrammingTarget &target, const ProgramRun &run);
