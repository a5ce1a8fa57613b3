// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/programming.h"
#include "tools/chiptool/exitstatus.h"

#include <QString>

#include <optional>
#include <variant>

class Console;
struct ToolOptions;

// What program and line write into the chip, and what they and verify expect of it
// afterwards, from --word, --db/--entry or --hardware and from --identity or
// --auto-identity. A word must be one the chip holds as it is: every field a known code,
// position 1 "1" (Chipset mode, which programming always writes) and positions 13 to 16
// "0"; anything else would read back differently from what was asked.
struct ProgrammingTarget
{
    ProgrammingInput input;
    std::optional<QString> word;         // Software mode: the word the chip must hold
    QString entry;                       // the database entry it came from, if any
    std::optional<bool> userIdentity;    // the identity determination expected, if given
    std::optional<QString> identity;     // the mechanism identity the chip must report

    // The number of settings programming writes.
    int settingCount() const;
};

// Reads the database when one is given. Notes on the console when the chip will hold
// the identity differently from how it was typed.
std::variant<ProgrammingTarget, ToolError> resolveTarget(const ToolOptions &options, Console &console);

// Why word can't be programmed as it is, or nothing when it can.
std::optional<QString> wordProblem(const QString &word);
