// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip: the chip jobs of the configurator from the command line, with exit
// statuses, JSON results and an audit trail, for scripts, service benches and
// production lines. The same protocol code as the window; no widgets.
#include "core/logging.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/interruption.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // A reader of standard output that goes away (a pipe into head, a closed
    // terminal) must not end a station in the middle of a chip: writes then fail,
    // and the console says so once.
    ::signal(SIGPIPE, SIG_IGN);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ParsedCommandLine parsed = parseToolCommandLine(arguments);
    if (!parsed.run) {
        std::fputs(parsed.output.toUtf8().constData(), stdout);
        if (parsed.json && parsed.exitCode != int(ExitStatus::Success)) {
            const QJsonObject result{
                {u"command"_s, parsed.commandName.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(parsed.commandName)},
                {u"status"_s, parsed.exitCode},
                {u"error"_s, parsed.problem}};
            std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
        }
        std::fputs(parsed.error.toUtf8().constData(), stderr);
        return parsed.exitCode;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"qv12-chip"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(QV12_REVISION));

    const ToolOptions &options = parsed.options;
    if (options.verbose)
        QLoggingCategory::setFilterRules(QLatin1StringView(Logging::AllDebugRules));
    Console console(options.json, options.quiet);
    if (options.command == ToolOptions::Command::Audit)
        return ChipCommands::audit(options, console);
    ChipSession session(options, console);
    // Before anything opens a port: Ctrl-C ends the job at its next wait, with the port
    // closed and the results so far reported.
    Interruption interruption;
    QObject::connect(&interruption, &Interruption::interrupted, &session,
                     [&session] { session.cancellation().request(Cancellation::Reason::ProgramEnding); });
    if (const auto error = session.start())
        return CommandSupport::finish(session, {}, *error);

    using Command = ToolOptions::Command;
    switch (options.command) {
    case Command::Ports:
        return ChipCommands::ports(session);
    case Command::Detect:
        return ChipCommands::detect(session);
    case Command::Identify:
        return ChipCommands::identify(session);
    case Command::Read:
        return ChipCommands::read(session);
    case Command::Verify:
        return ChipCommands::verify(session);
    case Command::Program:
        return ChipCommands::program(session);
    case Command::Sleep:
    case Command::Wake:
    case Command::Reset:
        return ChipCommands::power(session);
    case Command::Line:
        return ChipCommands::line(session);
    case Command::Report:
        return ChipCommands::report(session);
    case Command::Audit:
        break;
    }
    return int(ExitStatus::UsageError);
}
