// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commands.h"


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

const QList<int> &SpeedList()
{
    static const QList<int> speeds{1200, 2400, 4800, 9600, 19200, 28800, 38400, 57600, 115200};
    return speeds;
}

int SpeedCode(int speed)
{
    switch (speed) {
    case 2400:
        return 1;
    case 4800:
        return 2;
    case 9600:
        return 3;
    case 19200:
        return 4;
    case 28800:
    case 38400:
        return 5;
    case 57600:
        return 6;
    case 115200:
        return 7;
    default:
        return 0;  // 1200, and any other
    }
}

int SpeedForCode(int code)
{
    static constexpr int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return speeds[code & 7];
}

} // namespace Commands
