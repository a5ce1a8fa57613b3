// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/productionline.h"

#include "config/wordmeaning.h"
#include "protocol/configurationread.h"
#include "protocol/detection.h"
#include "protocol/exchanges.h"
#include "tools/chiptool/auditfile.h"
#include "tools/chiptool/banner.h"
#include "tools/chiptool/chiplocator.h"
#include "tools/chiptool/chipprogramming.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/failurewords.h"
#include "tools/chiptool/programmingtarget.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/simulatedstation.h"
#include "tools/chiptool/terminallistener.h"
#include "tools/chiptool/tooloptions.h"
#include "tools/chiptool/verification.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr int AskHandshakeIndex = 1;  // "DSR/DTR Mode", as the dialog starts

} // namespace

ProductionLine::ProductionLine(ChipSession &session, const ProgrammingTarget &target, AuditFile &audit)
    : m_session(session), m_target(target), m_audit(audit)
{
}

int ProductionLine::run()
{
    const ToolOptions &o = m_session.options();
    Console &console = m_session.console();
    std::optional<Arrival> next;
    if (o.com) {
        m_port = *o.com;
        m_speed = *o.speed;
    } else {
        next = findLine();
        if (!next)
            return end();
    }
    const QString identity = m_target.identity ? u", identity \"%1\""_s.arg(escapeControls(*m_target.identity))
                                               : u", automatic identity"_s;
    console.text(u"Station %1: \"%2\" (%3)%4. Ctrl-C ends.\n"_s
                     .arg(m_session.where(m_port, m_speed), escapeControls(m_target.entry), *m_target.word, identity));

    for (;;) {
        if (!next) {
            console.text(u"Waiting for a chip.\n"_s);
            next = waitForChip();
            if (!next)
                break;
        }
        handle(*next);
        next.reset();
        if (m_error || m_session.link().isAborted() || (o.count && m_chips >= o.count))
            break;
        if (SimulatedStation *station = m_session.station())
            station->replaceChip();
        if (!waitUntilGone())
            break;
    }
    return end();
}

std::optional<ProductionLine::Arrival> ProductionLine::findLine()
{
    bool said = false;
    for (;;) {
        auto found = CommandSupport::locate(m_session);
        if (const auto *chip = std::get_if<LocatedChip>(&found)) {
            m_port = chip->chip.PortNumber;
            m_speed = chip->chip.Speed;
            return Arrival{chip->chip, chip->identity};
        }
        const ToolError &error = std::get<ToolError>(found);
        if (error.status != NoChip) {
            if (error.status != Interrupted)
                m_error = error;
            return std::nullopt;
        }
        if (!said)
            m_session.console().note(error.line + u"; looking again every second"_s);
        said = true;
        m_session.link().WaitMs(ScanAgainMs);
        if (m_session.link().isAborted())
            return std::nullopt;
    }
}

bool ProductionLine::present()
{
    if (!m_session.ports().isPinned(m_port))
        m_session.refreshPorts();
    return m_session.link().PortExists(m_port);
}

void ProductionLine::pause(bool absent)
{
    const bool pinned = m_session.ports().isPinned(m_port);
    m_session.link().WaitMs(absent ? (pinned ? PinnedPollMs : SystemPollMs) : GonePollMs);
}

ProductionLine::Answer ProductionLine::ask()
{
    SerialLink &link = m_session.link();
    const Detection::PortResult result = Detection::DetectOnPort(link, m_port, m_speed, AskHandshakeIndex);
    const QList<LinkFailure> failures = link.takeFailures();
    Answer answer;
    answer.found = result.found && !link.isAborted();
    answer.identity = result.identity;
    answer.handshake = result.handshakeIndex + 1;
    answer.openFailed = !failures.isEmpty();
    // A chip taken away takes its device with it on some stations: a missing or lost
    // device is no chip. No access or another program on the port won't mend by waiting.
    for (const LinkFailure &failure : failures) {
        if (failure.kind != LinkFailure::Kind::NoDevice && failure.kind != LinkFailure::Kind::Unplugged) {
            m_error = ToolError{PortError, FailureWords::line(failure)};
            break;
        }
    }
    return answer;
}

