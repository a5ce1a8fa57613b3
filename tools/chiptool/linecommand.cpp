// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip line: the production mode, a front end over stations of the core: one on
// --com N (or where the scan finds the chip), or one per COM number of --stations.
#include "config/wordmeaning.h"
#include "production/chipprogramming.h"
#include "production/jsonlrecordsink.h"
#include "production/recordsinks.h"
#include "production/station.h"
#include "production/store/storetarget.h"
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

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>

#include <map>

using namespace Qt::StringLiterals;

namespace {

// Between two scans while no chip has been found at all (no --com/--speed).
constexpr int ScanAgainMs = 1000;

// The records' target as messages name it: a database URI with its password masked.
QString shownTarget(const QString &audit)
{
    const Result<StoreTarget, QString> store = parseStoreTarget(audit);
    return store ? store->describe() : audit;
}

ToolError toolError(const ChipFailure &failure)
{
    return ToolError{ExitStatus(failure.status()), failure.line};
}

// The words of the stations' run on the terminal: their events as lines, the large
// PASS/FAIL, the JSON objects, and the summary at the end. With several stations each
// line starts with its COM number, and the progress shows one line per station.
class LineFrontEnd final
{
public:
    LineFrontEnd(ChipSession &session, const ProgrammingTarget &target, QString audit)
        : m_session(session), m_target(target), m_audit(std::move(audit)), m_auditShown(shownTarget(m_audit)),
          m_several(!session.options().stations.isEmpty())
    {
    }

    int run()
    {
        const ToolOptions &o = m_session.options();
        std::optional<StationArrival> first;
        QList<int> ports = o.stations;
        if (!m_several) {
            if (o.com) {
                m_speed = *o.speed;
                ports = {*o.com};
            } else {
                first = findLine();
                if (!first)
                    return end();
                ports = {first->chip.port};
                // The station opens the port on its own worker.
                m_session.link().close();
            }
        } else {
            m_speed = o.speed.value_or(0);
        }
        m_session.console().text(header(ports));
        if (m_session.interrupted())
            return end();

        QEventLoop loop;
        int running = 0;
        m_session.beginJob();
        for (const int port : std::as_const(ports)) {
            Result<std::unique_ptr<RecordSink>, RecordError> sink = makeRecordSink(m_audit);
            if (!sink)
                continue;  // the same target has been made and checked already
            Seat &seat = m_seats[port];
            seat.listener = std::make_unique<TerminalListener>(m_session.console(), m_session.link(), o.polarity,
                                                               m_session.portName(port));
            seat.station = std::make_unique<Station>(settingsFor(port, first), std::move(*sink),
                                                     m_session.programTraffic());
            seat.station->setPolarityQuestion([listener = seat.listener.get()](quint8 detected, int chosen) {
                return listener->programDespitePolarity(detected, chosen);
            });
            connectTo(port, *seat.station);
            QObject::connect(seat.station.get(), &Station::finished, &loop,
                             [this, port, &running, &loop](const StationEnd &e) {
                                 m_seats[port].end = e;
                                 m_seats[port].state = u"stopped"_s;
                                 showStates();
                                 if (--running == 0)
                                     loop.quit();
                             });
            ++running;
        }
        m_session.cancellation().onRequested(&loop, [this] { stopAll(); });
        for (auto &[port, seat] : m_seats)
            seat.station->start();
        if (m_session.interrupted())
            stopAll();
        if (running > 0)
            loop.exec();
        return end();
    }

private:
    // One station's place at the terminal.
    struct Seat
    {
        std::unique_ptr<TerminalListener> listener;
        std::unique_ptr<Station> station;
        StationEnd end;
        QString state;
    };

    StationSettings settingsFor(int port, const std::optional<StationArrival> &first) const
    {
        const ToolOptions &o = m_session.options();
        StationSettings settings;
        settings.port = port;
        settings.ports = m_session.ports();
        settings.speed = first ? first->chip.speed : m_speed;
        settings.handshake = o.handshake;
        settings.target = m_target;
        settings.databaseFile = o.database;
        settings.count = o.count;
        settings.reprogram = o.reprogram;
        settings.firstChip = first;
        return settings;
    }

