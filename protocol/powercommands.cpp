// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/powercommands.h"

#include "protocol/detection.h"
#include "protocol/exchanges.h"

namespace PowerCommands {

namespace {

template<class Exchange>
JobEnd onChipPort(SerialLink &link, const ConnectionSettings &chip, Exchange exchange)
{
    if (!ChipJob::open(link, chip))
        return ChipJob::portEnd(link);
    exchange(link);
    const JobEnd end = link.isOpen() ? JobEnd::Done : ChipJob::portEnd(link);
    link.ClosePort();
    return end;
}

} // namespace

JobEnd sleep(SerialLink &link, const ConnectionSettings &chip)
{
    return onChipPort(link, chip, Exchanges::sleep);
}

JobEnd reset(SerialLink &link, const ConnectionSettings &chip)
{
    return onChipPort(link, chip, Exchanges::reset);
}

WakeUpResult wakeUp(SerialLink &link, const ConnectionSettings *chip, JobListener &listener)
{
    WakeUpResult result;
    result.ports = Detection::WakeupPrinter(link);
    if (link.isAborted()) {
        result.end = JobEnd::Aborted;
        return result;
    }
    listener.woken();
    if (chip)
        result.end = onChipPort(link, *chip, Exchanges::cancel);
    return result;
}

} // namespace PowerCommands
