// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commands.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace Commands {

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    out.reserve(qsizetype(values.size()));
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

} // namespace

QByteArray Identify() { return bytes({ESC, 'I'}); }
QByteArray Probe() { return bytes({ESC, 'v'}); }
QByteArray ReadSetting(quint8 setting) { return bytes({GS, 'S', 'f', setting}); }
QByteArray WriteSetting(quint8 setting, quint8 value) { return bytes({GS, 'S', 'F', setting, value}); }
QByteArray ReadConfiguration() { return bytes({GS, 'S', 'C'}); }
QByteArray ReadDetectedPolarity() { return bytes({GS, 'S', 'h'}); }
QByteArray SleepCommand() { return bytes({ESC, 'S'}); }
QByteArray ResetCommand() { return bytes({ESC, '@'}); }
QByteArray CancelByte() { return bytes({CAN}); }
QByteArray WakeByte() { return bytes({0}); }
QByteArray GetOpto() { return bytes({ESC, GS, 'O'}); }
QByteArray GetAd() { return bytes({ESC, GS, AdQueryLetter}); }

const QStringList &SpeedList()
{
    static const QStringList speeds{u"1200"_s, u"2400"_s, u"4800"_s, u"9600"_s, u"19200"_s,
                                    u"28800"_s, u"38400"_s, u"57600"_s, u"115200"_s};
    return speeds;
}

int SpeedCode(const QString &speed)
{
    static const QHash<QString, int> codes{
        {u"1200"_s, 0}, {u"2400"_s, 1}, {u"4800"_s, 2}, {u"9600"_s, 3}, {u"19200"_s, 4},
        {u"38400"_s, 5}, {u"28800"_s, 5}, {u"57600"_s, 6}, {u"115200"_s, 7}};
    return codes.value(speed, 0);
}

int SpeedForCode(int code)
{
    static constexpr int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return speeds[code & 7];
}

} // namespace Commands
