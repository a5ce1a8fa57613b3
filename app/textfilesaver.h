// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Prompter;

// "Save as..." of a text the program made (the traffic record, the support report): the
// file dialog titled title, then the text as UTF-8, written so that a failure leaves any
// file of that name as it was and says why. True when the file was written.
bool saveTextFile(Prompter &prompter, const QString &title, const QString &text);
