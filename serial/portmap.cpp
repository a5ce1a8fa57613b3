// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portmap.h"

#include "serial/platform.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// "ttyS10" after "ttyS2": digits compare as numbers, so the order matches the hardware.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            const qulonglong na = a.mid(i, ei - i).toULongLong();
            const qulonglong nb = b.mid(j, ej - j).toULongLong();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QStringList PortMap::systemPorts()
{
    QStringList devices;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        if (!Platform::isPlaceholderPort(info.portName()))
            devices.append(info.systemLocation());
    }
    std::sort(devices.begin(), devices.end(), naturalLess);
    return devices;
}

void PortMap::assign(int port, const QString &device)
{
    if (port < FirstPort || port > LastPort)
        return;
    if (device.isEmpty()) {
        m_pinned[port] = false;
        m_devices[port].clear();
        return;
    }
    // One number per device: a system port that got a default number moves here.
    for (int n = FirstPort; n <= LastPort; ++n) {
        if (n != port && !m_pinned[n] && m_devices[n] == device)
            m_devices[n].clear();
    }
    m_devices[port] = device;
    m_pinned[port] = true;
}

void PortMap::refresh()
{
    refreshFrom(systemPorts());
}

void PortMap::refreshFrom(const QStringList &systemDevices)
{
    QStringList listed = systemDevices;
    std::sort(listed.begin(), listed.end(), naturalLess);

    // Vanished devices leave their numbers empty, remembered in case they come back.
    for (int n = FirstPort; n <= LastPort; ++n) {
        if (m_pinned[n] || m_devices[n].isEmpty())
            continue;
        if (!listed.contains(m_devices[n])) {
            m_lastNumber.insert(m_devices[n], n);
            m_devices[n].clear();
        }
    }

    for (const QString &device : std::as_const(listed)) {
        if (std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end())
            continue;  // already numbered (or pinned)
        int number = 0;
        const int last = m_lastNumber.value(device, 0);
        if (last != 0 && !m_pinned[last] && m_devices[last].isEmpty()) {
            number = last;
        } else {
            for (int n = FirstPort; n <= LastPort; ++n) {
                if (!m_pinned[n] && m_devices[n].isEmpty()) {
                    number = n;
                    break;
                }
            }
        }
        if (number == 0)
            continue;  // more ports than numbers: the rest get none this run
        m_devices[number] = device;
    }
}

QString PortMap::device(int port) const
{
    if (port < FirstPort || port > LastPort)
        return {};
    return m_devices[port];
}

bool PortMap::isPinned(int port) const
{
    return port >= FirstPort && port <= LastPort && m_pinned[port];
}

bool PortMap::exists(int port) const
{
    const QString dev = device(port);
    if (dev.isEmpty())
        return false;
    if (m_pinned[port])
        return QFileInfo::exists(dev);  // follows a link: a dangling one counts as gone
    return systemPorts().contains(dev);
}

Result<PortAssignment, QString> parsePortAssignment(const QString &value)
{
    const qsizetype eq = value.indexOf(u'=');
    if (eq < 0)
        return Failure(u"\"%1\" is not of the form N=DEVICE, for example 2=/dev/ttyUSB0"_s.arg(value));

    QString number = value.left(eq).trimmed();
    if (number.startsWith(u"COM"_s, Qt::CaseInsensitive))
        number = number.mid(3);
    bool ok = false;
    const int port = number.toInt(&ok);
    if (!ok || port < PortMap::FirstPort || port > PortMap::LastPort) {
        return Failure(u"the port number in \"%1\" must be %2 to %3"_s
                           .arg(value).arg(PortMap::FirstPort).arg(PortMap::LastPort));
    }

    QString device = value.mid(eq + 1).trimmed();
    if (device.isEmpty())
        return Failure(u"no device given for COM%1 in \"%2\""_s.arg(port).arg(value));
    if (!device.contains(u'/'))
        device.prepend(u"/dev/"_s);  // "ttyUSB0" is short for /dev/ttyUSB0
    return PortAssignment{port, device};
}
