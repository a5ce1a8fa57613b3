// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Console;
class SerialLink;

namespace TerminalQuestion {

// Whether there is a person to ask: standard input is a terminal.
bool canAsk();

// Asks question on stderr and reads the answer from standard input while events run,
// so that Ctrl-C still ends the program. True for "y" or "yes" (any case); no for
// anything else, an end of input, or the job cancelled meanwhile.
bool askYesNo(Console &console, SerialLink &link, const QString &question);

} // namespace TerminalQuestion
