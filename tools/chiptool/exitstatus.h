// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The exit statuses of qv12-chip, as its manual page lists them. Scripts on a
// production line branch on these numbers: they never change meaning.
enum class ExitStatus : int {
    Success = 0,
    NoChip = 1,          // no chip found, or it did not answer
    UsageError = 2,
    Mismatch = 3,        // programming or verification found a difference
    PortError = 4,       // the port cannot be opened, is held by another program, or was lost
    FileError = 5,       // the database cannot be read, or the audit or log file written
    Interrupted = 130,   // Ctrl-C or SIGTERM ended a command other than line
};

// A failure that ends a command: its exit status and the one line that says what went
// wrong, naming the port and device or the file, and the likely fix.
struct ToolError
{
    ExitStatus status = ExitStatus::Success;
    QString line;
};
