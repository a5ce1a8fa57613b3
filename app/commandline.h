// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/portmap.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the command line asks for. The program runs unless --help, --version or a
// mistake ends it at once with `output` on standard output or `error` on standard error.
struct CommandLine
{
    enum class Action { Run, Exit };

    Action action = Action::Run;
    int exitCode = 0;
    QString output;
    QString error;

    QList<PortAssignment> ports;  // --port N=DEVICE, in the order given
    bool simulate = false;        // --simulate: a simulated chip on COM1
    int simulateLine = 0;         // --simulate-line N: simulated stations on COM1 to COM N
    bool production = false;      // --production: the production window opens at start
    // The system's serial ports take the free COM numbers; not with --simulate, which
    // asks for no hardware beyond the devices given with --port.
    bool systemPorts = true;
};

inline constexpr int CommandLineUsageError = 2;

// Parses the program's arguments (arguments[0] is the program's name).
CommandLine parseCommandLine(const QStringList &arguments);
