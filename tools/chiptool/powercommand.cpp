// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip sleep, wake and reset: the power commands. The chip answers none of them,
// so a chip that misses one goes unnoticed here as in the window.
#include "protocol/powercommands.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/tooloptions.h"

#include <QJsonArray>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr int DefaultHandshake = 2;  // "DSR/DTR Mode", the dialog's default

std::optional<ToolError> endError(ChipSession &session, const JobError &stopped, int port)
{
    if (stopped.cancelled())
        return ToolError{Interrupted, u"interrupted"_s};
    return session.portFailure(port, stopped.failures);
}

// Wake-up goes to every port, as the chip that sleeps can't be asked where it is; with
// --com and --speed the CAN that follows goes to its port.
int wake(ChipSession &session)
{
    const ToolOptions &o = session.options();
    session.refreshPorts();
    QStringList woken;
    QJsonArray wokenPorts;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        if (session.link().PortExists(port)) {
            woken.append(session.portName(port));
            wokenPorts.append(port);
        }
    }
    if (woken.isEmpty()) {
        return CommandSupport::finish(session, {}, ToolError{NoChip, u"there is no serial port to wake "
                                                                     "the chip on; plug in the serial adapter, "
                                                                     "or give its device with --port N=DEVICE"_s});
    }
    std::optional<ConnectionSettings> chip;
    if (o.com)
        chip = ConnectionSettings{qint16(*o.com), *o.speed, qint16(o.handshake.value_or(DefaultHandshake)), true};

    session.beginJob();
    session.console().progress(u"waking the chip"_s);
    JobListener quiet;
    const JobResult<PowerCommands::WakeUp> woke = PowerCommands::wakeUp(session.link(), chip ? &*chip : nullptr, quiet);
    session.console().progress({});
    // The wake-up byte to a port that can't be opened is lost like any other; only the
    // chip's own port counts.
    std::optional<ToolError> error;
    if (!woke)
        error = endError(session, woke.error(), chip ? chip->PortNumber : 0);

    QJsonObject fields{{u"woken"_s, wokenPorts}};
    if (chip)
        fields = ResultJson::merged(fields, ResultJson::line(session, *chip));
    if (!error) {
        session.console().text(u"Sent the wake-up byte to %1%2.\n"_s
                                   .arg(woken.join(u", "_s),
                                        chip ? u", then CAN to COM%1"_s.arg(*o.com) : QString()));
    }
    return CommandSupport::finish(session, fields, error);
}

} // namespace

namespace ChipCommands {

int power(ChipSession &session)
{
    const ToolOptions &o = session.options();
    if (o.command == ToolOptions::Command::Wake)
        return wake(session);

    const auto found = CommandSupport::locate(session);
    if (const auto *error = std::get_if<ToolError>(&found))
        return CommandSupport::finish(session, {}, *error);
    const ConnectionSettings &chip = std::get<LocatedChip>(found).chip;

    session.beginJob();
    const bool sleep = o.command == ToolOptions::Command::Sleep;
    const JobResult<void> sent = sleep ? PowerCommands::sleep(session.link(), chip)
                                       : PowerCommands::reset(session.link(), chip);
    std::optional<ToolError> error;
    if (!sent)
        error = endError(session, sent.error(), chip.PortNumber);
    if (!error) {
        session.console().text(u"Sent %1 to %2.\n"_s.arg(sleep ? u"sleep"_s : u"reset"_s,
                                                        session.portName(chip.PortNumber)));
    }
    return CommandSupport::finish(session, ResultJson::line(session, chip), error);
}

} // namespace ChipCommands