std::optional<ProductionLine::Arrival> ProductionLine::waitForChip()
{
    SerialLink &link = m_session.link();
    m_session.console().progress(u"waiting for a chip on %1"_s.arg(m_session.portName(m_port)));
    for (;;) {
        if (link.isAborted())
            return std::nullopt;
        if (!present()) {
            pause(true);
            continue;
        }
        const Answer answer = ask();
        if (m_error || link.isAborted())
            return std::nullopt;
        if (answer.found) {
            const int handshake = m_session.options().handshake.value_or(answer.handshake);
            return Arrival{ConnectionSettings{qint16(m_port), m_speed, qint16(handshake), true}, answer.identity};
        }
        if (answer.openFailed)
            pause(true);  // it failed at once: not a second request straight after
    }
}

bool ProductionLine::waitUntilGone()
{
    SerialLink &link = m_session.link();
    m_session.console().progress(u"waiting for the chip on %1 to be taken away"_s.arg(m_session.portName(m_port)));
    int misses = 0;
    QElapsedTimer missing;  // since the first of the misses in a row began
    for (;;) {
        if (link.isAborted())
            return false;
        QElapsedTimer asked;
        asked.start();
        const bool there = present();
        const bool answered = there && ask().found;
        if (m_error || link.isAborted())
            return false;
        if (answered) {
            misses = 0;
            pause(false);
            continue;
        }
        if (misses++ == 0)
            missing = asked;
        if (misses >= GoneMisses && missing.elapsed() >= GoneMs)
            return true;
        if (!there)
            pause(true);
    }
}

void ProductionLine::noteMadeAgain(bool madeAgain)
{
    if (madeAgain) {
        m_session.console().note(u"%1 was not there any more (moved or deleted); the records go on in a "
                                 "new %1"_s.arg(m_audit.path()));
    }
}

bool ProductionLine::recordCanBeKept()
{
    const AuditFile::Outcome checked = m_audit.check();
    noteMadeAgain(checked.madeAgain);
    if (checked.ok())
        return true;
    m_error = ToolError{FileError, u"%1: the next chip's record could not be kept: %2; the chip on %3 was not "
                                   "programmed, and the line stops here: make room or give another file"_s
                                       .arg(m_audit.path(), checked.error, m_session.portName(m_port))};
    return false;
}

bool ProductionLine::alreadyProgrammed(const Arrival &arrival)
{
    if (m_session.options().reprogram)
        return false;
    // Its identity tells most chips apart at once; only one that matches is read.
    if (m_target.identity && Exchanges::mechanismIdentity(arrival.identity) != *m_target.identity)
        return false;
    m_session.console().progress(u"reading %1"_s.arg(m_session.portName(m_port)));
    JobListener quiet;
    const ConfigurationReading reading = ConfigurationRead::read(m_session.link(), arrival.chip, quiet);
    m_session.console().progress({});
    return reading.end == JobEnd::Done && allPassed(verifyReading(m_target, reading));
}

