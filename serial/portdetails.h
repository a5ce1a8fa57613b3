// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/portmap.h"

#include <QString>

#include <optional>

// What the system knows of the device behind a COM number, so that someone with three
// adapters can tell which is which: the USB description, maker, serial number and
// vendor:product ids (where the system has them), and whether another program holds the
// port. Finding all this opens nothing.
struct PortDetails
{
    int port = 0;
    QString device;             // empty: no device on this COM number
    bool present = false;       // the device is there now
    QString description;        // e.g. "FT232R USB UART"
    QString manufacturer;       // e.g. "FTDI"
    QString serialNumber;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    std::optional<qint64> heldBy;  // the process whose serial-port lock file names it

    // What is known beyond the device, in one line: "FT232R USB UART, FTDI, serial
    // A50285BI, 0403:6001, held by process 1234"; empty when nothing is.
    QString summary() const;

    // The details of COM port now.
    static PortDetails of(const PortMap &ports, int port);
};

namespace SerialLocks {

// Where Qt puts the lock file of a serial device when it opens one (the first readable
// directory of its list that holds the file or may be written), e.g. "/var/lock".
QString directory();
// The lock file's path for device (which need not exist).
QString lockFilePath(const QString &device);
// The process that holds device's lock file, when it is alive and not this one.
std::optional<qint64> holder(const QString &device);

} // namespace SerialLocks
