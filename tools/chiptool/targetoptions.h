// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "production/programmingtarget.h"
#include "tools/chiptool/exitstatus.h"

class Console;
struct ToolOptions;

// The target of program, verify and line from --word, --db/--entry or --hardware, from
// --identity or --auto-identity, and from --polarity-mismatch. Reads the database when
// one is given. Notes on the console when the chip will hold the identity differently
// from how it was typed.
Result<ProgrammingTarget, ToolError> resolveTarget(const ToolOptions &options, Console &console);
