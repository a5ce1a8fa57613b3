// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/chiplocator.h"

#include "protocol/detection.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/console.h"
#include "production/failurewords.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

ToolError interrupted()
{
    return ToolError{ExitStatus::Interrupted, QCoreApplication::translate("ChipLocator", "interrupted")};
}

LocatedChip located(int port, int speed, const Detection::PortResult &result, bool scanned)
{
    LocatedChip found;
    found.chip.port = port;
    found.chip.speed = speed;
    found.chip.handshake = result.handshake;
    found.chip.chipFound = true;
    found.identity = result.identity;
    found.scanned = scanned;
    return found;
}

Result<LocatedChip, ToolError> onKnownLine(ChipSession &session)
{
    const ToolOptions &o = session.options();
    SerialLink &link = session.link();
    const int port = *o.com;
    if (o.handshake) {
        LocatedChip given;
        given.chip = ConnectionSettings{port, *o.speed, *o.handshake, true};
        return given;
    }
    session.console().progress(QCoreApplication::translate("ChipLocator", "asking %1 for its identity").arg(session.where(port, *o.speed)));
    session.beginJob();
    const JobResult<Detection::PortResult> result = Detection::detectOnPort(link, port, *o.speed, Detection::AskingHandshake);
    session.console().progress({});
    if (!result && result.error().cancelled())
        return Failure(interrupted());
    if (!result)
        return Failure(session.portFailure(port, result.error().failures));
    if (!result->found) {
        return Failure(ToolError{ExitStatus::NoChip, QCoreApplication::translate("ChipLocator", "%1: no chip answered the identity request; check the chip's "
                                 "power and cable and the speed, or let qv12-chip detect find it")
                                     .arg(session.where(port, *o.speed))});
    }
    return located(port, *o.speed, *result, false);
}

Result<LocatedChip, ToolError> byScan(ChipSession &session)
{
    const ToolOptions &o = session.options();
    SerialLink &link = session.link();
    Console &console = session.console();

    session.refreshPorts();
    QStringList scanned;
    // Devices given with --port that are not there: the chip may be behind one of them.
    QList<LinkFailure> missing;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        if (o.com && port != *o.com)
            continue;
        if (link.portExists(port))
            scanned.append(session.portName(port));
        else if (session.ports().isPinned(port) || o.com)
            missing.append(LinkFailure{LinkFailure::Kind::NoDevice, port, session.ports().device(port), {}, {}});
    }
    if (scanned.isEmpty() && !missing.isEmpty())
        return Failure(ToolError{ExitStatus::PortError, FailureWords::line(missing.first())});
    if (scanned.isEmpty()) {
        return Failure(ToolError{ExitStatus::NoChip, QCoreApplication::translate("ChipLocator", "there is no serial port to look for the chip on; plug in the "
                                 "serial adapter, or give its device with --port N=DEVICE")});
    }

    Detection::ScanHooks hooks;
    if (o.com || o.speed) {
        hooks.wanted = [&o](int port, int speed) {
            return (!o.com || port == *o.com) && (!o.speed || speed == *o.speed);
        };
    }
    hooks.attempting = [&](int port, int speed) {
        console.progress(QCoreApplication::translate("ChipLocator", "looking for the chip on %1").arg(session.where(port, speed)));
    };
    hooks.found = [&](int port, int) {
        console.progress(QCoreApplication::translate("ChipLocator", "identifying the chip on %1").arg(session.portName(port)));
    };
    console.progress(QCoreApplication::translate("ChipLocator", "waking the chip"));
    session.beginJob();
    const JobResult<Detection::AutodetectResult> detected = Detection::autodetect(link, hooks);
    console.progress({});
    if (!detected)
        return Failure(interrupted());

    const Detection::AutodetectResult &result = *detected;
    const QList<LinkFailure> passedOver = result.passedOver + missing;
    if (result.found()) {
        for (const LinkFailure &failure : passedOver)
            console.note(QCoreApplication::translate("ChipLocator", "the scan passed over %1").arg(FailureWords::line(failure)));
        return located(result.scan.port, result.scan.speed, result.identification, true);
    }
    if (result.scan.found) {
        // It answered the probes, then not the identity request: often a device that is
        // not a QV12, or a chip in the middle of a restart.
        return Failure(ToolError{ExitStatus::NoChip, QCoreApplication::translate("ChipLocator", "%1: something answered the probes but not the identity request; "
                                 "check that it is a QV12 chip and run the command again")
                                     .arg(session.where(result.scan.port, result.scan.speed))});
    }
    // A port that could not be opened may be the one with the chip behind it.
    if (!passedOver.isEmpty())
        return Failure(ToolError{ExitStatus::PortError, FailureWords::line(FailureWords::principal(passedOver))});
    return Failure(ToolError{ExitStatus::NoChip, QCoreApplication::translate("ChipLocator", "no chip answered on %1%2; check the chip's power and cable")
                                 .arg(scanned.join(u", "_s),
                                      o.speed ? QCoreApplication::translate("ChipLocator", " at %1 bauds").arg(*o.speed) : QCoreApplication::translate("ChipLocator", " at any speed"))});
}

} // namespace

Result<LocatedChip, ToolError> locateChip(ChipSession &session)
{
    const ToolOptions &o = session.options();
    if (o.com && o.speed)
        return onKnownLine(session);
    return byScan(session);
}
