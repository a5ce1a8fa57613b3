// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/exchanges.h"

#include "config/configword.h"
#include "protocol/commands.h"
#include "protocol/protocoltiming.h"
#include "serial/seriallink.h"

#include <QStringView>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Exchanges {

void request(SerialLink &link, const QByteArray &command)
{
    link.discardInput();
    link.send(command);
}

QByteArray identify(SerialLink &link)
{
    request(link, Commands::identify());
    link.pause(ProtocolTiming::IdentifyWaitMs);
    return link.readReply();
}

QByteArray identifyNow(SerialLink &link)
{
    request(link, Commands::identify());
    return link.readReply();
}

quint8 readSetting(SerialLink &link, quint8 setting)
{
    request(link, Commands::readSetting(setting));
    return link.readReplyByte();
}

QByteArray readConfiguration(SerialLink &link)
{
    request(link, Commands::readConfiguration());
    return link.readReply();
}

quint8 readDetectedPolarity(SerialLink &link)
{
    request(link, Commands::readDetectedPolarity());
    return link.readReplyByte();
}

quint8 writeSetting(SerialLink &link, quint8 setting, quint8 value)
{
    request(link, Commands::writeSetting(setting, value));
    return link.readReplyByte();
}

void sleep(SerialLink &link)
{
    link.send(Commands::cancelByte());
    link.send(Commands::sleepCommand());
    link.pause(ProtocolTiming::SleepGapMs);
    link.send(Commands::cancelByte());
}

void reset(SerialLink &link)
{
    link.send(Commands::resetCommand());
}

void cancel(SerialLink &link)
{
    link.send(Commands::cancelByte());
}

std::optional<ConfigWord> configurationWord(const QByteArray &reply)
{
    QByteArray pair = reply;
    if (pair.size() == 4)
        pair = pair.mid(2);
    if (pair.size() != 2)
        return std::nullopt;
    return ConfigWord::fromBytes(quint8(pair.at(0)), quint8(pair.at(1)));
}

QString stripSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

QString mechanismIdentity(const QByteArray &identityReply)
{
    QString name = stripSpaces(QString::fromLatin1(identityReply.left(Commands::IdentityLength)));
    if (name.endsWith(u"PNX"_s)) {
        name.chop(3);
        name = stripSpaces(name);
    }
    return name;
}

bool hasControlCharacters(const QString &name)
{
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u < 0xA0);
    });
}

QList<std::pair<quint8, quint8>> identitySettings(const QString &name)
{
    // Counted in characters, not UTF-16 units: a character beyond the BMP is one "?".
    QList<std::pair<quint8, quint8>> settings;
    int position = 0;
    for (const uint c : QStringView(name).toUcs4()) {
        if (position == Commands::IdentityLength)
            break;
        const quint8 byte = c <= 0xFF ? quint8(c) : quint8('?');
        settings.append({quint8(Commands::SettingIdentityFirst + position), byte});
        ++position;
    }
    if (position < Commands::IdentityLength)
        settings.append({quint8(Commands::SettingIdentityFirst + position), quint8(0)});
    return settings;
}

} // namespace Exchanges