void ProductionLine::handle(const Arrival &arrival)
{
    Console &console = m_session.console();
    console.progress({});
    // A chip whose record can't be kept is not taken.
    if (!recordCanBeKept())
        return;
    if (alreadyProgrammed(arrival)) {
        const QString identity = m_target.identity ? u" and identity \"%1\""_s.arg(escapeControls(*m_target.identity))
                                                   : QString();
        console.text(u"Chip on %1: %2\nAlready programmed: it holds \"%3\" (%4)%5; not programmed again "
                     "(--reprogram programs it). Take it away.\n"_s
                         .arg(m_session.portName(m_port), ResultText::chipText(arrival.identity),
                              escapeControls(m_target.entry), m_target.word.value_or(QString()), identity));
        QJsonObject shown = ResultJson::merged(ResultJson::head(m_session.options().commandName, std::nullopt),
                                               ResultJson::line(m_session, arrival.chip));
        shown.insert(u"identity_before"_s, ResultJson::chipText(arrival.identity));
        shown.insert(u"already_programmed"_s, true);
        console.result(shown);
        return;
    }
    if (m_session.link().isAborted())
        return;

    ++m_chips;
    console.text(u"Chip %1 on %2: %3\n"_s.arg(m_chips).arg(m_session.portName(m_port),
                                                          ResultText::chipText(arrival.identity)));
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    QElapsedTimer clock;
    clock.start();

    m_session.link().takeFailures();
    TerminalListener listener(console, m_session.link(), m_session.options().polarity,
                              m_session.portName(m_port));
    const ProgramRun run = programAndVerify(m_session, arrival.chip, m_target, listener);
    const std::optional<ToolError> error = judgeRun(m_session, arrival.chip, m_target, run);
    const qint64 durationMs = clock.elapsed();
    const bool passed = run.passed();

    // The record first: a chip is shown as passed only once its record is on the disk.
    QJsonObject line = record(arrival, run, error, durationMs, time);
    const AuditFile::Outcome appended = m_audit.append(line);
    noteMadeAgain(appended.madeAgain);
    if (error)
        console.error(u"chip %1: %2"_s.arg(m_chips).arg(error->line));
    if (!appended.ok()) {
        m_error = ToolError{FileError, u"%1: the record of chip %2 was not written: %3; the line stops here: "
                                       "make room or give another file"_s
                                           .arg(m_audit.path()).arg(m_chips).arg(appended.error)};
        ++m_failures;  // however it went, a chip without its record did not pass
        line.insert(u"result"_s, u"FAIL"_s);
        console.result(ResultJson::merged(ResultJson::head(m_session.options().commandName, m_error), line));
        console.text(bigVerdict(false, console.stdoutIsTerminal())
                     + u"Chip %1: its record was NOT written (%2). Set it apart: it has no record.\n"_s
                           .arg(m_chips).arg(m_audit.path()));
        return;
    }
    passed ? ++m_passes : ++m_failures;
    console.result(ResultJson::merged(ResultJson::head(m_session.options().commandName, error), line));
    console.text(bigVerdict(passed, console.stdoutIsTerminal())
                 + u"Chip %1: %2 in %3 s. Take it away.\n"_s.arg(m_chips)
                       .arg(passed ? u"PASS"_s : u"FAIL"_s)
                       .arg(double(durationMs) / 1000.0, 0, 'f', 1));
}

QJsonObject ProductionLine::record(const Arrival &arrival, const ProgramRun &run,
                                   const std::optional<ToolError> &error, qint64 durationMs,
                                   const QString &time) const
{
    QJsonObject line = ResultJson::merged(ResultJson::line(m_session, arrival.chip), ResultJson::run(m_target, run));
    line.insert(u"time"_s, time);
    line.insert(u"host"_s, QSysInfo::machineHostName());
    line.insert(u"pid"_s, QCoreApplication::applicationPid());
    line.insert(u"chip"_s, m_chips);
    line.insert(u"identity_before"_s, ResultJson::chipText(arrival.identity));
    line.insert(u"duration_ms"_s, durationMs);
    if (error)
        line.insert(u"error"_s, error->line);
    return line;
}

int ProductionLine::end()
{
    Console &console = m_session.console();
    console.progress({});
    const bool interrupted = m_session.link().isAborted();
    console.text(u"%1: %2 chip%3, %4 passed, %5 failed.\n"_s
                     .arg(interrupted ? u"Stopped"_s : u"Done"_s)
                     .arg(m_chips).arg(m_chips == 1 ? QString() : u"s"_s)
                     .arg(m_passes).arg(m_failures));
    std::optional<ToolError> error = m_error;
    if (!error && m_failures > 0) {
        error = ToolError{Mismatch, u"%1 of %2 chips failed; their audit lines in %3 say why"_s
                                        .arg(m_failures).arg(m_chips).arg(m_audit.path())};
    }
    const QJsonObject summary{{u"chips"_s, m_chips}, {u"passes"_s, m_passes}, {u"failures"_s, m_failures},
                              {u"interrupted"_s, interrupted}};
    return CommandSupport::finish(m_session, summary, error);
}
