// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/station.h"

#include "core/logging.h"
#include "production/chipprogramming.h"
#include "production/failurewords.h"
#include "protocol/configurationread.h"
#include "protocol/detection.h"
#include "protocol/exchanges.h"
#include "serial/seriallink.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSysInfo>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

constexpr int ScanAgainMs = 1000;     // between two scans that found no chip

// Brings programming's calls over to the station's thread: its progress, and the
// polarity question as a round trip.
class StationListener final : public JobListener
{
public:
    StationListener(const JobChannel &channel, Station *station, ProgrammingTarget::PolarityAnswer answer,
                    std::function<bool(quint8, int)> question)
        : m_channel(channel), m_station(station), m_answer(answer), m_question(std::move(question))
    {
    }

    bool programDespitePolarity(quint8 detected, int chosen) override
    {
        switch (m_answer) {
        case ProgrammingTarget::PolarityAnswer::Program:
            return true;
        case ProgrammingTarget::PolarityAnswer::Refuse:
            return false;
        case ProgrammingTarget::PolarityAnswer::Ask:
            break;
        }
        if (!m_question)
            return false;
        return m_channel.ask<bool>([question = m_question, detected, chosen] { return question(detected, chosen); })
            .value_or(false);
    }

    void progress(const ProgrammingStep &step) override
    {
        m_channel.notify([station = m_station, step] { emit station->progress(step); });
    }

private:
    const JobChannel &m_channel;
    Station *m_station;
    ProgrammingTarget::PolarityAnswer m_answer;
    std::function<bool(quint8, int)> m_question;
};

} // namespace

// The station's loop on the worker's thread, in the blocking style of chip jobs: its
// waits are the worker's event loop.
class Station::Run final
{
public:
    Run(SerialLink &link, const JobChannel &channel, Station *station, const StationSettings &settings,
        RecordSink &sink, std::function<bool(quint8, int)> question)
        : m_link(link), m_channel(channel), m_station(station), m_settings(settings), m_ports(settings.ports),
          m_speed(settings.speed), m_sink(sink), m_question(std::move(question))
    {
    }

    StationEnd run()
    {
        qCDebug(lcProduction, "COM%d: station started (entry %s, %d chips; 0: until stopped)", m_settings.port,
                qUtf8Printable(m_settings.target.entry), m_settings.count);
        std::optional<StationArrival> next = m_settings.firstChip;
        for (;;) {
            if (!next) {
                tell([](Station *s) { emit s->waiting(); });
                next = waitForChip();
                if (!next)
                    break;
            }
            handle(*next);
            next.reset();
            if (m_end.error || cancelled() || (m_settings.count && m_end.chips >= m_settings.count))
                break;
            if (!waitUntilGone())
                break;
            tell([](Station *s) { emit s->gone(); });
        }
        m_end.stopped = m_channel.cancellation().reason();
        qCDebug(lcProduction, "COM%d: station ended: %d chips, %d passed, %d failed%s", m_settings.port, m_end.chips,
                m_end.passes, m_end.failures, m_end.error ? qUtf8Printable(u"; "_s + m_end.error->line) : "");
        return m_end;
    }

private:
    struct Answer
    {
        bool found = false;
        bool openFailed = false;
        bool held = false;  // by another program, for now
        QByteArray identity;
        Handshake handshake = Handshake::None;
    };

    template<class Call>
    void tell(Call call)
    {
        m_channel.notify([station = m_station, call] { call(station); });
    }

    bool cancelled() const { return m_channel.cancellation().isRequested(); }
    void beginJob() { m_link.startJob(m_channel.cancellation()); }
    QString portName() const { return FailureWords::portName(m_ports, m_settings.port); }

    bool present()
    {
        // The device behind a number taken from the system's list may come and go.
        if (!m_ports.isPinned(m_settings.port)) {
            m_ports.refresh();
            m_link.setPorts(m_ports);
        }
        return m_link.portExists(m_settings.port);
    }

