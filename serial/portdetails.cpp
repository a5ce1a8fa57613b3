// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portdetails.h"

#include "serial/portlock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

// The directories QSerialPort looks at for its lock files, in its order.
const QStringList &lockDirectories()
{
    static const QStringList directories{
        u"/var/lock"_s, u"/etc/locks"_s, u"/var/spool/locks"_s, u"/var/spool/uucp"_s,
        u"/tmp"_s, u"/var/tmp"_s, u"/var/lock/lockdev"_s, u"/run/lock"_s,
        QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    return directories;
}

// The name Qt gives the port: the device without "/dev/", slashes as "_".
QString lockName(const QString &device)
{
    QString name = device.startsWith(u"/dev/"_s) ? device.mid(5) : device;
    name.replace(u'/', u'_');
    return u"LCK.."_s + name;
}

} // namespace

namespace SerialLocks {

QString lockFilePath(const QString &device)
{
    const QString name = lockName(device);
    for (const QString &directory : lockDirectories()) {
        const QFileInfo info(directory);
        const QString path = directory + u'/' + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

QString directory()
{
    const QString path = lockFilePath(u"/dev/ttyS0"_s);
    return path.isEmpty() ? QString() : QFileInfo(path).path();
}

std::optional<qint64> holder(const QString &device)
{
    QFile lock(lockFilePath(device));
    if (!lock.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 pid = lock.readLine(32).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0 || pid == QCoreApplication::applicationPid())
        return std::nullopt;
    // Alive, also when it belongs to another user.
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return pid;
    return std::nullopt;
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
    // This program's own lock, taken under the device's number whatever its name.
    if (const auto pid = PortLock::holderOf(details.device); !details.heldBy && pid
        && *pid != QCoreApplication::applicationPid()) {
        details.heldBy = pid;
    }
    return details;
}
