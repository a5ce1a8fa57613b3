// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/chipfailure.h"
#include "production/verification.h"
#include "protocol/configurationread.h"
#include "protocol/programming.h"

#include <QList>
#include <QStringView>

#include <optional>

struct ProgrammingTarget;

// What a station does with each chip, and qv12-chip program with its one: "Configure
// chipset" with the target, then the configuration and identity read back and compared
// with what was written.
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

// Runs on link under cancellation; the listener hears programming's calls, and
// progress() of a ReadBack step before the read-back.
ProgramRun programAndVerify(SerialLink &link, const Cancellation &cancellation, const ConnectionSettings &chip,
                            const ProgrammingTarget &target, JobListener &listener);

// Why a run did not pass; nothing when it passed. ports names the chip's port.
std::optional<ChipFailure> judgeRun(const PortMap &ports, const ConnectionSettings &chip,
                                    const ProgrammingTarget &target, const ProgramRun &run);

// A strobe polarity as the chip answers it: "positive", "negative", or "unknown (5)".
QString polarityName(int polarity);
