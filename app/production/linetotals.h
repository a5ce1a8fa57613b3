// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The line's counts since Start, for the totals row: chips, passed, failed, the yield
// and the pace.
struct LineTotals
{
    int chips = 0;
    int passed = 0;
    int failed = 0;

    void add(bool pass)
    {
        ++chips;
        ++(pass ? passed : failed);
    }
    // Passed of all chips, in percent; 0 before the first chip.
    double yieldPercent() const { return chips == 0 ? 0.0 : 100.0 * passed / chips; }
    // Chips per hour over elapsedMs since Start; 0 before any time has passed.
    double chipsPerHour(qint64 elapsedMs) const
    {
        return elapsedMs <= 0 ? 0.0 : chips * 3600000.0 / double(elapsedMs);
    }
};
