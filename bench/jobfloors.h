// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The protocol floors of the benchmark's rows, each taken from the steps of the real
// chip jobs (bench/protocolfloor.h) run once in this process against simulated chips at
// 9600 bauds: no copy of the protocol's order of steps is kept here.
namespace JobFloors {

// The window's typical run, one chip through all its actions in the order the run
// takes them: Autodetect Chipset (a silent port on COM1, the chip on COM2), the
// identification, Check configuration, Configure chipset (Software mode, identity
// newIdentity), Sleep, Wake up, Reset.
struct TypicalRun
{
    double autodetect = 0;
    double identification = 0;
    double checkConfiguration = 0;
    double programming = 0;
    double sleep = 0;
    double wakeUp = 0;
    double reset = 0;
};
TypicalRun typicalRun(const QString &newIdentity);

// qv12-chip with --com and --speed on its one chip: the identity and handshake asked,
// then (program) programming with identity and the read-back, or (verify) the read-back.
double toolProgram(const QString &identity);
double toolVerify();

} // namespace JobFloors
