// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <vector>

// qv12-chip's rows of qv12-bench: the tool run as its own process, as a user runs it,
// against simulated chips, timed from its start to its end against the protocol floor
// of its exchanges (bench/protocolfloor.h).
struct ChipToolRow
{
    QString action;
    double measuredMs = 0;  // the median of the runs
    double floorMs = 0;
};

// Runs each row's command runs times. An empty list, with the reason in *error, when a
// run did not go as it should (an exit status other than 0).
std::vector<ChipToolRow> chipToolRows(int runs, QString *error);
