// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/handshake.h"
#include "serial/portmap.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What qv12-chip is asked to do: the command and its options, checked for what the
// command needs and accepts, before anything touches a port or a file.
struct ToolOptions
{
    enum class Command { Ports, Detect, Identify, Read, Program, Verify, Sleep, Wake, Reset, Line, Report, Audit, Query };
    enum class Query { Opto, Ad, Value, String };
    enum class Polarity { Ask, Abort, Continue };

    Command command = Command::Ports;
    QString commandName;

    QList<PortAssignment> ports;     // --port N=DEVICE
    bool simulate = false;           // --simulate: a simulated chip on COM1
    int simulateLine = 0;            // --simulate-line N: simulated stations on COM1 to COM N
    bool givenPortsOnly = false;     // --given-ports-only, or --simulate: the system's ports left alone
    std::optional<int> com;          // --com N
    std::optional<int> speed;        // --speed BAUD, one of Commands::speedList()
    std::optional<Handshake> handshake;  // --handshake xon|dtr
    bool json = false;
    bool quiet = false;
    bool verbose = false;  // -v: the qv12 logging categories' debug lines on stderr
    QString logFile;

    // What program, verify and line write or expect.
    std::optional<QString> word;
    QString database;
    QString entry;
    bool hardware = false;
    std::optional<QString> identity;
    bool autoIdentity = false;
    Polarity polarity = Polarity::Ask;

    QString auditFile;
    int count = 0;  // line: stop after this many chips (each station); 0 runs until Ctrl-C
    QList<int> stations;  // line --stations: one station per COM number, ascending
    bool reprogram = false;  // line: program a chip that already holds the target too

    QString reportFile;  // report FILE

    // audit ACTION: the store's questions (--audit TARGET, the default store without it).
    struct AuditQuery
    {
        QString action;     // init, flush, summary, export, find
        QString since;      // --since DATE, as given
        QString until;      // --until DATE
        QString by;         // --by day|entry|station|host; empty for all together
        QString format;     // --format csv|jsonl
        QString run;        // --run ID
        QString device;     // --device PATH
    };
    AuditQuery audit;

    Query query = Query::Value;  // query WHAT
    QString queryName;
};

// The outcome of reading the command line: run with these options, or end at once
// (--help, --version, a usage error) with this output, error text and status.
struct ParsedCommandLine
{
    bool run = false;
    ToolOptions options;
    int exitCode = 0;
    QString output;  // for stdout
    QString error;   // for stderr
    // A usage error: what is wrong in one line, and, when --json was asked for, the
    // command it was for (empty when none was recognised) for the JSON object.
    QString problem;
    bool json = false;
    QString commandName;
};

// arguments[0] is the program's name.
ParsedCommandLine parseToolCommandLine(const QStringList &arguments);

// The usage text --help prints and a usage error ends with.
const QString &toolUsage();
