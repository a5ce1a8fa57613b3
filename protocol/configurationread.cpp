// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/configurationread.h"

#include "protocol/commands.h"
#include "protocol/exchanges.h"

QString ConfigurationReading::mechanismIdentity() const
{
    return Exchanges::mechanismIdentity(identityReply);
}

namespace ConfigurationRead {

ConfigurationReading read(SerialLink &link, const ConnectionSettings &chip, JobListener &listener)
{
    ConfigurationReading reading;
    if (!ChipJob::open(link, chip)) {
        reading.end = ChipJob::portEnd(link);
        return reading;
    }
    // Each answer is handed on before the next command goes out: the window applies the
    // modes' rules at once.
    auto gone = [&] {
        if (link.isOpen())
            return false;
        reading.end = ChipJob::portEnd(link);
        return true;
    };
    reading.mode = Exchanges::readSetting(link, Commands::SettingConfigurationMode);
    if (gone())
        return reading;
    listener.modeRead(reading.software());

    reading.identityMethod = Exchanges::readSetting(link, Commands::SettingIdentityFirst);
    if (gone())
        return reading;
    listener.identityMethodRead(reading.userIdentity());

    reading.configurationReply = Exchanges::readConfiguration(link);
    if (gone())
        return reading;
    reading.word = Exchanges::configurationWord(reading.configurationReply);
    listener.configurationRead(reading.word);

    reading.identityReply = Exchanges::identifyNow(link);
    if (gone())
        return reading;
    link.ClosePort();
    return reading;
}

} // namespace ConfigurationRead
