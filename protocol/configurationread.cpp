// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/configurationread.h"

#include "core/logging.h"
#include "protocol/commands.h"
#include "protocol/exchanges.h"

QString ConfigurationReading::mechanismIdentity() const
{
    return Exchanges::mechanismIdentity(identityReply);
}

namespace ConfigurationRead {

JobResult<ConfigurationReading> read(SerialLink &link, const ConnectionSettings &chip, JobListener &listener)
{
    const Logging::JobScope job("configuration read");
    if (!ChipJob::open(link, chip))
        return Failure(ChipJob::stopped(link));
    // Each answer is handed on before the next command goes out: the window applies the
    // modes' rules at once.
    ConfigurationReading reading;
    reading.mode = Exchanges::readSetting(link, Commands::SettingConfigurationMode);
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    listener.modeRead(reading.software());

    reading.identityMethod = Exchanges::readSetting(link, Commands::SettingIdentityFirst);
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    listener.identityMethodRead(reading.userIdentity());

    reading.configurationReply = Exchanges::readConfiguration(link);
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    reading.word = Exchanges::configurationWord(reading.configurationReply);
    listener.configurationRead(reading.word);

    reading.identityReply = Exchanges::identifyNow(link);
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    link.close();
    return reading;
}

} // namespace ConfigurationRead
