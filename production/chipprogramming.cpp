// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/chipprogramming.h"

#include "production/failurewords.h"
#include "production/programmingtarget.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Keeps what programming has done as it goes, for a run that stops before its end, and
// passes every call on.
class ProgressRecorder final : public JobListener
{
public:
    ProgressRecorder(JobListener &listener, ProgrammingResult &seen) : m_listener(listener), m_seen(seen) {}

    void detectedPolarityRead(quint8 detected) override
    {
        m_seen.detectedPolarity = detected;
        m_listener.detectedPolarityRead(detected);
    }
    bool programDespitePolarity(quint8 detected, int chosen) override
    {
        return m_listener.programDespitePolarity(detected, chosen);
    }
    void settingWritten(const SettingWrite &write) override
    {
        m_seen.writes.append(write);
        m_listener.settingWritten(write);
    }
    void echoMismatch(const SettingWrite &write) override { m_listener.echoMismatch(write); }
    void progress(const ProgrammingStep &step) override { m_listener.progress(step); }

private:
    JobListener &m_listener;
    ProgrammingResult &m_seen;
};

// The chip has sent anything since sequence in the link's record.
bool heardSince(const SerialLink &link, quint64 sequence)
{
    const QList<TrafficEvent> events = link.traffic().eventsSince(sequence);
    return std::any_of(events.cbegin(), events.cend(),
                       [](const TrafficEvent &e) { return e.kind == TrafficEvent::Kind::Received; });
}

ChipFailure portFailure(const PortMap &ports, int port, const QList<LinkFailure> &failures)
{
    if (!failures.isEmpty())
        return {ChipFailure::Kind::PortLost, FailureWords::line(FailureWords::principal(failures))};
    return {ChipFailure::Kind::PortLost, u"%1: the port was lost; check the cable and the serial adapter"_s
                                             .arg(FailureWords::portName(ports, port))};
}

} // namespace

bool ProgramRun::passed() const
{
    return programmed() && programming.mismatches() == 0 && readBack && heard && allPassed(checks);
}

ProgramRun programAndVerify(SerialLink &link, const Cancellation &cancellation, const ConnectionSettings &chip,
                            const ProgrammingTarget &target, JobListener &listener)
{
    ProgramRun run;
    run.settingCount = target.settingCount();
    const quint64 start = link.traffic().nextSequence();
    link.startJob(cancellation);
    ProgressRecorder recorder(listener, run.programming);
    const JobResult<ProgrammingResult> programmed = Programming::program(link, chip, target.input, recorder);
    if (programmed)
        run.programming = *programmed;
    else
        run.programmingStopped = programmed.error();
    if (programmed) {
        listener.progress({ProgrammingStep::Kind::ReadBack, 0, 0, 0});
        JobListener quiet;
        link.startJob(cancellation);
        const JobResult<ConfigurationReading> reading = ConfigurationRead::read(link, chip, quiet);
        if (reading) {
            run.readBack = *reading;
            run.checks = verifyReading(target, *run.readBack);
        } else {
            run.readBackStopped = reading.error();
        }
    }
    run.heard = heardSince(link, start);
    return run;
}

std::optional<ChipFailure> judgeRun(const PortMap &ports, const ConnectionSettings &chip,
                                    const ProgrammingTarget &target, const ProgramRun &run)
{
    using Kind = ChipFailure::Kind;
    const QString port = FailureWords::portName(ports, chip.port);
    const std::optional<JobError> &programming = run.programmingStopped;
    const std::optional<JobError> &readBack = run.readBackStopped;
    auto is = [](const std::optional<JobError> &stopped, auto test) { return stopped && test(*stopped); };
    auto cancelled = [](const JobError &e) { return e.cancelled(); };
    auto portFailed = [](const JobError &e) { return e.kind == JobError::Kind::PortFailed; };
    if (is(programming, cancelled) && run.programming.writes.isEmpty())
        return ChipFailure{Kind::Interrupted, u"interrupted; nothing was written to the chip on %1"_s.arg(port)};
    if (is(programming, cancelled) || is(readBack, cancelled)) {
        return ChipFailure{Kind::Interrupted,
                           u"interrupted; the chip on %1 may be partly programmed: program it again"_s.arg(port)};
    }
    if (is(programming, portFailed))
        return portFailure(ports, chip.port, programming->failures);
    if (is(readBack, portFailed))
        return portFailure(ports, chip.port, readBack->failures);
    if (programming) {
        return ChipFailure{Kind::Mismatch, u"%1: the chip detects strobe polarity %2, the configuration has %3; "
                                           "nothing was written (--polarity-mismatch continue programs it anyway)"_s
                                               .arg(port, polarityName(run.programming.detectedPolarity.value_or(0)),
                                                    polarityName(fieldCode(*target.input.fields.strobePolarity)))};
    }
    if (!run.heard) {
        return ChipFailure{Kind::NoAnswer, u"%1: no answer from the chip; check its power and cable, and the "
                                           "speed"_s.arg(FailureWords::where(ports, chip.port, chip.speed))};
    }
    if (run.programming.mismatches() > 0) {
        QStringList wrong;
        for (const SettingWrite &w : run.programming.writes) {
            if (!w.echoed())
                wrong.append(QString::number(w.setting));
        }
        return ChipFailure{Kind::Mismatch, u"%1: the chip echoed %2 of %3 settings wrong (setting %4); check the "
                                           "cable and the chip's power, then program it again"_s
                                               .arg(port).arg(wrong.size()).arg(run.programming.writes.size())
                                               .arg(wrong.join(u", "_s))};
    }
    if (!allPassed(run.checks)) {
        return ChipFailure{Kind::Mismatch, u"%1: the chip reads back differently (%2); program it again"_s
                                               .arg(port, failedNames(run.checks))};
    }
    return std::nullopt;
}

QString polarityName(int polarity)
{
    switch (polarity) {
    case 0:
        return u"positive"_s;
    case 1:
        return u"negative"_s;
    default:
        return u"unknown (%1)"_s.arg(polarity);
    }
}
