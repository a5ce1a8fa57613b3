// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"
#include "protocol/detection.h"

// The chip's power commands. None of them is answered: a chip that misses one goes
// unnoticed. Each opens the chip's port and closes it again.
namespace PowerCommands {

// CAN, ESC "S", 10 ms once they are out, CAN: each its own write.
JobEnd sleep(SerialLink &link, const ConnectionSettings &chip);
// ESC "@".
JobEnd reset(SerialLink &link, const ConnectionSettings &chip);

struct WakeUpResult
{
    JobEnd end = JobEnd::Done;      // of the CAN to the chip's port, when there is one
    Detection::WakeupResult ports;  // where the wake-up byte went, and where not
};

// The wake-up byte on every existing port and a second's pause (Detection::WakeupPrinter),
// then, when chip is given, CAN on its port.
WakeUpResult wakeUp(SerialLink &link, const ConnectionSettings *chip, JobListener &listener);

} // namespace PowerCommands
