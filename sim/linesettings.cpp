// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/linesettings.h"

// termios2 gives the real speed also when it was set with BOTHER (28800 and friends),
// which the POSIX termios calls cannot express. It can't share a unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

using namespace Qt::StringLiterals;

LineSettings LineSettings::read(int fd)
{
    LineSettings line;
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return line;
    line.speed = int(tio.c_ospeed);
    switch (tio.c_cflag & CSIZE) {
    case CS5: line.dataBits = 5; break;
    case CS6: line.dataBits = 6; break;
    case CS7: line.dataBits = 7; break;
    default: line.dataBits = 8; break;
    }
    line.parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    line.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    line.xonXoff = (tio.c_iflag & (IXON | IXOFF)) != 0;
    line.rtsCts = (tio.c_cflag & CRTSCTS) != 0;
    return line;
}

QString LineSettings::toString() const
{
    QString text = u"%1,%2,%3,%4"_s.arg(speed).arg(QLatin1Char(parity)).arg(dataBits).arg(stopBits);
    if (xonXoff)
        text += u" xon/xoff"_s;
    if (rtsCts)
        text += u" rts/cts"_s;
    return text;
}
