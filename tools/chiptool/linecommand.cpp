// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip line: the production mode, a front end over one station of the core.
#include "production/jsonlrecordsink.h"
#include "production/recordsinks.h"
#include "production/station.h"
#include "serial/seriallink.h"
#include "sim/simulatedstation.h"
#include "tools/chiptool/banner.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/targetoptions.h"
#include "tools/chiptool/terminallistener.h"
#include "tools/chiptool/tooloptions.h"

#include "config/wordmeaning.h"

#include <QEventLoop>

using namespace Qt::StringLiterals;

namespace {

// Between two scans while no chip has been found at all (no --com/--speed).
constexpr int ScanAgainMs = 1000;

ToolError toolError(const ChipFailure &failure)
{
    return ToolError{ExitStatus(failure.status()), failure.line};
}

// The words of one station's run on the terminal: its events as lines, the large
// PASS/FAIL, the JSON objects, and the summary at its end.
class LineFrontEnd final
{
public:
    LineFrontEnd(ChipSession &session, const ProgrammingTarget &target, std::unique_ptr<RecordSink> sink)
        : m_session(session), m_target(target), m_sink(std::move(sink)), m_audit(m_sink->describe())
    {
    }

    int run()
    {
        const ToolOptions &o = m_session.options();
        Console &console = m_session.console();
        std::optional<StationArrival> first;
        if (o.com) {
            m_port = *o.com;
            m_speed = *o.speed;
        } else {
            first = findLine();
            if (!first)
                return end();
            // The station opens the port on its own worker.
            m_session.link().ClosePort();
        }
        const QString identity = m_target.identity ? u", identity \"%1\""_s.arg(escapeControls(*m_target.identity))
                                                   : u", automatic identity"_s;
        console.text(u"Station %1: \"%2\" (%3)%4. Ctrl-C ends.\n"_s
                         .arg(m_session.where(m_port, m_speed), escapeControls(m_target.entry),
                              m_target.word.value_or(QString()), identity));
        if (m_session.interrupted())
            return end();

        StationSettings settings;
        settings.port = m_port;
        settings.ports = m_session.ports();
        settings.speed = m_speed;
        settings.handshake = o.handshake;
        settings.target = m_target;
        settings.databaseFile = o.database;
        settings.count = o.count;
        settings.reprogram = o.reprogram;
        settings.firstChip = first;
        Station station(settings, std::move(m_sink), m_session.programTraffic());
        m_session.beginJob();
        TerminalListener listener(console, m_session.link(), o.polarity, m_session.portName(m_port));
        station.setPolarityQuestion([&listener](quint8 detected, int chosen) {
            return listener.programDespitePolarity(detected, chosen);
        });
        connectTo(station, listener);
        QEventLoop loop;
        QObject::connect(&station, &Station::finished, &loop, [this, &loop](const StationEnd &end) {
            m_end = end;
            loop.quit();
        });
        m_session.cancellation().onRequested(&station, [this, &station] {
            station.stop(m_session.cancellation().reason());
        });
        station.start();
        if (m_session.interrupted())
            station.stop(m_session.cancellation().reason());
        loop.exec();
        if (m_end.error)
            m_error = toolError(*m_end.error);
        return end();
    }

private:
    std::optional<StationArrival> findLine()
    {
        bool said = false;
        for (;;) {
            auto found = CommandSupport::locate(m_session);
            if (found) {
                m_port = found->chip.PortNumber;
                m_speed = found->chip.Speed;
                return StationArrival{found->chip, found->identity};
            }
            const ToolError &error = found.error();
            if (error.status != ExitStatus::NoChip) {
                if (error.status != ExitStatus::Interrupted)
                    m_error = error;
                return std::nullopt;
            }
            if (!said)
                m_session.console().note(error.line + u"; looking again every second"_s);
            said = true;
            m_session.link().WaitMs(ScanAgainMs);
            if (m_session.interrupted())
                return std::nullopt;
        }
    }

    void connectTo(Station &station, TerminalListener &listener)
    {
        Console &console = m_session.console();
        const QString port = m_session.portName(m_port);
        QObject::connect(&station, &Station::waiting, &station, [&console, port] {
            console.text(u"Waiting for a chip.\n"_s);
            console.progress(u"waiting for a chip on %1"_s.arg(port));
        });
        QObject::connect(&station, &Station::alreadyProgrammed, &station, [this, &console, port](const StationArrival &a) {
            console.progress({});
            const QString identity = m_target.identity
                ? u" and identity \"%1\""_s.arg(escapeControls(*m_target.identity)) : QString();
            console.text(u"Chip on %1: %2\nAlready programmed: it holds \"%3\" (%4)%5; not programmed again "
                         "(--reprogram programs it). Take it away.\n"_s
                             .arg(port, ResultText::chipText(a.identity), escapeControls(m_target.entry),
                                  m_target.word.value_or(QString()), identity));
            QJsonObject shown = ResultJson::merged(ResultJson::head(m_session.options().commandName, std::nullopt),
                                                   ResultJson::line(m_session, a.chip));
            shown.insert(u"identity_before"_s, ResultJson::chipText(a.identity));
            shown.insert(u"already_programmed"_s, true);
            console.result(shown);
            nextChip();
        });
        QObject::connect(&station, &Station::found, &station, [&console, port](int chip, const StationArrival &a) {
            console.progress({});
            console.text(u"Chip %1 on %2: %3\n"_s.arg(chip).arg(port, ResultText::chipText(a.identity)));
        });
        QObject::connect(&station, &Station::progress, &station, [&listener](int done, int total, const QString &step) {
            listener.progress(done, total, step);
        });
        QObject::connect(&station, &Station::recordWritten, &station, [this](const ChipRecord &, const RecordKept &kept) {
            if (kept.madeAgain) {
                m_session.console().note(u"%1 was not there any more (moved or deleted); the records go on in a "
                                         "new %1"_s.arg(m_audit));
            }
        });
        QObject::connect(&station, &Station::verdict, &station, [this](const StationVerdict &v) { show(v); });
    }

