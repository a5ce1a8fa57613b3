// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/linkfailure.h"
#include "serial/portmap.h"

#include <QList>
#include <QString>

// The one line for a port that let a chip job down (qv12-chip's error line, and a
// production record's failure): where and what (as the
// window says it) and, after a semicolon, the likely fix in a terminal user's words.
namespace FailureWords {

// "COM2 (/dev/ttyUSB0): permission denied; add your user to the dialout group ..."
QString line(const LinkFailure &failure);

// The failure that says most: the first of the most telling kind (a port that was lost
// before one that then could not be opened again).
LinkFailure principal(const QList<LinkFailure> &failures);

// "COM1 (/dev/ttyUSB0)", or "COM1 (no device)".
QString portName(const PortMap &ports, int port);
// "COM1 (/dev/ttyUSB0) at 9600 bauds".
QString where(const PortMap &ports, int port, int speed);

} // namespace FailureWords
