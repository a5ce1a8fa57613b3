// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Why the serial link could not do what it was asked. The link records failures; the
// windows and qv12-chip word them for the user (COM number, device, likely fix).
struct LinkFailure
{
    enum class Kind {
        NoDevice,          // no device behind the COM number, or it vanished before opening
        PermissionDenied,  // on Linux: the user is not in the dialout group
        Busy,              // another program holds the port
        Unplugged,         // the device went away during an exchange
        Other,
    };

    Kind kind = Kind::Other;
    int port = 0;         // COM number
    QString device;       // device path behind it
    QString systemText;   // the system's own words, for the details
    std::optional<qint64> holder;  // Busy: the process that holds the port, when known

    // Where and what, without the fix: "COM2 (/dev/ttyUSB0): permission denied". The
    // window and qv12-chip each add the fix in their own words.
    QString describe() const;
};
