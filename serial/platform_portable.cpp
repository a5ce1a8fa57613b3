// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Any system Qt runs on, with Qt alone. What it can't know: how many bytes the driver
// still queues and whether the transmitter is busy (the line's own pace stands in for
// both), deadlines finer than a millisecond, placeholder ports, whether the program
// named in a lock file still runs, and the device's number: its lock goes by the device's
// own path, a QLockFile, and a program that locks the device itself is not kept out.
#include "serial/platform.h"

#include "serial/portdetails.h"
#include "serial/portlock.h"

#include <QCryptographicHash>
#include <QLockFile>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>

namespace Platform {

qint64 monotonicNs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}

qint64 queuedOutput(QSerialPort &port)
{
    return port.bytesToWrite();
}

bool transmitterBusy(QSerialPort &)
{
    return false;
}

void pullInput(QSerialPort &port)
{
    // Waiting no time at all: what the system has is read, nothing more is awaited.
    if (port.waitForReadyRead(0))
        return;
    port.clearError();  // the wait's time-out is no error of the port
}

void runUntil(QEventLoop &loop, qint64 deadlineNs)
{
    // Whole milliseconds, rounded up: a wait may come out up to one longer, never shorter.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::max<qint64>(0, (deadlineNs - monotonicNs() + 999'999) / 1'000'000)));
    loop.exec();
}

LinkFailure::Kind refusedOpen(const QString &device)
{
    const QFileInfo info(device);
    if (!info.exists())
        return LinkFailure::Kind::NoDevice;
    return info.isReadable() && info.isWritable() ? LinkFailure::Kind::Busy
                                                  : LinkFailure::Kind::PermissionDenied;
}

bool isPlaceholderPort(const QString &)
{
    return false;
}

std::optional<bool> processRuns(qint64)
{
    return std::nullopt;
}

} // namespace Platform

// ---- One user per device ----

namespace {

// The lock file of the device at path, named after its own path (links followed, the
// one name of it Qt alone knows); empty when there is no lock directory or no such device.
QString lockFileFor(const QString &path)
{
    const QString directory = SerialLocks::directory();
    if (directory.isEmpty() || !QFileInfo::exists(path))
        return {};
    const QByteArray name = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    return QStringLiteral("%1/qv12-path-%2.lock").arg(directory, QString::fromLatin1(name));
}

} // namespace

struct PortLock::Held
{
    explicit Held(const QString &path) : file(path) {}
    QLockFile file;
};

PortLock::PortLock() = default;

PortLock::~PortLock()
{
    release();
}

QString PortLock::resolve(const QString &device)
{
    const QString own = QFileInfo(device).canonicalFilePath();
    return own.isEmpty() ? device : own;
}

bool PortLock::acquire(const QString &path)
{
    release();
    m_holder.reset();
    const QString lockPath = lockFileFor(path);
    if (lockPath.isEmpty())
        return true;
    auto held = std::make_unique<Held>(lockPath);
    if (held->file.tryLock(0)) {
        m_held = std::move(held);
        return true;
    }
    // A lock directory that can't be written costs only the lock file.
    if (held->file.error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    if (held->file.getLockInfo(&pid, nullptr, nullptr) && pid > 0)
        m_holder = pid;
    return false;
}

bool PortLock::lockOpened(int)
{
    return true;
}

void PortLock::release()
{
    m_held.reset();  // the lock file goes with it
}

std::optional<qint64> PortLock::holderOf(const QString &device)
{
    const QString lockPath = lockFileFor(resolve(device));
    if (lockPath.isEmpty())
        return std::nullopt;
    qint64 pid = 0;
    if (!QLockFile(lockPath).getLockInfo(&pid, nullptr, nullptr) || pid <= 0)
        return std::nullopt;
    return pid;
}