    // The target's word as the terminal shows it; empty in Hardware mode.
    QString wordText() const { return m_target.word ? m_target.word->text() : QString(); }

    QString header(const QList<int> &ports) const
    {
        const QString identity = m_target.identity ? u", identity \"%1\""_s.arg(escapeControls(*m_target.identity))
                                                   : QCoreApplication::translate("LineCommand", ", automatic identity");
        const QString what = u"\"%1\" (%2)%3. Ctrl-C ends.\n"_s
                                 .arg(escapeControls(m_target.entry), wordText(), identity);
        if (!m_several)
            return QCoreApplication::translate("LineCommand", "Station %1: ").arg(m_session.where(ports.first(), m_speed)) + what;
        QStringList names;
        for (const int port : ports)
            names.append(m_session.portName(port));
        const QString speed = m_speed == 0 ? QCoreApplication::translate("LineCommand", "each finding its chip's speed") : QCoreApplication::translate("LineCommand", "at %1 bauds").arg(m_speed);
        return QCoreApplication::translate("LineCommand", "Stations %1, %2: ").arg(names.join(u", "_s), speed) + what;
    }

    // text as the station on port says it: with several, each line starts with its COM number.
    QString said(int port, const QString &text) const
    {
        if (!m_several)
            return text;
        QStringList lines = text.split(u'\n');
        const bool endsLine = text.endsWith(u'\n');
        if (endsLine)
            lines.removeLast();
        for (QString &line : lines)
            line.prepend(u"COM%1: "_s.arg(port));
        return lines.join(u'\n') + (endsLine ? u"\n"_s : QString());
    }

    void setState(int port, const QString &state)
    {
        m_seats[port].state = state;
        showStates();
    }

    void showStates()
    {
        if (!m_several)
            return;
        QStringList lines;
        for (const auto &[port, seat] : m_seats)
            lines.append(u"COM%1  %2"_s.arg(port).arg(seat.state));
        m_session.console().progressLines(lines);
    }

    void stopAll()
    {
        for (auto &[port, seat] : m_seats)
            seat.station->stop(m_session.cancellation().reason());
    }

    std::optional<StationArrival> findLine()
    {
        bool said = false;
        for (;;) {
            auto found = CommandSupport::locate(m_session);
            if (found) {
                m_speed = found->chip.speed;
                return StationArrival{found->chip, found->identity};
            }
            const ToolError &error = found.error();
            if (error.status != ExitStatus::NoChip) {
                if (error.status != ExitStatus::Interrupted)
                    m_error = error;
                return std::nullopt;
            }
            if (!said)
                m_session.console().note(error.line + QCoreApplication::translate("LineCommand", "; looking again every second"));
            said = true;
            m_session.link().pause(ScanAgainMs);
            if (m_session.interrupted())
                return std::nullopt;
        }
    }

