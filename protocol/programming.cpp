// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/programming.h"

#include "config/configword.h"
#include "core/logging.h"
#include "protocol/commands.h"
#include "protocol/protocoltiming.h"
#include "protocol/exchanges.h"
#include "serial/timerout.h"

#include <algorithm>

qsizetype ProgrammingResult::mismatches() const
{
    return std::count_if(writes.begin(), writes.end(), [](const SettingWrite &w) { return !w.echoed(); });
}

namespace Programming {

namespace {

using Settings = QList<std::pair<quint8, quint8>>;

Settings modeSettings(const ProgrammingInput &input)
{
    if (!input.software)
        return {{Commands::SettingConfigurationMode, 0}};
    const ConfigWord word = ConfigWord::fromFields(input.fields);
    return {{Commands::SettingConfigurationMode, 1},
            {Commands::SettingConfigurationHigh, word.high()},
            {Commands::SettingConfigurationLow, word.low()}};
}

Settings identitySettings(const ProgrammingInput &input)
{
    if (!input.userIdentity)
        return {{Commands::SettingIdentityFirst, 0}};
    return Exchanges::identitySettings(input.name);
}

// One phase: open, the settings, close. False when the port went (the job ends).
class Phases
{
public:
    Phases(SerialLink &link, const ConnectionSettings &chip, JobListener &listener,
           ProgrammingResult &result, int total)
        : m_link(link), m_chip(chip), m_listener(listener), m_result(result), m_total(total)
    {
    }

    bool open() { return ChipJob::open(m_link, m_chip); }
    bool write(const Settings &settings)
    {
        for (const auto &[setting, value] : settings) {
            m_listener.progress({ProgrammingStep::Kind::Setting, m_done, m_total, setting});
            m_result.writes.append(programSetting(m_link, setting, value, m_listener));
            ++m_done;
            if (!m_link.isOpen())
                return false;
        }
        return true;
    }
    bool phase(const Settings &settings)
    {
        if (!open() || !write(settings))
            return false;
        m_link.close();
        return true;
    }
    void step(ProgrammingStep::Kind kind) { m_listener.progress({kind, m_done++, m_total, 0}); }

private:
    SerialLink &m_link;
    const ConnectionSettings &m_chip;
    JobListener &m_listener;
    ProgrammingResult &m_result;
    int m_total;
    int m_done = 0;
};

} // namespace

Settings settingsFor(const ProgrammingInput &input)
{
    return modeSettings(input) + identitySettings(input);
}

SettingWrite programSetting(SerialLink &link, quint8 setting, quint8 value, JobListener &listener)
{
    const SettingWrite write{setting, value, Exchanges::writeSetting(link, setting, value)};
    listener.settingWritten(write);
    // A port that went away is the port's failure, not the chip's answer.
    if (!write.echoed() && link.isOpen())
        listener.echoMismatch(write);
    link.pause(ProtocolTiming::WriteSettleMs);
    return write;
}

JobResult<ProgrammingResult> program(SerialLink &link, const ConnectionSettings &chip,
                                     const ProgrammingInput &input, JobListener &listener)
{
    const Logging::JobScope job("programming");
    ProgrammingResult result;
    const Settings mode = modeSettings(input);
    const Settings identity = identitySettings(input);
    Phases phases(link, chip, listener, result,
                  int(mode.size() + identity.size()) + ProgrammingStep::StepsAfterSettings);
    auto stopped = [&link] {
        const JobError error = ChipJob::stopped(link);
        link.close();
        return Failure(error);
    };

    if (!input.software) {
        if (!phases.phase(mode))
            return stopped();
    } else {
        if (!phases.open())
            return stopped();
        result.detectedPolarity = Exchanges::readDetectedPolarity(link);
        if (!link.isOpen())
            return stopped();
        listener.detectedPolarityRead(*result.detectedPolarity);
        // Software mode has every field defined; an undefined one would never match.
        const int chosen = input.fields.strobePolarity ? fieldCode(*input.fields.strobePolarity) : -1;
        if (*result.detectedPolarity != chosen && !listener.programDespitePolarity(*result.detectedPolarity, chosen)) {
            if (link.isCancelled())
                return stopped();
            link.close();
            return Failure(JobError{JobError::Kind::Declined, link.failures()});
        }
        if (!phases.write(mode))
            return stopped();
        link.close();
    }
    if (!phases.phase(identity))
        return stopped();

    phases.step(ProgrammingStep::Kind::Reset);
    if (!phases.open())
        return stopped();
    Exchanges::reset(link);
    link.close();

    // The chip restarts meanwhile.
    TimerOut restart(link);
    restart.start(ProtocolTiming::RestartPauseMs);
    restart.waitUntil();
    restart.stop();
    if (link.isCancelled())
        return stopped();

    phases.step(ProgrammingStep::Kind::Identity);
    if (!phases.open())
        return stopped();
    result.identity = Exchanges::identify(link);
    if (!link.isOpen())
        return stopped();
    link.close();
    return result;
}

} // namespace Programming
