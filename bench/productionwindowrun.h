// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bench/stationrun.h"

#include <QString>

#include <vector>

// The production window's rows of qv12-bench: 1, 2, 4 and 6 simulated stations in one
// window (a chip taken away once its result shows, a fresh one half a second later),
// timed from the click on Start to the last station's last result, in StationRow's terms.

// How the window kept up with the most stations running.
struct ProductionWindowLoad
{
    int stations = 0;
    double cpuPercent = 0;       // of one core, over the run's wall time
    double worstLatenessMs = 0;  // of a 5 ms repeating timer on the window's thread
    double latenessP99Ms = 0;    // the 99th percentile of its ticks
    double worstOwnLatenessMs = 0;  // the same without the waits for a core
    double worstClickMs = 0;     // from a click being posted to its handling having ended
    int clicks = 0;
    // From the click on Stop to the last station having ended, each waiting for a chip
    // that stays in its socket.
    double stopMs = 0;
    // The machine's 1-minute load average when the run started and ended: a lateness
    // taken while other programs wanted the cores reads as such.
    double loadAtStart = 0;
    double loadAtEnd = 0;
};

struct ProductionWindowBench
{
    std::vector<StationRow> rows;
    double oneStationFloorMs = 0;  // the protocol's floor of the one station's run
    ProductionWindowLoad load;
};

// One station's floor is that of its chips' exchanges with the operator's pause between
// them (bench/protocolfloor.h).
//
// Each number of stations runs times; the last, once more with the probes. Empty rows,
// with the reason in *error, when a chip did not pass or a prompt came.
ProductionWindowBench productionWindowRows(int runs, QString *error);