    void connectTo(int port, Station &station)
    {
        Console &console = m_session.console();
        const QString name = m_session.portName(port);
        QObject::connect(&station, &Station::waiting, &station, [this, &console, port, name] {
            console.text(said(port, QCoreApplication::translate("LineCommand", "Waiting for a chip.\n")));
            if (m_several)
                setState(port, QCoreApplication::translate("LineCommand", "Waiting for a chip"));
            else
                console.progress(QCoreApplication::translate("LineCommand", "waiting for a chip on %1").arg(name));
        });
        QObject::connect(&station, &Station::alreadyProgrammed, &station,
                         [this, &console, port, name](const StationArrival &a) {
            console.progress({});
            const QString identity = m_target.identity
                ? QCoreApplication::translate("LineCommand", " and identity \"%1\"").arg(escapeControls(*m_target.identity)) : QString();
            console.text(said(port, QCoreApplication::translate("LineCommand", "Chip on %1: %2\nAlready programmed: it holds \"%3\" (%4)%5; not programmed again "
                                    "(--reprogram programs it). Take it away.\n")
                                        .arg(name, ResultText::chipText(a.identity), escapeControls(m_target.entry),
                                             wordText(), identity)));
            QJsonObject shown = ResultJson::merged(ResultJson::head(m_session.options().commandName, std::nullopt),
                                                   ResultJson::line(m_session, a.chip));
            shown.insert(u"identity_before"_s, ResultJson::chipText(a.identity));
            shown.insert(u"already_programmed"_s, true);
            console.result(shown);
            nextChip(port, QCoreApplication::translate("LineCommand", "Already programmed: take it away"));
        });
        QObject::connect(&station, &Station::found, &station,
                         [this, &console, port, name](int chip, const StationArrival &a) {
            console.progress({});
            console.text(said(port, QCoreApplication::translate("LineCommand", "Chip %1 on %2: %3\n").arg(chip).arg(name, ResultText::chipText(a.identity))));
            if (m_several)
                setState(port, QCoreApplication::translate("LineCommand", "Chip %1 found").arg(chip));
        });
        QObject::connect(&station, &Station::progress, &station,
                         [this, port](const ProgrammingStep &step) {
            if (!m_several)
                m_seats[port].listener->progress(step);
            else if (step.kind == ProgrammingStep::Kind::ReadBack)
                setState(port, QCoreApplication::translate("LineCommand", "Checking"));
            else
                setState(port, QCoreApplication::translate("LineCommand", "Programming: %1").arg(TerminalListener::stepText(step)));
        });
        QObject::connect(&station, &Station::recordWritten, &station, [this](const ChipRecord &, const RecordKept &kept) {
            if (kept.madeAgain) {
                m_session.console().note(QCoreApplication::translate("LineCommand", "%1 was not there any more (moved or deleted); the records go on in a "
                                         "new %1").arg(m_auditShown));
            }
            // A store that doesn't answer: the chips go on, their records wait in the spool.
            if (kept.waiting > 0) {
                m_session.console().text(QCoreApplication::translate("LineCommand", "%1 record%2 waiting for the audit store\n").arg(kept.waiting)
                                             .arg(kept.waiting == 1 ? QString() : u"s"_s));
            }
        });
        QObject::connect(&station, &Station::verdict, &station, [this, port](const StationVerdict &v) { show(port, v); });
    }

    void show(int port, const StationVerdict &v)
    {
        Console &console = m_session.console();
        console.progress({});
        const int chip = v.record.chipNumber;
        const std::optional<ToolError> error = v.failure ? std::optional(toolError(*v.failure)) : std::nullopt;
        if (error)
            console.error(said(port, QCoreApplication::translate("LineCommand", "chip %1: %2").arg(chip).arg(error->line)));
        QJsonObject line = JsonlRecordSink::lineOf(v.record);
        if (v.recordFailure) {
            line.insert(u"result"_s, u"FAIL"_s);
            console.result(ResultJson::merged(ResultJson::head(m_session.options().commandName,
                                                               toolError(*v.recordFailure)), line));
            console.text(bigVerdict(false, console.stdoutIsTerminal())
                         + said(port, QCoreApplication::translate("LineCommand", "Chip %1: its record was NOT written (%2). Set it apart: it has no record.\n")
                                          .arg(chip).arg(m_auditShown)));
            return;
        }
        console.result(ResultJson::merged(ResultJson::head(m_session.options().commandName, error), line));
        const QString verdict = v.record.passed ? u"PASS"_s : u"FAIL"_s;
        console.text(bigVerdict(v.record.passed, console.stdoutIsTerminal())
                     + said(port, QCoreApplication::translate("LineCommand", "Chip %1: %2 in %3 s. Take it away.\n").arg(chip).arg(verdict)
                                      .arg(double(v.record.durationMs) / 1000.0, 0, 'f', 1)));
        if (!(m_session.options().count && chip >= m_session.options().count)) {
            nextChip(port, v.failure ? QCoreApplication::translate("LineCommand", "FAIL: %1: take it away").arg(v.failure->line)
                                     : QCoreApplication::translate("LineCommand", "PASS: take it away"));
        }
    }

