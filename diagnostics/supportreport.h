// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/connectionsettings.h"

#include <QString>

class PortMap;
class TrafficRecord;

// The text someone sends to support when a chip does not answer: the program's and Qt's
// versions, the system, the COM numbers with what is known of each device, where the
// serial lock files go, the connection and identity, and the traffic record. Nothing
// else of the user's: no database contents, no user or host name.
struct SupportReportInput
{
    QString program;                // the program's name and version, "qv12-chip 2.4"
    const PortMap &ports;
    ConnectionSettings connection;
    QString identity;               // as the chip last gave it; empty when none
    const TrafficRecord &traffic;
};

namespace SupportReport {

QString compose(const SupportReportInput &input);

} // namespace SupportReport
