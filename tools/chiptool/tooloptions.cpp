// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/tooloptions.h"

#include "tools/chiptool/exitstatus.h"
#include "protocol/commands.h"

#include <QCoreApplication>
#include <QCommandLineParser>
#include <QHash>

#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

using Command = ToolOptions::Command;

struct CommandInfo
{
    Command command;
    QStringList accepts;  // options beyond the common ones
};

// The options every command takes: where the ports are, and how to report.
const QStringList CommonOptions{u"port"_s, u"simulate"_s, u"simulate-line"_s, u"given-ports-only"_s, u"json"_s,
                                u"log"_s, u"q"_s, u"v"_s};
const QStringList LineOptions{u"com"_s, u"speed"_s, u"handshake"_s};
const QStringList AuditOptions{u"audit"_s, u"since"_s, u"until"_s, u"by"_s, u"format"_s,
                               u"identity"_s, u"run"_s, u"device"_s};

const QHash<QString, CommandInfo> &commands()
{
    static const QHash<QString, CommandInfo> table{
        {u"ports"_s, {Command::Ports, {}}},
        {u"detect"_s, {Command::Detect, {u"com"_s, u"speed"_s}}},
        {u"identify"_s, {Command::Identify, LineOptions}},
        {u"read"_s, {Command::Read, LineOptions}},
        {u"program"_s, {Command::Program, LineOptions + QStringList{u"word"_s, u"db"_s, u"entry"_s,
                        u"hardware"_s, u"identity"_s, u"auto-identity"_s, u"polarity-mismatch"_s}}},
        {u"verify"_s, {Command::Verify, LineOptions + QStringList{u"word"_s, u"db"_s, u"entry"_s,
                       u"identity"_s}}},
        {u"sleep"_s, {Command::Sleep, LineOptions}},
        {u"wake"_s, {Command::Wake, LineOptions}},
        {u"reset"_s, {Command::Reset, LineOptions}},
        {u"report"_s, {Command::Report, LineOptions}},
        {u"query"_s, {Command::Query, LineOptions}},
        {u"line"_s, {Command::Line, LineOptions + QStringList{u"db"_s, u"entry"_s, u"identity"_s,
                     u"auto-identity"_s, u"polarity-mismatch"_s, u"audit"_s, u"count"_s, u"reprogram"_s,
                     u"stations"_s}}},
        {u"audit"_s, {Command::Audit, AuditOptions}},
    };
    return table;
}

ParsedCommandLine refuse(const QString &problem)
{
    ParsedCommandLine result;
    result.exitCode = int(ExitStatus::UsageError);
    result.problem = problem;
    result.error = QCoreApplication::translate("ToolOptions", "qv12-chip: %1\n\n").arg(problem) + toolUsage();
    return result;
}

ParsedCommandLine exitWith(const QString &output)
{
    ParsedCommandLine result;
    result.output = output;
    return result;
}

// A name as the option is written on the command line.
QString spelled(const QString &name)
{
    return name.size() == 1 ? u"-"_s + name : u"--"_s + name;
}

} // namespace

