// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/linkfailure.h"

#include <QList>
#include <QString>

// What the user is told when a serial port lets an action down: which COM number and
// device, what happened, and what is likely to fix it. One message covers all the
// failures of one action.
namespace LinkFailureText {

// For a chip action: its exchange read as unanswered.
QString forAction(const QList<LinkFailure> &failures);
// For the automatic scan, which skipped the ports it could not open.
QString forScan(const QList<LinkFailure> &failures);

// One line for one failure: "COM2 (/dev/ttyUSB0): permission denied".
QString describe(const LinkFailure &failure);
// The likely fix for one kind of failure.
QString remedy(LinkFailure::Kind kind);

} // namespace LinkFailureText
