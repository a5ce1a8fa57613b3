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

QByteArray identify() { return bytes({ESC, 'I'}); }
QByteArray probe() { return bytes({ESC, 'v'}); }
QByteArray readSetting(quint8 setting) { return bytes({GS, 'S', 'f', setting}); }
QByteArray writeSetting(quint8 setting, quint8 value) { return bytes({GS, 'S', 'F', setting, value}); }
QByteArray readConfiguration() { return bytes({GS, 'S', 'C'}); }
QByteArray readDetectedPolarity() { return bytes({GS, 'S', 'h'}); }
QByteArray sleepCommand() { return bytes({ESC, 'S'}); }
QByteArray resetCommand() { return bytes({ESC, '@'}); }
QByteArray cancelByte() { return bytes({CAN}); }
QByteArray wakeByte() { return bytes({0}); }
QByteArray getOpto() { return bytes({ESC, GS, 'O'}); }
QByteArray getAd() { return bytes({ESC, GS, AdQueryLetter}); }

const QList<int> &speedList()
{
    static const QList<int> speeds{1200, 2400, 4800, 9600, 19200, 28800, 38400, 57600, 115200};
    return speeds;
}

int speedCode(int speed)
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

int speedForCode(int code)
{
    static constexpr int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return speeds[code & 7];
}

} // namespace Commands
