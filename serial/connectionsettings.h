// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/handshake.h"

// Where the chip was found. Written only by the port selection dialog; every other
// chip action reads it to open the port before its exchange.
struct ConnectionSettings
{
    int port = 0;                           // 1..6 (COM1..COM6) once a chip has answered
    int speed = 0;                          // bit/s, 1200 .. 115200
    Handshake handshake = Handshake::None;  // XonXoff or DsrDtr once a chip has answered
    bool chipFound = false;
};
