// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "serial/connectionsettings.h"
#include "tools/chiptool/exitstatus.h"

#include <QByteArray>


class ChipSession;

// Where the chip is. With --com and --speed, that line, with the handshake the chip
// reports in its serial setting (or --handshake, and then nothing is sent). Otherwise
// as "Autodetect Chipset" finds it: the wake-up, the scan of the ports and speeds, the
// identification; detect may narrow the scan to --com or --speed.
struct LocatedChip
{
    ConnectionSettings chip;
    QByteArray identity;   // what it answered when found; empty with --handshake
    bool scanned = false;  // found by the scan
};

Result<LocatedChip, ToolError> locateChip(ChipSession &session);
