// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class ChipSession;
class Console;
struct ToolOptions;

// The commands of qv12-chip, each returning its exit status.
namespace ChipCommands {

int ports(ChipSession &session);     // portscommand.cpp
int detect(ChipSession &session);    // detectcommands.cpp
int identify(ChipSession &session);  // detectcommands.cpp
int read(ChipSession &session);      // readcommands.cpp
int verify(ChipSession &session);    // readcommands.cpp
int program(ChipSession &session);   // programcommand.cpp
int power(ChipSession &session);     // powercommand.cpp: sleep, wake, reset
int line(ChipSession &session);      // linecommand.cpp
int report(ChipSession &session);    // reportcommand.cpp
// auditcommands.cpp: the record store's questions; no port is touched.
int audit(const ToolOptions &options, Console &console);

} // namespace ChipCommands