    void show(const StationVerdict &v)
    {
        Console &console = m_session.console();
        console.progress({});
        const int chip = v.record.chipNumber;
        const std::optional<ToolError> error = v.failure ? std::optional(toolError(*v.failure)) : std::nullopt;
        if (error)
            console.error(u"chip %1: %2"_s.arg(chip).arg(error->line));
        QJsonObject line = JsonlRecordSink::lineOf(v.record);
        if (v.recordFailure) {
            line.insert(u"result"_s, u"FAIL"_s);
            console.result(ResultJson::merged(ResultJson::head(m_session.options().commandName,
                                                               toolError(*v.recordFailure)), line));
            console.text(bigVerdict(false, console.stdoutIsTerminal())
                         + u"Chip %1: its record was NOT written (%2). Set it apart: it has no record.\n"_s
                               .arg(chip).arg(m_audit));
            return;
        }
        console.result(ResultJson::merged(ResultJson::head(m_session.options().commandName, error), line));
        console.text(bigVerdict(v.record.passed, console.stdoutIsTerminal())
                     + u"Chip %1: %2 in %3 s. Take it away.\n"_s.arg(chip)
                           .arg(v.record.passed ? u"PASS"_s : u"FAIL"_s)
                           .arg(double(v.record.durationMs) / 1000.0, 0, 'f', 1));
        if (!(m_session.options().count && chip >= m_session.options().count))
            nextChip();
    }

    // The station goes on to wait until the chip is taken away.
    void nextChip()
    {
        if (m_session.interrupted())
            return;
        if (SimulatedStation *station = m_session.station())
            station->replaceChip();
        m_session.console().progress(u"waiting for the chip on %1 to be taken away"_s
                                         .arg(m_session.portName(m_port)));
    }

    int end()
    {
        Console &console = m_session.console();
        console.progress({});
        const bool interrupted = m_session.interrupted();
        console.text(u"%1: %2 chip%3, %4 passed, %5 failed.\n"_s
                         .arg(interrupted ? u"Stopped"_s : u"Done"_s)
                         .arg(m_end.chips).arg(m_end.chips == 1 ? QString() : u"s"_s)
                         .arg(m_end.passes).arg(m_end.failures));
        std::optional<ToolError> error = m_error;
        if (!error && m_end.failures > 0) {
            error = ToolError{ExitStatus::Mismatch, u"%1 of %2 chips failed; their audit lines in %3 say why"_s
                                                        .arg(m_end.failures).arg(m_end.chips).arg(m_audit)};
        }
        const QJsonObject summary{{u"chips"_s, m_end.chips}, {u"passes"_s, m_end.passes},
                                  {u"failures"_s, m_end.failures}, {u"interrupted"_s, interrupted}};
        return CommandSupport::finish(m_session, summary, error);
    }

    ChipSession &m_session;
    const ProgrammingTarget &m_target;
    std::unique_ptr<RecordSink> m_sink;
    QString m_audit;
    int m_port = 0;
    QString m_speed;
    StationEnd m_end;
    std::optional<ToolError> m_error;  // what ended the line early
};

} // namespace

namespace ChipCommands {

int line(ChipSession &session)
{
    const Result<ProgrammingTarget, ToolError> target = resolveTarget(session.options(), session.console());
    if (!target)
        return CommandSupport::finish(session, {}, target.error());

    // The records' file first: a line that can't keep its record must not program a chip.
    const QString audit = session.options().auditFile;
    Result<std::unique_ptr<RecordSink>, RecordError> sink = makeRecordSink(audit);
    const Result<void, RecordError> checked = sink ? (*sink)->check() : Result<void, RecordError>(Failure(sink.error()));
    if (!checked) {
        return CommandSupport::finish(session, {}, ToolError{ExitStatus::FileError,
                                                             u"%1: cannot append the audit lines: %2; give a file "
                                                             "in a folder you can write to"_s
                                                                 .arg(audit, checked.error().message)});
    }
    LineFrontEnd line(session, *target, std::move(*sink));
    return line.run();
}

} // namespace ChipCommands
