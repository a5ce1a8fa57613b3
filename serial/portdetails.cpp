// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portdetails.h"

#include "serial/platform.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace SerialLocks {

QString lockFilePath(const QString &device)
{
    return Platform::lockFilePath(device);
}

QString directory()
{
    const QString path = lockFilePath(u"/dev/ttyS0"_s);
    return path.isEmpty() ? QString() : QFileInfo(path).path();
}

std::optional<qint64> holder(const QString &device)
{
    return Platform::lockHolder(device);
}

} // namespace SerialLocks

QString PortDetails::summary() const
{
    QStringList parts;
    if (!description.isEmpty())
        parts << description;
    if (!manufacturer.isEmpty())
        parts << manufacturer;
    if (!serialNumber.isEmpty())
        parts << u"serial "_s + serialNumber;
    if (vendorId && productId)
        parts << u"%1:%2"_s.arg(*vendorId, 4, 16, QLatin1Char('0')).arg(*productId, 4, 16, QLatin1Char('0'));
    if (heldBy)
        parts << u"held by process %1"_s.arg(*heldBy);
    return parts.join(u", "_s);
}

PortDetails PortDetails::of(const PortMap &ports, int port)
{
    PortDetails details;
    details.port = port;
    details.device = ports.device(port);
    if (details.device.isEmpty())
        return details;
    details.present = ports.exists(port);
    // A link (--port 1=/tmp/qv12) stands for the device it points at.
    const QString target = QFileInfo(details.device).canonicalFilePath();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.systemLocation() != target && info.systemLocation() != details.device)
            continue;
        details.description = info.description();
        details.manufacturer = info.manufacturer();
        details.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            details.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            details.productId = info.productIdentifier();
        break;
    }
    // Qt names the lock after the path it was given: the link's, or the device's own.
    details.heldBy = SerialLocks::holder(details.device);
    if (!details.heldBy && !target.isEmpty())
        details.heldBy = SerialLocks::holder(target);
    return details;
}
