// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"
#include "protocol/detection.h"

// The chip's power commands. None of them is answered: a chip that misses one goes
// unnoticed. Each opens the chip's port and closes it again.
namespace PowerCommands {

// CAN, ESC "S", 10 ms once they are out, CAN: each its own write.
JobResult<void> sleep(SerialLink &link, const ConnectionSettings &chip);
// ESC "@".
JobResult<void> reset(SerialLink &link, const ConnectionSettings &chip);

struct WakeUp
{
    Detection::WakeupResult ports;           // where the wake-up byte went, and where not
    std::optional<JobError> chipPortFailed;  // the CAN to the chip's port could not go: why
    QList<LinkFailure> failures;             // what the link could not do in the whole job
};

// The wake-up byte on each of ports that exists and a second's pause
// (Detection::wakeUpPrinter), then, when chip is given, CAN on its port. Fails only when
// cancelled: the ports it could not reach, the chip's included, are in its result.
JobResult<WakeUp> wakeUp(SerialLink &link, const ConnectionSettings *chip, JobListener &listener,
                         const QList<int> &ports = Detection::everyPort());

} // namespace PowerCommands
