// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The line settings of a serial device as its termios says: what the far end sees.
struct LineSettings
{
    int speed = 0;          // bit/s; custom speeds such as 28800 read correctly
    int dataBits = 8;
    char parity = 'N';      // 'N', 'E' or 'O'
    int stopBits = 1;
    bool xonXoff = false;   // IXON or IXOFF
    bool rtsCts = false;    // CRTSCTS

    bool operator==(const LineSettings &) const = default;
    // "9600,N,8,1" and the flow control, for test messages.
    QString toString() const;

    // Reads the settings of a tty, or of the slave behind a pseudo-terminal master
    // (Linux answers for the slave there). speed stays 0 when the call fails.
    static LineSettings read(int fd);
};