    // The station goes on to wait until the chip is taken away.
    void nextChip(int port, const QString &state)
    {
        if (m_session.interrupted())
            return;
        if (SimulatedStation *station = m_session.station(port))
            station->replaceChip();
        if (m_several)
            setState(port, state);
        else
            m_session.console().progress(QCoreApplication::translate("LineCommand", "waiting for the chip on %1 to be taken away")
                                             .arg(m_session.portName(port)));
    }

    int end()
    {
        Console &console = m_session.console();
        console.progress({});
        const bool interrupted = m_session.interrupted();
        StationEnd total;
        QJsonArray stations;
        QList<ToolError> errors;  // what ended stations early, by COM number
        for (const auto &[port, seat] : m_seats) {
            const StationEnd &e = seat.end;
            total.chips += e.chips;
            total.passes += e.passes;
            total.failures += e.failures;
            if (e.error)
                errors.append(ToolError{ExitStatus(e.error->status()), said(port, e.error->line)});
            if (m_several) {
                console.text(QCoreApplication::translate("LineCommand", "COM%1: %2 chip%3, %4 passed, %5 failed.\n").arg(port).arg(e.chips)
                                 .arg(e.chips == 1 ? QString() : u"s"_s).arg(e.passes).arg(e.failures));
                QJsonObject station{{u"port"_s, port}, {u"chips"_s, e.chips}, {u"passes"_s, e.passes},
                                    {u"failures"_s, e.failures}};
                if (e.error)
                    station.insert(u"error"_s, e.error->line);
                stations.append(station);
            }
        }
        console.text(QCoreApplication::translate("LineCommand", "%1: %2 chip%3, %4 passed, %5 failed.\n")
                         .arg(interrupted ? QCoreApplication::translate("LineCommand", "Stopped") : QCoreApplication::translate("LineCommand", "Done"))
                         .arg(total.chips).arg(total.chips == 1 ? QString() : u"s"_s)
                         .arg(total.passes).arg(total.failures));
        std::optional<ToolError> error = m_error;
        if (!error && !errors.isEmpty()) {
            // The first goes with the status; the others are said before it.
            for (qsizetype i = 1; i < errors.size(); ++i)
                console.error(errors.at(i).line);
            error = errors.first();
        }
        if (!error && total.failures > 0) {
            error = ToolError{ExitStatus::Mismatch, QCoreApplication::translate("LineCommand", "%1 of %2 chips failed; their audit lines in %3 say why")
                                                        .arg(total.failures).arg(total.chips).arg(m_auditShown)};
        }
        QJsonObject summary{{u"chips"_s, total.chips}, {u"passes"_s, total.passes},
                            {u"failures"_s, total.failures}, {u"interrupted"_s, interrupted}};
        if (m_several)
            summary.insert(u"stations"_s, stations);
        return CommandSupport::finish(m_session, summary, error);
    }

    ChipSession &m_session;
    const ProgrammingTarget &m_target;
    const QString m_audit;
    const QString m_auditShown;  // as messages name it: a database's password masked
    const bool m_several;
    int m_speed = 0;  // bit/s; 0: each station finds its chip's speed
    std::map<int, Seat> m_seats;
    std::optional<ToolError> m_error;  // what ended the line before its stations began
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
        // A database's error names it, its password masked, and says how to mend it.
        const bool file = sink && dynamic_cast<JsonlRecordSink *>(sink->get());
        return CommandSupport::finish(session, {}, ToolError{ExitStatus::FileError,
                                                             file ? QCoreApplication::translate("LineCommand", "%1: cannot append the audit lines: %2; give a file "
                                                                    "in a folder you can write to")
                                                                        .arg(audit, checked.error().message)
                                                                  : checked.error().message});
    }
    LineFrontEnd line(session, *target, audit);
    return line.run();
}

} // namespace ChipCommands
