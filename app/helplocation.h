// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Where the manual's index page is looked for, in this order:
//  1. startDirectory + "Help/index.html" (startDirectory ends in a separator), the place
//     the program has always looked;
//  2. "Help/index.html" next to the executable, as a build tree has it;
//  3. the installed copy, found relative to the executable so a moved installation
//     still finds it.
// A program started from the desktop menu runs in the home directory, where the first
// place never holds the manual; hence the other two.
QStringList helpIndexCandidates(const QString &startDirectory, const QString &executableDirectory);

// The first candidate that is an existing file; the first candidate when none is.
QString helpIndexPath(const QString &startDirectory, const QString &executableDirectory);
