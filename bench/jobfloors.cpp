// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/jobfloors.h"

#include "bench/protocolfloor.h"
#include "production/chipprogramming.h"
#include "production/programmingtarget.h"
#include "protocol/configurationread.h"
#include "protocol/detection.h"
#include "protocol/identification.h"
#include "protocol/powercommands.h"
#include "protocol/programming.h"
#include "serial/seriallink.h"
#include "sim/simulatedchip.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace JobFloors {

namespace {

constexpr int Baud = 9600;

// Programs despite a strobe polarity that differs: the floor is the same either way.
class Programmer final : public JobListener
{
public:
    bool programDespitePolarity(quint8, int) override { return true; }
};

// The floor of what job does on link. A job that did not go as it should (false) has
// no floor to give: the benchmark ends there.
double floorOf(SerialLink &link, const char *what, const std::function<bool()> &job)
{
    ProtocolFloor floor;
    link.setObserver(&floor);
    link.startJob();
    const bool done = job();
    link.setObserver(nullptr);
    if (!done) {
        std::fprintf(stderr, "qv12-bench: the floor's run of %s did not go as it should\n", what);
        std::exit(2);
    }
    return floor.total();
}

ProgrammingInput programmingInput(const QString &identity)
{
    ProgrammingInput input;
    input.software = true;
    input.userIdentity = true;
    input.name = identity;
    return input;
}

} // namespace

TypicalRun typicalRun(const QString &newIdentity)
{
    SimulatedChip quiet(Baud);
    quiet.setSilent(true);
    SimulatedChip chip(Baud);
    PortMap ports;
    ports.assign(1, quiet.devicePath());
    ports.assign(2, chip.devicePath());
    SerialLink link(ports);
    Programmer listener;

    TypicalRun floors;
    ConnectionSettings connection;
    floors.autodetect = floorOf(link, "Autodetect Chipset", [&] {
        const JobResult<Detection::AutodetectResult> found = Detection::autodetect(link, {});
        if (!found || !found->found())
            return false;
        connection = {found->scan.port, found->scan.speed, found->identification.handshake, true};
        return true;
    });
    floors.identification = floorOf(link, "the identification", [&] {
        const JobResult<QByteArray> identity = Identification::identify(link, connection);
        return identity && !identity->isEmpty();
    });
    floors.checkConfiguration = floorOf(link, "Check configuration", [&] {
        return bool(ConfigurationRead::read(link, connection, listener));
    });
    floors.programming = floorOf(link, "Configure chipset", [&] {
        const JobResult<ProgrammingResult> programmed =
            Programming::program(link, connection, programmingInput(newIdentity), listener);
        return programmed && programmed->mismatches() == 0;
    });
    floors.sleep = floorOf(link, "Sleep", [&] { return bool(PowerCommands::sleep(link, connection)); });
    floors.wakeUp = floorOf(link, "Wake up", [&] { return bool(PowerCommands::wakeUp(link, &connection, listener)); });
    floors.reset = floorOf(link, "Reset", [&] { return bool(PowerCommands::reset(link, connection)); });
    return floors;
}

namespace {

// qv12-chip with --com 1 --speed 9600 on a chip of its own: the identity and handshake
// asked (the tool's locating), then the work of then on the chip found; false when nothing
// answered or then failed.
double toolFloor(const char *what, const std::function<bool(SerialLink &, const ConnectionSettings &)> &then)
{
    SimulatedChip chip(Baud);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    return floorOf(link, what, [&] {
        const JobResult<Detection::PortResult> found =
            Detection::detectOnPort(link, 1, Baud, Detection::AskingHandshake);
        return found && found->found && then(link, ConnectionSettings{1, Baud, found->handshake, true});
    });
}

} // namespace

double toolProgram(const QString &identity)
{
    return toolFloor("qv12-chip program", [&identity](SerialLink &link, const ConnectionSettings &connection) {
        Programmer listener;
        ProgrammingTarget target;
        target.input = programmingInput(identity);
        target.polarity = ProgrammingTarget::PolarityAnswer::Program;
        const ProgramRun run = programAndVerify(link, link.cancellation(), connection, target, listener);
        return run.programmed() && run.readBack.has_value();
    });
}

double toolVerify()
{
    return toolFloor("qv12-chip verify", [](SerialLink &link, const ConnectionSettings &connection) {
        JobListener quiet;
        return bool(ConfigurationRead::read(link, connection, quiet));
    });
}

} // namespace JobFloors
