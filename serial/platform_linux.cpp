// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Linux: the driver's output queue and transmitter, a timerfd for deadlines finer than a
// millisecond, sysfs for placeholder ports, whether a lock file's process runs, and the
// device lock: a lock file named after the device's number, flock()ed, and flock() on the
// device's descriptor.
#include "serial/platform.h"

#include "serial/portdetails.h"
#include "serial/portlock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Platform {

qint64 monotonicNs()
{
    // The clock of QElapsedTimer and of the simulator's transcripts.
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

qint64 queuedOutput(QSerialPort &port)
{
    int queued = 0;
    if (::ioctl(int(port.handle()), TIOCOUTQ, &queued) != 0)
        queued = 0;
    return queued + port.bytesToWrite();
}

bool transmitterBusy(QSerialPort &port)
{
    int lsr = 0;
    return ::ioctl(int(port.handle()), TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT);
}

void pullInput(QSerialPort &port)
{
    int pending = 0;
    if (::ioctl(int(port.handle()), FIONREAD, &pending) == 0 && pending > 0)
        port.waitForReadyRead(0);
}

void runUntil(QEventLoop &loop, qint64 deadlineNs)
{
    // A timerfd rather than a QTimer: a QTimer counts whole milliseconds, and rounding
    // each wait for the line up to the next one would add up over an action.
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    itimerspec expiry{};
    expiry.it_value.tv_sec = time_t(deadlineNs / 1'000'000'000);
    expiry.it_value.tv_nsec = long(deadlineNs % 1'000'000'000);
    if (fd < 0 || ::timerfd_settime(fd, TFD_TIMER_ABSTIME, &expiry, nullptr) != 0) {
        if (fd >= 0)
            ::close(fd);
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(int(std::max<qint64>(0, (deadlineNs - monotonicNs() + 999'999) / 1'000'000)));
        loop.exec();
        return;
    }
    {
        QSocketNotifier expired(fd, QSocketNotifier::Read);
        QObject::connect(&expired, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        loop.exec();
    }
    ::close(fd);
}

LinkFailure::Kind refusedOpen(const QString &device)
{
    // A lock or TIOCEXCL leaves access intact; a refused open does not.
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) == 0)
        return LinkFailure::Kind::Busy;
    return errno == ENOENT ? LinkFailure::Kind::NoDevice : LinkFailure::Kind::PermissionDenied;
}

bool isPlaceholderPort(const QString &portName)
{
    // The 8250 driver registers ttyS0..ttyS31 whether or not a UART is there; sysfs tells
    // the placeholders apart (type 0 = no UART) without opening the device.
    if (!portName.startsWith(u"ttyS"_s))
        return false;
    QFile type(u"/sys/class/tty/%1/type"_s.arg(portName));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    return type.readAll().trimmed() == "0";
}

std::optional<bool> processRuns(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace Platform

// ---- One user per device ----

namespace {

// The lock file of the device at path, named after its number so that every name of the
// device finds the same file; empty when there is no lock directory or no such device.
QString lockFileFor(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const QString directory = SerialLocks::directory();
    if (directory.isEmpty())
        return {};
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return u"%1/qv12-device-%2-%3.lock"_s.arg(directory).arg(major(info.st_rdev)).arg(minor(info.st_rdev));
    return u"%1/qv12-file-%2-%3.lock"_s.arg(directory).arg(quint64(info.st_dev)).arg(quint64(info.st_ino));
}

// The live process whose id a lock file holds.
std::optional<qint64> processIn(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return std::nullopt;
    bool ok = false;
    const qint64 pid = QByteArray(text, n).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0 || !Platform::processRuns(pid).value_or(true))
        return std::nullopt;
    return pid;
}

bool sameFile(int fd, const QByteArray &path)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

} // namespace

struct PortLock::Held
{
    int fd = -1;
    QString path;
};

PortLock::PortLock() = default;

PortLock::~PortLock()
{
    release();
}

QString PortLock::resolve(const QString &device)
{
    char resolved[PATH_MAX];
    if (::realpath(QFile::encodeName(device).constData(), resolved) == nullptr)
        return device;
    return QFile::decodeName(resolved);
}

bool PortLock::acquire(const QString &path)
{
    release();
    m_holder.reset();
    const QString lockPath = lockFileFor(path);
    if (lockPath.isEmpty())
        return true;
    const QByteArray name = QFile::encodeName(lockPath);
    // A holder removes its file while it still holds it; a file taken just before that
    // is no longer the one the name stands for, so the lock is taken again on the new one.
    for (int attempt = 0; attempt < 10; ++attempt) {
        bool writable = true;
        int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EACCES) {
            // Another user's file: locking needs no write access, only the id stays theirs.
            writable = false;
            fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0)
            return true;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            if (held)
                m_holder = processIn(fd);
            ::close(fd);
            return !held;
        }
        if (!sameFile(fd, name)) {
            ::close(fd);
            continue;
        }
        // Without the id the lock holds all the same; the other program is then told
        // that the port is held, without the number of the process.
        const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()).rightJustified(10) + '\n';
        if (writable && ::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
        }
        m_held = std::make_unique<Held>(Held{fd, lockPath});
        return true;
    }
    return true;
}

bool PortLock::lockOpened(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    // A device without flock (EINVAL and the like) has nothing to hold it with.
    return errno != EWOULDBLOCK;
}

void PortLock::release()
{
    if (!m_held)
        return;
    // Removed while still held, so that nobody takes a file that is about to go.
    ::unlink(QFile::encodeName(m_held->path).constData());
    ::close(m_held->fd);
    m_held.reset();
}

std::optional<qint64> PortLock::holderOf(const QString &device)
{
    const QString lockPath = lockFileFor(resolve(device));
    if (lockPath.isEmpty())
        return std::nullopt;
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const std::optional<qint64> pid = processIn(fd);
    ::close(fd);
    return pid;
}