    void pause(bool absent)
    {
        const bool pinned = m_ports.isPinned(m_settings.port);
        m_link.pause(absent ? (pinned ? PinnedPollMs : SystemPollMs) : GonePollMs);
    }

    Answer ask()
    {
        beginJob();
        const JobResult<Detection::PortResult> result =
            Detection::detectOnPort(m_link, m_settings.port, m_speed, Detection::AskingHandshake);
        const QList<LinkFailure> failures = result ? QList<LinkFailure>() : result.error().failures;
        Answer answer;
        answer.found = result && result->found && !cancelled();
        if (result) {
            answer.identity = result->identity;
            answer.handshake = result->handshake;
        }
        answer.openFailed = !failures.isEmpty();
        answer.held = noteFailures(failures);
        return answer;
    }

    // Ends the station at a failure of the port that waiting won't mend; true when the
    // port is held by another program but not yet for HeldMs.
    bool noteFailures(const QList<LinkFailure> &failures)
    {
        // A chip taken away takes its device with it on some stations: a missing or lost
        // device is no chip. No access won't mend by waiting, nor a port held for long.
        bool held = false;
        for (const LinkFailure &failure : failures) {
            if (failure.kind == LinkFailure::Kind::NoDevice || failure.kind == LinkFailure::Kind::Unplugged)
                continue;
            if (failure.kind == LinkFailure::Kind::Busy) {
                held = true;
                if (!m_heldSince.isValid())
                    m_heldSince.start();
                if (m_heldSince.elapsed() < HeldMs)
                    continue;
            }
            m_end.error = ChipFailure{ChipFailure::Kind::PortLost, FailureWords::line(failure)};
            break;
        }
        if (!held)
            m_heldSince.invalidate();
        return held && !m_end.error;
    }

    // Waits until the port's device is there; false when the station is stopped first.
    bool awaitDevice()
    {
        for (;;) {
            if (cancelled())
                return false;
            if (present())
                return true;
            pause(true);
        }
    }

    // The chip that answered, with the handshake its answer stands for unless one is given.
    StationArrival arrival(Handshake answeredHandshake, const QByteArray &identity) const
    {
        const Handshake handshake = m_settings.handshake.value_or(answeredHandshake);
        return {ConnectionSettings{m_settings.port, m_speed, handshake, true}, identity};
    }

    // The first chip of a station not given its speed: the wake-up and the scan of the
    // speeds on the station's own port, again and again until a chip answers.
    std::optional<StationArrival> findSpeed()
    {
        for (;;) {
            if (!awaitDevice())
                return std::nullopt;
            beginJob();
            Detection::ScanHooks hooks;
            hooks.stopRequested = [this] { return cancelled(); };
            const JobResult<Detection::AutodetectResult> detected =
                Detection::autodetect(m_link, hooks, {m_settings.port});
            if (!detected || cancelled())
                return std::nullopt;
            noteFailures(detected->passedOver);
            if (m_end.error)
                return std::nullopt;
            if (detected->found()) {
                m_speed = detected->scan.speed;
                return arrival(detected->identification.handshake, detected->identification.identity);
            }
            m_link.pause(ScanAgainMs);
        }
    }

    std::optional<StationArrival> waitForChip()
    {
        if (m_speed == 0)
            return findSpeed();
        for (;;) {
            if (!awaitDevice())
                return std::nullopt;
            const Answer answer = ask();
            if (m_end.error || cancelled())
                return std::nullopt;
            if (answer.found)
                return arrival(answer.handshake, answer.identity);
            if (answer.held)
                m_link.pause(GonePollMs);
            else if (answer.openFailed)
                pause(true);  // it failed at once: not a second request straight after
        }
    }

    // Whether identity is surely not the chip just handled: only one whose identity is known
    // for sure (it passed, or was already programmed) is told apart so, as one that failed
    // may answer anything, and only by a whole name, as a reply read early may be cut short.
    bool isAnotherChip(const QByteArray &identity) const
    {
        using Detection::NameLength;
        return m_leftIdentity && m_leftIdentity->size() >= NameLength && identity.size() >= NameLength
            && identity.left(NameLength) != m_leftIdentity->left(NameLength);
    }

