// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

CommandLine refuse(const QString &reason, const QString &program)
{
    CommandLine result;
    result.action = CommandLine::Action::Exit;
    result.exitCode = CommandLineUsageError;
    result.error = QCoreApplication::translate("CommandLine", "%1: %2\nTry '%1 --help' for more information.\n").arg(program, reason);
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    const QString program = u"qv12-configurator"_s;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine", "Configures the QV12 thermal-printer controller chip on a serial port."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        u"port"_s,
        QCoreApplication::translate("CommandLine", "Puts DEVICE on COM N (N from 1 to 6), e.g. --port 2=/dev/ttyUSB0. May be repeated."),
        QCoreApplication::translate("CommandLine", "N=DEVICE"));
    const QCommandLineOption simulateOption(
        u"simulate"_s, QCoreApplication::translate("CommandLine", "Starts a simulated chip inside the program and puts it on COM1; the "
                                                           "system's serial ports are left alone (--port still adds a device)."));
    const QCommandLineOption simulateLineOption(
        u"simulate-line"_s,
        QCoreApplication::translate("CommandLine", "Puts N simulated stations on COM1 to COM N (N from 1 to 6) for the "
                                                   "production window, each with a chip that is taken away once its "
                                                   "result shows and followed by a fresh one; the system's serial ports "
                                                   "are left alone."),
        QCoreApplication::translate("CommandLine", "N"));
    const QCommandLineOption productionOption(
        u"production"_s, QCoreApplication::translate("CommandLine", "Starts with the production line window open."));
    parser.addOption(portOption);
    parser.addOption(simulateOption);
    parser.addOption(simulateLineOption);
    parser.addOption(productionOption);

    // Qt's own options ("-platform offscreen", "-style Fusion", ...) are for the
    // application object, which takes them out later; the command line is read before
    // it exists, so that --help, --version and mistakes need no display.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const char *const qtOptionsWithValue[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
        "geometry", "qwindowicon", "icon", "qwindowtitle", "title", "display", "name",
        "visual", "style", "stylesheet", "session", "qmljsdebugger"};
    for (const char *name : qtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), u"value"_s);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    if (!parser.parse(arguments))
        return refuse(parser.errorText(), program);

    CommandLine result;
    if (parser.isSet(helpOption) || parser.isSet(u"help-all"_s)) {
        result.action = CommandLine::Action::Exit;
        // The usage line names the command, whatever the executable file is called.
        const QString help = parser.helpText();
        result.output = QCoreApplication::translate("CommandLine", "Usage: %1 [options]").arg(program) + help.mid(help.indexOf(u'\n'));
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = CommandLine::Action::Exit;
        result.output = program + u' ' + QStringLiteral(QV12_REVISION) + u'\n';
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.").arg(parser.positionalArguments().first()),
                      program);

    result.simulate = parser.isSet(simulateOption);
    result.production = parser.isSet(productionOption);
    if (parser.isSet(simulateLineOption)) {
        bool number = false;
        result.simulateLine = parser.value(simulateLineOption).toInt(&number);
        if (!number || result.simulateLine < PortMap::FirstPort || result.simulateLine > PortMap::LastPort) {
            return refuse(u"--simulate-line %1: give the number of stations, 1 to 6."_s
                              .arg(parser.value(simulateLineOption)), program);
        }
        if (result.simulate)
            return refuse(u"--simulate and --simulate-line both want COM1; give one of them."_s, program);
    }
    result.systemPorts = !result.simulate && result.simulateLine == 0;
    QList<int> taken;
    if (result.simulate)
        taken.append(1);
    for (int port = 1; port <= result.simulateLine; ++port)
        taken.append(port);
    for (const QString &value : parser.values(portOption)) {
        const Result<PortAssignment, QString> assignment = parsePortAssignment(value);
        if (!assignment)
            return refuse(u"--port %1: %2"_s.arg(value, assignment.error()), program);
        if (taken.contains(assignment->port)) {
            if (assignment->port <= result.simulateLine)
                return refuse(u"--port %1: COM%2 is taken by --simulate-line."_s.arg(value).arg(assignment->port),
                              program);
            return refuse(result.simulate && assignment->port == 1
                              ? QCoreApplication::translate("CommandLine", "--port %1: COM1 is taken by --simulate.").arg(value)
                              : QCoreApplication::translate("CommandLine", "--port %1: COM%2 is given twice.").arg(value).arg(assignment->port),
                          program);
        }
        taken.append(assignment->port);
        result.ports.append(*assignment);
    }
    return result;
}
