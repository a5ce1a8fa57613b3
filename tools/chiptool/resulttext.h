// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/verification.h"
#include "protocol/programming.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct ProgramRun;

// The pieces of qv12-chip's results for people at a terminal. Text from the chip is
// taken byte for byte as ISO 8859-1, its control characters shown as \xNN.
namespace ResultText {

QString chipText(const QByteArray &bytes);
// One line per check: its name, what was expected, PASS or "FAIL: reads ...".
QString checks(const QList<Check> &checks);
// What programming wrote and how the chip echoed it; how far it got when it stopped.
QString writes(const ProgramRun &run);
// "Result: PASS" or "Result: FAIL", with its newline.
QString verdict(bool passed);

} // namespace ResultText
