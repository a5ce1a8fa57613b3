// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/detection.h"

#include "core/logging.h"
#include "protocol/commands.h"
#include "protocol/protocoltiming.h"
#include "protocol/exchanges.h"
#include "serial/portmap.h"
#include "serial/seriallink.h"

using namespace Qt::StringLiterals;

namespace Detection {

QList<int> everyPort()
{
    QList<int> ports;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port)
        ports.append(port);
    return ports;
}

WakeupResult wakeUpPrinter(SerialLink &link, const QList<int> &ports)
{
    const Logging::JobScope job("wake-up byte");
    WakeupResult result;
    const PortMap &map = link.ports();
    for (const int port : ports) {
        if (link.isCancelled())
            break;
        if (!link.portExists(port)) {
            // A device someone named that isn't there; the system's vanished ports have
            // no device left to name.
            if (map.isPinned(port))
                result.unreached.append(LinkFailure{LinkFailure::Kind::NoDevice, port, map.device(port), {}, {}});
            continue;
        }
        if (!link.openDirect(port, WakeSpeed, Handshake::None)) {
            if (const std::optional<LinkFailure> failure = link.lastFailure())
                result.unreached.append(*failure);
            continue;
        }
        link.discardInput();
        link.send(Commands::wakeByte());
        link.close();
        // A device that went away before the byte was out took it with it.
        if (const std::optional<LinkFailure> failure = link.lastFailure())
            result.unreached.append(*failure);
        else if (!link.isCancelled())
            result.reached.append(port);
    }
    link.pause(ProtocolTiming::WakeSettleMs);
    return result;
}

Handshake handshakeFor(std::optional<quint8> serialSetting, int speed)
{
    if (serialSetting && (*serialSetting & 0x07) == Commands::speedCode(speed)
        && (*serialSetting & 0x80) == 0) {
        return Handshake::XonXoff;
    }
    return Handshake::DsrDtr;
}

QString chipName(const QByteArray &identity)
{
    return Exchanges::stripSpaces(QString::fromLatin1(identity.left(NameLength)));
}

JobResult<PortResult> detectOnPort(SerialLink &link, int port, int speed, Handshake handshake)
{
    PortResult result;
    if (!link.openDirect(port, speed, handshake))
        return Failure(ChipJob::stopped(link));
    // What the driver held from before the open (a reply that came after the port was
    // last closed) is no answer to this request.
    link.discardInput();
    link.send(Commands::identify());
    link.pause(ProtocolTiming::DetectionIdentifyWaitMs);
    result.identity = link.readWaiting();  // what has come by now, no polling
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    if (result.identity.isEmpty()) {
        qCDebug(lcProtocol, "COM%d at %d bauds: no identity", port, speed);
        link.close();
        return result;
    }
    result.found = true;

    // The identity's tail beyond what was read must not count as the probe's answer.
    link.discardInput();
    link.send(Commands::probe());
    link.pause(ProtocolTiming::ProbeWaitMs);
    if (link.bytesWaiting() == 1)
        link.readWaiting();  // the probe's status byte is not used

    Exchanges::request(link, Commands::readSetting(Commands::SettingSerial));
    link.pause(ProtocolTiming::ProbeWaitMs);
    link.send(Commands::cancelByte());

    std::optional<quint8> setting;
    if (link.bytesWaiting() >= 1) {
        const QByteArray read = link.readWaiting();
        if (!read.isEmpty())
            setting = quint8(read.at(0));
    }
    result.handshake = handshakeFor(setting, speed);

    link.close();
    return result;
}

ScanResult scan(SerialLink &link, const ScanHooks &hooks, const QList<int> &ports)
{
    const Logging::JobScope job("detection");
    ScanResult result;
    const QList<int> &speeds = Commands::speedList();
    for (const int port : ports) {
        if (!link.portExists(port))
            continue;
        for (int k = 0; k < speeds.size(); ++k) {
            if (link.isCancelled() || (hooks.stopRequested && hooks.stopRequested()))
                return result;
            const int index = int(speeds.size()) - 1 - k;
            const int speed = speeds.at(index);
            if (hooks.wanted && !hooks.wanted(port, speed))
                continue;
            if (hooks.attempting)
                hooks.attempting(port, speed);

            if (!link.openDirect(port, speed, Handshake::None)) {
                if (link.isCancelled())
                    return result;
                result.skipped.append(port);
                break;  // the other speeds would fail alike
            }
            link.discardInput();
            link.send(Commands::probe());
            link.pause(ProtocolTiming::ProbeWaitMs);

            bool answered = false;
            if (link.bytesWaiting() == 1) {
                link.send(Commands::cancelByte());
                link.discardInput();
                link.pause(ProtocolTiming::ProbeWaitMs);
                link.send(Commands::probe());
                link.pause(ProtocolTiming::ProbeWaitMs);
                answered = link.bytesWaiting() == 1;
            }
            if (!answered) {
                qCDebug(lcProtocol, "COM%d at %d bauds: no answer to the probe", port, speed);
                link.close();
                continue;
            }
            link.readWaiting();
            link.close();
            result.found = true;
            result.port = port;
            result.speed = speed;
            result.speedIndex = index;
            return result;
        }
    }
    return result;
}

JobResult<AutodetectResult> autodetect(SerialLink &link, const ScanHooks &hooks, const QList<int> &ports)
{
    AutodetectResult result;
    wakeUpPrinter(link, ports);
    result.scan = scan(link, hooks, ports);
    if (result.scan.found && !link.isCancelled()) {
        if (hooks.found)
            hooks.found(result.scan.port, result.scan.speedIndex);
        const JobResult<PortResult> identified =
            detectOnPort(link, result.scan.port, result.scan.speed, AskingHandshake);
        if (identified)
            result.identification = *identified;
    }
    if (link.isCancelled())
        return Failure(ChipJob::stopped(link));
    result.passedOver = link.failures();
    return result;
}

} // namespace Detection