    bool waitUntilGone()
    {
        int misses = 0;
        int strangers = 0;
        QElapsedTimer missing;  // since the first of the misses in a row began
        for (;;) {
            if (cancelled())
                return false;
            QElapsedTimer asked;
            asked.start();
            const bool there = present();
            const Answer answer = there ? ask() : Answer{};
            if (m_end.error || cancelled())
                return false;
            if (answer.found) {
                misses = 0;
                strangers = isAnotherChip(answer.identity) ? strangers + 1 : 0;
                if (strangers >= SwappedAnswers)
                    return true;
                pause(false);
                continue;
            }
            if (answer.held) {
                // The chip may well be there still: no answer is no miss.
                m_link.pause(GonePollMs);
                continue;
            }
            strangers = 0;
            if (misses++ == 0)
                missing = asked;
            if (misses >= GoneMisses && missing.elapsed() >= GoneMs)
                return true;
            if (!there)
                pause(true);
        }
    }

    bool recordCanBeKept()
    {
        const Result<void, RecordError> checked = m_sink.check();
        if (checked)
            return true;
        m_end.error = ChipFailure{ChipFailure::Kind::RecordNotKept,
                                  u"%1: the next chip's record could not be kept: %2; the chip on %3 was not "
                                  "programmed, and the line stops here: make room or give another file"_s
                                      .arg(m_sink.describe(), checked.error().message, portName())};
        return false;
    }

    bool alreadyProgrammed(const StationArrival &arrival)
    {
        const ProgrammingTarget &target = m_settings.target;
        if (m_settings.reprogram)
            return false;
        // Its identity tells most chips apart at once; only one that matches is read.
        if (target.identity && Exchanges::mechanismIdentity(arrival.identity) != *target.identity)
            return false;
        JobListener quiet;
        beginJob();
        const JobResult<ConfigurationReading> reading = ConfigurationRead::read(m_link, arrival.chip, quiet);
        return reading && allPassed(verifyReading(target, *reading));
    }

    ChipRecord record(const StationArrival &arrival, const ProgramRun &run, const std::optional<ChipFailure> &failure,
                      const QDateTime &started, qint64 durationMs) const
    {
        const ProgrammingTarget &target = m_settings.target;
        const ProgrammingResult &p = run.programming;
        ChipRecord r;
        r.runId = QUuid::createUuid();
        r.started = started;
        r.host = QSysInfo::machineHostName();
        r.pid = QCoreApplication::applicationPid();
        r.chipNumber = m_end.chips;
        r.station = arrival.chip.port;
        r.device = m_ports.device(arrival.chip.port);
        r.speed = arrival.chip.speed;
        r.handshake = arrival.chip.handshake;
        r.programVersion = QCoreApplication::applicationVersion();
        r.databaseFile = m_settings.databaseFile;
        r.entry = target.entry;
        if (target.word)
            r.word = *target.word;
        if (target.input.userIdentity)
            r.identityWritten = target.input.name.left(16);
        if (p.detectedPolarity)
            r.detectedPolarity = *p.detectedPolarity;
        r.identityBefore = arrival.identity;
        if (run.programmed())
            r.identityAfter = p.identity;
        r.settings = p.writes;
        r.settingsTotal = run.settingCount;
        r.checks = run.checks;
        r.passed = run.passed();
        r.failure = failure ? failure->line : QString();
        r.status = failure ? failure->status() : 0;
        r.durationMs = durationMs;
        return r;
    }

