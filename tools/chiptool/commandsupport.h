// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/chiptool/chiplocator.h"
#include "tools/chiptool/exitstatus.h"

#include <QJsonObject>

#include <optional>

class ChipSession;

// What every command does at its end and before its chip job.
namespace CommandSupport {

// Ends a command: its error line on stderr, its JSON object (with "command", "status"
// and "error") on stdout with --json, and its exit status. A log that could not be
// written to the end turns a success into status 5.
int finish(ChipSession &session, const QJsonObject &fields, std::optional<ToolError> error);

// Finds the chip for a command that needs it, and says where on stderr when a scan
// found it (not with -q).
Result<LocatedChip, ToolError> locate(ChipSession &session);

} // namespace CommandSupport
