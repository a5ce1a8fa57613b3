// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <vector>

// The production stations' rows of qv12-bench: stations of the core in this process, each
// on its own worker with a simulated station (a chip taken away once its verdict is
// given, a fresh one put in half a second later), timed from the start to the last
// verdict.
struct StationRow
{
    int stations = 0;
    int chips = 0;           // all stations together
    double measuredMs = 0;   // the median of the runs
    double chipsPerMinute() const { return chips * 60000.0 / measuredMs; }
};

// One station, then two at once, each runs times. An empty list, with the reason in
// *error, when a chip did not pass.
std::vector<StationRow> stationRows(int runs, QString *error);