    void handle(const StationArrival &arrival)
    {
        // A chip whose record can't be kept is not taken.
        if (!recordCanBeKept())
            return;
        m_leftIdentity.reset();
        if (alreadyProgrammed(arrival)) {
            m_leftIdentity = arrival.identity;
            tell([arrival](Station *s) { emit s->alreadyProgrammed(arrival); });
            return;
        }
        if (cancelled())
            return;

        ++m_end.chips;
        qCDebug(lcProduction, "COM%d: chip %d arrived at %d bauds: %s", m_settings.port, m_end.chips,
                arrival.chip.speed, qUtf8Printable(Logging::hex(arrival.identity)));
        tell([arrival, chip = m_end.chips](Station *s) { emit s->found(chip, arrival); });
        const QDateTime started = QDateTime::currentDateTimeUtc();
        QElapsedTimer clock;
        clock.start();
        StationListener listener(m_channel, m_station, m_settings.target.polarity, m_question);
        const ProgramRun run = programAndVerify(m_link, m_channel.cancellation(), arrival.chip, m_settings.target,
                                                listener);
        StationVerdict verdict;
        verdict.failure = judgeRun(m_ports, arrival.chip, m_settings.target, run);
        verdict.record = record(arrival, run, verdict.failure, started, clock.elapsed());
        qCDebug(lcProduction, "COM%d: chip %d %s%s", m_settings.port, m_end.chips,
                verdict.record.passed ? "passed" : "failed",
                verdict.failure ? qUtf8Printable(u": "_s + verdict.failure->line) : "");

        // The record first: a chip is shown as passed only once its record is kept.
        const Result<RecordKept, RecordError> kept = m_sink.write(verdict.record);
        if (!kept) {
            verdict.recordFailure = ChipFailure{ChipFailure::Kind::RecordNotKept,
                                                u"%1: the record of chip %2 was not written: %3; the line stops "
                                                "here: make room or give another file"_s
                                                    .arg(m_sink.describe()).arg(m_end.chips).arg(kept.error().message)};
            m_end.error = verdict.recordFailure;
            ++m_end.failures;  // however it went, a chip without its record did not pass
        } else {
            qCDebug(lcProduction, "COM%d: record of chip %d kept in %s", m_settings.port, m_end.chips,
                    qUtf8Printable(m_sink.describe()));
            verdict.record.passed ? ++m_end.passes : ++m_end.failures;
            tell([record = verdict.record, k = *kept](Station *s) { emit s->recordWritten(record, k); });
        }
        if (verdict.failure && verdict.failure->kind == ChipFailure::Kind::PortLost) {
            tell([failure = *verdict.failure](Station *s) { emit s->portLost(failure); });
            if (m_settings.endOnPortLoss && !m_end.error)
                m_end.error = verdict.failure;
        }
        if (verdict.record.passed && !verdict.recordFailure && !run.programming.identity.isEmpty())
            m_leftIdentity = run.programming.identity;
        tell([verdict](Station *s) { emit s->verdict(verdict); });
    }

    SerialLink &m_link;
    const JobChannel &m_channel;
    Station *m_station;
    const StationSettings &m_settings;
    PortMap m_ports;
    int m_speed = 0;  // given, or found by the first chip
    RecordSink &m_sink;
    std::function<bool(quint8, int)> m_question;
    StationEnd m_end;
    std::optional<QByteArray> m_leftIdentity;  // what the chip just handled answers, when known for sure
    QElapsedTimer m_heldSince;  // since the port was first found held, while it still is
};

Station::Station(StationSettings settings, std::unique_ptr<RecordSink> sink,
                 std::shared_ptr<TrafficRecord> programTraffic, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_sink(std::move(sink)), m_worker(std::move(programTraffic))
{
}

Station::~Station()
{
    stop(Cancellation::Reason::ProgramEnding);
}

void Station::setPolarityQuestion(std::function<bool(quint8, int)> question)
{
    m_polarityQuestion = std::move(question);
}

void Station::start()
{
    if (m_running)
        return;
    m_running = true;
    m_job = m_worker.start(m_settings.ports, this,
                           [this, settings = m_settings, sink = m_sink, question = m_polarityQuestion](
                               SerialLink &link, const JobChannel &channel) {
                               Run run(link, channel, this, settings, *sink, question);
                               return run.run();
                           },
                           [this](const StationEnd &end) {
                               m_running = false;
                               emit finished(end);
                           });
}

void Station::stop(Cancellation::Reason reason)
{
    if (m_running)
        m_job.request(reason);
}
