// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the chip was found. Written only by the port selection dialog; every other
// chip action reads it to open the port before its exchange.
struct ConnectionSettings
{
    qint16 PortNumber = 0;  // 1..6 (COM1..COM6) once a chip has answered
    QString Speed;          // "1200" .. "115200"
    qint16 Handshake = 0;   // 1 = "Xon-Xoff", 2 = "DSR/DTR Mode" (RTS/CTS on the wire)
    bool ChipFound = false;
};
