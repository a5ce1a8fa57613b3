// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/configurationread.h"

#include <QList>
#include <QString>

struct ProgrammingTarget;

// One comparison between what the chip should hold and what it reads back.
struct Check
{
    QString name;      // "configuration mode", "head width", "mechanism identity", ...
    QString expected;
    QString actual;
    bool ok = false;
};

// The checks of a read-back against the target: the configuration mode; in Software
// mode each of the eight fields of the word; the identity determination and the
// mechanism identity when the target names them.
QList<Check> verifyReading(const ProgrammingTarget &target, const ConfigurationReading &reading);

bool allPassed(const QList<Check> &checks);
// The names of the checks that failed, joined with ", ".
QString failedNames(const QList<Check> &checks);
