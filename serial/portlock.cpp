// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portlock.h"

#include "serial/portdetails.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

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
    if (!ok || pid <= 0)
        return std::nullopt;
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return pid;
    return std::nullopt;
}

bool sameFile(int fd, const QByteArray &path)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

} // namespace

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
        m_fd = fd;
        m_lockPath = lockPath;
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
    if (m_fd < 0)
        return;
    // Removed while still held, so that nobody takes a file that is about to go.
    ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_fd);
    m_fd = -1;
    m_lockPath.clear();
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