const QString &toolUsage()
{
    static const QString usage = QCoreApplication::translate("ToolOptions", R"(Usage: qv12-chip [OPTIONS] COMMAND [COMMAND OPTIONS]
Finds, reads, programs and verifies the QV12 chip on a serial port, for scripts,
service benches and production lines.

Commands:
  ports                   the COM numbers, their devices, and what the system
                          knows of each (USB description, maker, serial number)
  detect [--com N] [--speed BAUD]
                          wake the chip and scan for it (only COM N, only BAUD);
                          prints its port, speed, handshake and identity
  identify                the chip's identity text
  read                    its modes, configuration word with each field in
                          words, identity and detected strobe polarity
  program (--word W | --db FILE --entry NAME | --hardware)
          (--identity NAME | --auto-identity)
          [--polarity-mismatch abort|continue]
                          program the chip, read it back and compare
  verify (--word W | --db FILE --entry NAME) [--identity NAME]
                          read the chip back and compare, PASS or FAIL per field
  sleep | wake | reset    the power commands (the chip does not answer them)
  line --db FILE --entry NAME (--identity NAME | --auto-identity)
       --audit TARGET [--count N] [--polarity-mismatch abort|continue]
       [--reprogram] [--stations LIST]
                          production: wait for a chip, program and verify it,
                          append its audit record, wait until it is taken away;
                          again until Ctrl-C (or N chips); a chip that already
                          holds the entry is left as it is (--reprogram: not);
                          --stations 1,2,3 or 1-6: one station per COM number,
                          side by side, one audit file and one summary (each
                          finds its chip's speed on its own port, or takes
                          --speed)
  audit init|flush|summary|export|find [--audit TARGET]
                          the production record: make its tables (init, as
                          the database's owner), send the records waiting in
                          the spool (flush), totals [--since DATE]
                          [--until DATE] [--by day|entry|station|host]
                          (summary), every run [--format csv|jsonl] (export),
                          the runs of (--identity TEXT | --run ID |
                          --device PATH) (find)
  query opto|ad|value|string
                          ask the chip: its paper sensor (opto), its analogue
                          input (ad), or read the byte (value) or the text
                          (string) it sends; a number prints in decimal and hex
  report FILE             a support report: versions, system, the COM numbers
                          with their adapters, the chip found and its identity,
                          and every byte that went over the line

Options:
  --port N=DEVICE         put DEVICE on COM N (1 to 6), e.g. --port 2=/dev/ttyUSB0;
                          repeatable
  --simulate              a simulated chip on COM1 (line: a fresh one after each);
                          the system's serial ports are left alone, as with
                          --given-ports-only (--port still adds a device)
  --simulate-line N       simulated stations on COM1 to COM N (1 to 6), a fresh
                          chip after each; line runs a station on each
  --given-ports-only      only the COM numbers of --port and --simulate: the
                          system's other serial ports are left alone
  --com N --speed BAUD    the chip's line, so that no scan is needed
  --handshake xon|dtr     with --com and --speed: the chip's handshake, so that it
                          is not asked for it
  --json                  one JSON object per result on stdout
  --log FILE              every byte both ways, with time, COM number and speed,
                          appended to FILE
  -q, --quiet             no progress and no notes on stderr; errors only
  -v, --verbose           debug lines on stderr: ports opened, bytes sent and
                          received, time-outs, each job's start and end
  -h, --help              this text
  --version               the program's revision

Exit status: 0 success; 1 no chip found or no answer; 2 usage error;
3 programming or verification mismatch; 4 port error; 5 database, audit or log
file error; 130 interrupted. The manual page qv12-chip(1) has the details.
)");
    return usage;
}

namespace {

// What audit ACTION needs and takes; the problem in words, or nothing.
QString auditProblem(const QCommandLineParser &parser, ToolOptions &o)
{
    ToolOptions::AuditQuery &a = o.audit;
    static const QHash<QString, QStringList> takes{
        {u"init"_s, {}},
        {u"flush"_s, {}},
        {u"summary"_s, {u"since"_s, u"until"_s, u"by"_s}},
        {u"export"_s, {u"since"_s, u"until"_s, u"format"_s}},
        {u"find"_s, {u"identity"_s, u"run"_s, u"device"_s}},
    };
    const auto known = takes.constFind(a.action);
    if (known == takes.constEnd())
        return QCoreApplication::translate("ToolOptions", "audit does init, flush, summary, export or find, not \"%1\"").arg(a.action);
    for (const QString &option : {u"since"_s, u"until"_s, u"by"_s, u"format"_s, u"identity"_s, u"run"_s, u"device"_s}) {
        if (parser.isSet(option) && !known->contains(option))
            return QCoreApplication::translate("ToolOptions", "--%1 does not apply to audit %2").arg(option, a.action);
    }
    // No port is touched and no byte goes to a chip: the port options have nothing to do.
    for (const QString &option : {u"port"_s, u"simulate"_s, u"simulate-line"_s, u"given-ports-only"_s, u"log"_s}) {
        if (parser.isSet(option))
            return QCoreApplication::translate("ToolOptions", "--%1 does not apply to audit").arg(option);
    }
    if (parser.isSet(u"audit"_s) && o.auditFile.isEmpty())
        return QCoreApplication::translate("ToolOptions", "--audit needs a file or a postgresql:// URI");
    a.since = parser.value(u"since"_s);
    a.until = parser.value(u"until"_s);
    a.by = parser.value(u"by"_s);
    if (parser.isSet(u"by"_s) && !QStringList{u"day"_s, u"entry"_s, u"station"_s, u"host"_s}.contains(a.by))
        return QCoreApplication::translate("ToolOptions", "--by is day, entry, station or host, not \"%1\"").arg(a.by);
    a.format = parser.value(u"format"_s);
    if (a.action == u"export"_s) {
        if (a.format != u"csv"_s && a.format != u"jsonl"_s)
            return QCoreApplication::translate("ToolOptions", "audit export needs --format csv or --format jsonl");
        if (o.json)
            return QCoreApplication::translate("ToolOptions", "--json does not apply to audit export: --format says what it writes");
    }
    a.run = parser.value(u"run"_s);
    a.device = parser.value(u"device"_s);
    if (a.action == u"find"_s) {
        const int given = int(parser.isSet(u"identity"_s)) + int(parser.isSet(u"run"_s)) + int(parser.isSet(u"device"_s));
        if (given != 1)
            return QCoreApplication::translate("ToolOptions", "audit find takes one of --identity TEXT, --run ID, --device PATH");
    }
    return {};
}

// "1,2,3", "1-6" or "1,3-5": COM numbers from 1 to 6, each once, ascending.
Result<QList<int>, QString> parseStations(const QString &text)
{
    const QString wrong = QCoreApplication::translate("ToolOptions", "--stations wants COM numbers from 1 to 6, such as 1,2,3 or 1-6, not \"%1\"").arg(text);
    QList<int> ports;
    for (const QString &part : text.split(u',')) {
        const QStringList ends = part.split(u'-');
        bool firstOk = false;
        bool lastOk = false;
        const int first = ends.first().trimmed().toInt(&firstOk);
        const int last = ends.size() == 2 ? ends.last().trimmed().toInt(&lastOk) : first;
        if (!firstOk || (ends.size() == 2 && !lastOk) || ends.size() > 2 || first < PortMap::FirstPort
            || last > PortMap::LastPort || last < first) {
            return Failure(wrong);
        }
        for (int port = first; port <= last; ++port) {
            if (ports.contains(port))
                return Failure(QCoreApplication::translate("ToolOptions", "--stations %1: COM%2 is given twice").arg(text).arg(port));
            ports.append(port);
        }
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

ParsedCommandLine parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QList<QCommandLineOption> options{
        {{u"h"_s, u"help"_s}, QString()},
        {u"version"_s, QString()},
        {u"port"_s, QString(), u"N=DEVICE"_s},
        {u"simulate"_s, QString()},
        {u"simulate-line"_s, QString(), u"N"_s},
        {u"stations"_s, QString(), u"LIST"_s},
        {u"given-ports-only"_s, QString()},
        {u"com"_s, QString(), u"N"_s},
        {u"speed"_s, QString(), u"BAUD"_s},
        {u"handshake"_s, QString(), u"MODE"_s},
        {u"json"_s, QString()},
        {u"log"_s, QString(), u"FILE"_s},
        {{u"q"_s, u"quiet"_s}, QString()},
        {{u"v"_s, u"verbose"_s}, QString()},
        {u"word"_s, QString(), u"W"_s},
        {u"db"_s, QString(), u"FILE"_s},
        {u"entry"_s, QString(), u"NAME"_s},
        {u"hardware"_s, QString()},
        {u"identity"_s, QString(), u"NAME"_s},
        {u"auto-identity"_s, QString()},
        {u"polarity-mismatch"_s, QString(), u"WHAT"_s},
        {u"audit"_s, QString(), u"FILE"_s},
        {u"count"_s, QString(), u"N"_s},
        {u"reprogram"_s, QString()},
        {u"since"_s, QString(), u"DATE"_s},
        {u"until"_s, QString(), u"DATE"_s},
        {u"by"_s, QString(), u"GROUP"_s},
        {u"format"_s, QString(), u"FORMAT"_s},
        {u"run"_s, QString(), u"ID"_s},
        {u"device"_s, QString(), u"PATH"_s},
    };
    parser.addOptions(options);
    if (!parser.parse(arguments))
        return refuse(parser.errorText());

    if (parser.isSet(u"help"_s))
        return exitWith(toolUsage());
    if (parser.isSet(u"version"_s))
        return exitWith(u"qv12-chip " QV12_REVISION "\n"_s);

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return refuse(QCoreApplication::translate("ToolOptions", "a command is needed"));
    const QString name = positional.first();
    // Only report (the file), audit (what to do) and query (what to ask) take an argument
    // of their own.
    const qsizetype words = name == u"report"_s || name == u"audit"_s || name == u"query"_s ? 2 : 1;
    if (positional.size() < words) {
        if (name == u"query"_s)
            return refuse(QCoreApplication::translate("ToolOptions", "query needs what to ask: opto, ad, value or string"));
        return refuse(name == u"audit"_s ? QCoreApplication::translate("ToolOptions", "audit needs what to do: init, flush, summary, export or find")
                                         : QCoreApplication::translate("ToolOptions", "report needs the file to write"));
    }
    if (positional.size() > words)
        return refuse(QCoreApplication::translate("ToolOptions", "unexpected argument \"%1\"").arg(positional.at(words)));
    const auto known = commands().constFind(name);
    if (known == commands().constEnd())
        return refuse(QCoreApplication::translate("ToolOptions", "unknown command \"%1\"").arg(name));

    ParsedCommandLine parsed;
    ToolOptions &o = parsed.options;
    o.command = known->command;
    o.commandName = name;
    if (o.command == Command::Report)
        o.reportFile = positional.at(1);
    if (o.command == Command::Audit)
        o.audit.action = positional.at(1);
    if (o.command == Command::Query) {
        static const QHash<QString, ToolOptions::Query> queries{
            {u"opto"_s, ToolOptions::Query::Opto},
            {u"ad"_s, ToolOptions::Query::Ad},
            {u"value"_s, ToolOptions::Query::Value},
            {u"string"_s, ToolOptions::Query::String},
        };
        o.queryName = positional.at(1);
        const auto query = queries.constFind(o.queryName);
        if (query == queries.constEnd())
            return refuse(QCoreApplication::translate("ToolOptions", "query asks opto, ad, value or string, not \"%1\"").arg(o.queryName));
        o.query = *query;
    }

    // Every option given must be one the command takes, and only "--port" may repeat.
    for (const QString &option : parser.optionNames()) {
        const QString canonical = option == u"quiet"_s ? u"q"_s : option == u"verbose"_s ? u"v"_s : option;
        if (!CommonOptions.contains(canonical) && !known->accepts.contains(canonical))
            return refuse(QCoreApplication::translate("ToolOptions", "%1 does not apply to %2").arg(spelled(option), name));
        if (canonical != u"port"_s && parser.optionNames().count(option) > 1)
            return refuse(QCoreApplication::translate("ToolOptions", "%1 is given twice").arg(spelled(option)));
    }

    o.simulate = parser.isSet(u"simulate"_s);
    if (parser.isSet(u"simulate-line"_s)) {
        bool ok = false;
        o.simulateLine = parser.value(u"simulate-line"_s).toInt(&ok);
        if (!ok || o.simulateLine < PortMap::FirstPort || o.simulateLine > PortMap::LastPort) {
            return refuse(QCoreApplication::translate("ToolOptions", "--simulate-line wants a number of stations from 1 to 6, not \"%1\"")
                              .arg(parser.value(u"simulate-line"_s)));
        }
        if (o.simulate)
            return refuse(QCoreApplication::translate("ToolOptions", "--simulate and --simulate-line do not go together"));
    }
    // Who asks for the simulated chip asks not to touch the machine's ports; a device
    // given with --port still goes beside it.
    o.givenPortsOnly = parser.isSet(u"given-ports-only"_s) || o.simulate || o.simulateLine > 0;
    o.json = parser.isSet(u"json"_s);
    o.quiet = parser.isSet(u"q"_s);
    o.verbose = parser.isSet(u"v"_s);
    o.logFile = parser.value(u"log"_s);
    if (parser.isSet(u"log"_s) && o.logFile.isEmpty())
        return refuse(QCoreApplication::translate("ToolOptions", "--log needs a file name"));

    QList<int> taken;
    if (o.simulate)
        taken.append(1);
    for (int port = 1; port <= o.simulateLine; ++port)
        taken.append(port);
    for (const QString &value : parser.values(u"port"_s)) {
        const Result<PortAssignment, QString> assignment = parsePortAssignment(value);
        if (!assignment)
            return refuse(QCoreApplication::translate("ToolOptions", "--port %1: %2").arg(value, assignment.error()));
        if (taken.contains(assignment->port)) {
            return refuse(o.simulateLine >= assignment->port
                              ? QCoreApplication::translate("ToolOptions", "--port %1: COM%2 is taken by --simulate-line").arg(value).arg(assignment->port)
                          : o.simulate && assignment->port == 1
                              ? QCoreApplication::translate("ToolOptions", "--port %1: COM1 is taken by --simulate").arg(value)
                              : QCoreApplication::translate("ToolOptions", "--port %1: COM%2 is given twice").arg(value).arg(assignment->port));
        }
        taken.append(assignment->port);
        o.ports.append(*assignment);
    }

    if (parser.isSet(u"com"_s)) {
        bool ok = false;
        QString text = parser.value(u"com"_s);
        if (text.startsWith(u"COM"_s, Qt::CaseInsensitive))
            text = text.mid(3);
        const int com = text.toInt(&ok);
        if (!ok || com < PortMap::FirstPort || com > PortMap::LastPort)
            return refuse(QCoreApplication::translate("ToolOptions", "--com wants a COM number from 1 to 6, not \"%1\"").arg(parser.value(u"com"_s)));
        o.com = com;
    }
    if (parser.isSet(u"speed"_s)) {
        const QString speed = parser.value(u"speed"_s);
        const int baud = speed.toInt();
        // Only the list's own spellings: "09600" is no speed of it.
        if (!Commands::speedList().contains(baud) || QString::number(baud) != speed) {
            QStringList speeds;
            for (const int each : Commands::speedList())
                speeds.append(QString::number(each));
            return refuse(QCoreApplication::translate("ToolOptions", "--speed wants one of %1, not \"%2\"").arg(speeds.join(u", "_s), speed));
        }
        o.speed = baud;
    }
    if (parser.isSet(u"handshake"_s)) {
        const QString mode = parser.value(u"handshake"_s);
        o.handshake = handshakeFromKey(mode);
        if (!o.handshake)
            return refuse(QCoreApplication::translate("ToolOptions", "--handshake is xon or dtr, not \"%1\"").arg(mode));
    }
    if (parser.isSet(u"stations"_s)) {
        const Result<QList<int>, QString> stations = parseStations(parser.value(u"stations"_s));
        if (!stations)
            return refuse(stations.error());
        o.stations = *stations;
        if (o.com)
            return refuse(QCoreApplication::translate("ToolOptions", "--stations and --com do not go together: --stations names each station's COM number"));
    } else if (o.command == Command::Line && o.simulateLine > 0 && !o.com) {
        for (int port = 1; port <= o.simulateLine; ++port)
            o.stations.append(port);
    }
    // detect may narrow its scan to a port or a speed, stations take the speed for all;
    // the others take a whole line.
    if (o.command != Command::Detect && o.stations.isEmpty() && o.com.has_value() != o.speed.has_value())
        return refuse(QCoreApplication::translate("ToolOptions", "--com and --speed go together"));
    if (o.handshake && (o.stations.isEmpty() ? !o.com : !o.speed))
        return refuse(QCoreApplication::translate("ToolOptions", "--handshake needs --com and --speed"));

    if (parser.isSet(u"word"_s))
        o.word = parser.value(u"word"_s);
    o.database = parser.value(u"db"_s);
    o.entry = parser.value(u"entry"_s);
    o.hardware = parser.isSet(u"hardware"_s);
    if (parser.isSet(u"identity"_s)) {
        o.identity = parser.value(u"identity"_s);
        if (o.identity->isEmpty())
            return refuse(QCoreApplication::translate("ToolOptions", "--identity needs a name"));
    }
    o.autoIdentity = parser.isSet(u"auto-identity"_s);
    if (parser.isSet(u"db"_s) != parser.isSet(u"entry"_s))
        return refuse(QCoreApplication::translate("ToolOptions", "--db and --entry go together"));
    if (parser.isSet(u"db"_s) && o.database.isEmpty())
        return refuse(QCoreApplication::translate("ToolOptions", "--db needs a file name"));

    const int sources = int(o.word.has_value()) + int(!o.database.isEmpty()) + int(o.hardware);
    const bool needsIdentity = o.command == Command::Program || o.command == Command::Line;
    if (o.command == Command::Program && sources != 1)
        return refuse(QCoreApplication::translate("ToolOptions", "program takes one of --word W, --db FILE --entry NAME, --hardware"));
    if (o.command == Command::Verify && sources != 1)
        return refuse(QCoreApplication::translate("ToolOptions", "verify takes one of --word W, --db FILE --entry NAME"));
    if (o.command == Command::Line && o.database.isEmpty())
        return refuse(QCoreApplication::translate("ToolOptions", "line needs --db FILE --entry NAME"));
    if (needsIdentity && o.identity.has_value() == o.autoIdentity)
        return refuse(QCoreApplication::translate("ToolOptions", "%1 takes one of --identity NAME, --auto-identity").arg(name));

    if (parser.isSet(u"polarity-mismatch"_s)) {
        const QString what = parser.value(u"polarity-mismatch"_s);
        if (what == u"abort"_s)
            o.polarity = ToolOptions::Polarity::Abort;
        else if (what == u"continue"_s)
            o.polarity = ToolOptions::Polarity::Continue;
        else
            return refuse(QCoreApplication::translate("ToolOptions", "--polarity-mismatch is abort or continue, not \"%1\"").arg(what));
    }

    o.auditFile = parser.value(u"audit"_s);
    if (o.command == Command::Line && o.auditFile.isEmpty())
        return refuse(QCoreApplication::translate("ToolOptions", "line needs --audit FILE"));
    if (parser.isSet(u"count"_s)) {
        bool ok = false;
        o.count = parser.value(u"count"_s).toInt(&ok);
        if (!ok || o.count < 1)
            return refuse(QCoreApplication::translate("ToolOptions", "--count wants a number of chips from 1, not \"%1\"").arg(parser.value(u"count"_s)));
    }
    o.reprogram = parser.isSet(u"reprogram"_s);

    if (o.command == Command::Audit) {
        if (const QString problem = auditProblem(parser, o); !problem.isEmpty())
            return refuse(problem);
    }

    parsed.run = true;
    return parsed;
}

} // namespace

ParsedCommandLine parseToolCommandLine(const QStringList &arguments)
{
    ParsedCommandLine parsed = parseArguments(arguments);
    if (parsed.run || parsed.exitCode != int(ExitStatus::UsageError))
        return parsed;
    // A script that asked for JSON gets its one object also for a command line that
    // could not be read: the first word that names a command, if any, is the command.
    const QStringList given = arguments.mid(1);
    const qsizetype end = given.indexOf(u"--"_s);
    const QStringList options = end < 0 ? given : given.first(end);
    parsed.json = options.contains(u"--json"_s) || options.contains(u"-json"_s);
    for (const QString &word : given) {
        if (commands().contains(word)) {
            parsed.commandName = word;
            break;
        }
    }
    return parsed;
}
