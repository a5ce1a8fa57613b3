// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/chiprecord.h"
#include "protocol/configurationread.h"

#include <QList>
#include <QString>

struct ProgrammingTarget;

// One comparison between what the chip should hold and what it reads back, as the
// record keeps it.
using Check = RecordedCheck;

// "Software" or "Hardware"; "User" or "Automatic": as the checks and records say them.
QString configurationModeName(bool software);
QString identityMethodName(bool user);

// The checks of a read-back against the target: the configuration mode; in Software
// mode each of the eight fields of the word; the identity determination and the
// mechanism identity when the target names them.
QList<Check> verifyReading(const ProgrammingTarget &target, const ConfigurationReading &reading);

bool allPassed(const QList<Check> &checks);
// A check's name, and one of its values, in the user's language, for the screen; the
// check itself keeps the English the record holds.
QString checkNameText(const Check &check);
QString checkValueText(const Check &check, const QString &value);
// The names of the checks that failed, joined with ", ".
QString failedNames(const QList<Check> &checks);
