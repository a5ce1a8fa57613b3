// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/powercommands.h"

#include "core/logging.h"
#include "protocol/exchanges.h"

namespace PowerCommands {

namespace {

template<class Exchange>
JobResult<void> onChipPort(SerialLink &link, const ConnectionSettings &chip, Exchange exchange)
{
    if (!ChipJob::open(link, chip))
        return Failure(ChipJob::stopped(link));
    exchange(link);
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    link.close();
    return {};
}

} // namespace

JobResult<void> sleep(SerialLink &link, const ConnectionSettings &chip)
{
    const Logging::JobScope job("sleep");
    return onChipPort(link, chip, Exchanges::sleep);
}

JobResult<void> reset(SerialLink &link, const ConnectionSettings &chip)
{
    const Logging::JobScope job("reset");
    return onChipPort(link, chip, Exchanges::reset);
}

JobResult<WakeUp> wakeUp(SerialLink &link, const ConnectionSettings *chip, JobListener &listener,
                         const QList<int> &ports)
{
    const Logging::JobScope job("wake-up");
    WakeUp woken;
    woken.ports = Detection::wakeUpPrinter(link, ports);
    if (link.isCancelled())
        return Failure(ChipJob::stopped(link));
    listener.woken();
    if (chip) {
        if (const JobResult<void> cancelSent = onChipPort(link, *chip, Exchanges::cancel); !cancelSent) {
            if (cancelSent.error().cancelled())
                return Failure(cancelSent.error());
            woken.chipPortFailed = cancelSent.error();
        }
    }
    woken.failures = link.failures();
    return woken;
}

} // namespace PowerCommands
