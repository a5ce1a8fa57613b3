// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip sleep, wake and reset: the power commands. The chip answers none of them,
// so a chip that misses one goes unnoticed here as in the window.
#include "protocol/powercommands.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "production/failurewords.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr Handshake DefaultHandshake = Handshake::DsrDtr;  // the dialog's first choice

std::optional<ToolError> endError(ChipSession &session, const JobError &stopped, int port)
{
    if (stopped.cancelled())
        return ToolError{ExitStatus::Interrupted, QCoreApplication::translate("PowerCommand", "interrupted")};
    return session.portFailure(port, stopped.failures);
}

// The CAN after the wake-up could not reach the chip's port: why, as the link saw it.
ToolError chipPortFailure(ChipSession &session, int port, const QList<LinkFailure> &failures)
{
    const std::optional<LinkFailure> failure = session.link().lastFailure();
    if (failure && failure->port == port)
        return ToolError{ExitStatus::PortError, FailureWords::line(*failure)};
    return session.portFailure(port, failures);
}

// Wake-up goes to every port, as the chip that sleeps can't be asked where it is; with
// --com and --speed the CAN that follows goes to its port. Nothing answers a wake-up, so
// the ports the byte went to are all there is to say, and a port it could not reach is
// named with the reason: a wake-up that reached none is a port error.
int wake(ChipSession &session)
{
    const ToolOptions &o = session.options();
    session.refreshPorts();
    bool anyPort = false;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port)
        anyPort = anyPort || session.link().portExists(port) || session.ports().isPinned(port);
    if (!anyPort) {
        return CommandSupport::finish(session, {}, ToolError{ExitStatus::NoChip, QCoreApplication::translate("PowerCommand", "there is no serial port to wake "
                                                                     "the chip on; plug in the serial adapter, "
                                                                     "or give its device with --port N=DEVICE")});
    }
    std::optional<ConnectionSettings> chip;
    if (o.com)
        chip = ConnectionSettings{*o.com, *o.speed, o.handshake.value_or(DefaultHandshake), true};

    session.beginJob();
    session.console().progress(QCoreApplication::translate("PowerCommand", "waking the chip"));
    JobListener quiet;
    const JobResult<PowerCommands::WakeUp> woke = PowerCommands::wakeUp(session.link(), chip ? &*chip : nullptr, quiet);
    session.console().progress({});
    const PowerCommands::WakeUp woken = woke.valueOr(PowerCommands::WakeUp());

    std::optional<ToolError> error;
    if (!woke)
        error = ToolError{ExitStatus::Interrupted, QCoreApplication::translate("PowerCommand", "interrupted")};
    else if (woken.chipPortFailed)
        error = chipPortFailure(session, chip->port, woken.chipPortFailed->failures);

    QStringList reached;
    QJsonArray reachedPorts;
    for (const int port : woken.ports.reached) {
        reached.append(session.portName(port));
        reachedPorts.append(port);
    }
    QJsonArray notReached;
    QStringList missed;
    for (const LinkFailure &failure : woken.ports.unreached) {
        const QString line = FailureWords::line(failure);
        notReached.append(QJsonObject{{u"port"_s, failure.port}, {u"device"_s, failure.device}, {u"error"_s, line}});
        missed.append(QCoreApplication::translate("PowerCommand", "the wake-up byte did not reach ") + line);
    }
    if (!error && !woken.ports.reachedAny() && !missed.isEmpty())
        error = ToolError{ExitStatus::PortError, missed.takeLast()};
    // Beside a success these are notes; beside a failure, part of it.
    for (const QString &line : std::as_const(missed)) {
        if (woken.ports.reachedAny())
            session.console().note(line);
        else
            session.console().error(line);
    }

    QJsonObject fields{{u"woken"_s, reachedPorts}, {u"not_reached"_s, notReached}};
    if (chip)
        fields = ResultJson::merged(fields, ResultJson::line(session, *chip));
    if (!reached.isEmpty() && (!error || error->status != ExitStatus::Interrupted)) {
        session.console().text(QCoreApplication::translate("PowerCommand", "Sent the wake-up byte to %1%2.\n")
                                   .arg(reached.join(u", "_s),
                                        chip && !error ? QCoreApplication::translate("PowerCommand", ", then CAN to COM%1").arg(*o.com) : QString()));
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
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const ConnectionSettings &chip = found->chip;

    session.beginJob();
    const bool sleep = o.command == ToolOptions::Command::Sleep;
    const JobResult<void> sent = sleep ? PowerCommands::sleep(session.link(), chip)
                                       : PowerCommands::reset(session.link(), chip);
    std::optional<ToolError> error;
    if (!sent)
        error = endError(session, sent.error(), chip.port);
    if (!error) {
        session.console().text(QCoreApplication::translate("PowerCommand", "Sent %1 to %2.\n").arg(sleep ? u"sleep"_s : u"reset"_s,
                                                        session.portName(chip.port)));
    }
    return CommandSupport::finish(session, ResultJson::line(session, chip), error);
}

} // namespace ChipCommands
