// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Why a chip did not pass, in one line that names the port and the likely fix: what a
// production record keeps and a front end shows.
struct ChipFailure
{
    // The kinds are numbered as qv12-chip's exit statuses for a chip that ends so, which
    // a record keeps as the chip's status: scripts branch on those numbers.
    enum class Kind : int {
        NoAnswer = 1,       // the chip did not answer
        Mismatch = 3,       // a wrong echo, a read-back that differs, a refused polarity
        PortLost = 4,       // the port could not be opened or its device went away
        RecordNotKept = 5,  // the record could not be written
        Interrupted = 130,  // stopped (the operator, or the program ending)
    };
    Kind kind = Kind::Mismatch;
    QString line;

    int status() const { return int(kind); }
};
