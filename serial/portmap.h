// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>

// Maps the program's port numbers COM1..COM6 to device names. Nothing else in the
// program knows a device path.
//
// By default the numbers go to the system's serial ports (placeholder ttyS ports with
// no hardware behind them left out), in a stable order by system location, as each
// device is first seen. A device keeps its number for the whole run; one that vanishes
// leaves its number empty; a new one takes the lowest free number. assign() pins a
// device to a number (the --port option, the built-in simulator); pinned numbers are
// never reused for system ports.
class PortMap final
{
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 6;

    // Pins device to COM port (1..6). An empty device clears the pin.
    void assign(int port, const QString &device);
    // Takes in the system's current serial ports (QSerialPortInfo); opens nothing.
    void refresh();
    // The same numbering rules applied to a given list of system devices.
    void refreshFrom(const QStringList &systemDevices);

    // The device behind COM port, or an empty string.
    QString device(int port) const;
    // True when a device is mapped to port and is present right now. Opens nothing.
    bool exists(int port) const;
    // True when port was pinned with assign().
    bool isPinned(int port) const;

    // The system's serial ports now, placeholders left out, in stable order.
    static QStringList systemPorts();

private:
    std::array<QString, LastPort + 1> m_devices;  // index 0 unused
    std::array<bool, LastPort + 1> m_pinned{};
    QHash<QString, int> m_lastNumber;  // vanished devices get their number back if free
};

// Parses the value of a "--port N=DEVICE" option: the port and device, or why the value
// is not one.
struct PortAssignment
{
    int port = 0;
    QString device;
};
Result<PortAssignment, QString> parsePortAssignment(const QString &value);
