// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/auditfile.h"

#include "files/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A new file's name is on the disk only once its folder is.
void syncFolderOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

struct AuditFile::Handle
{
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

AuditFile::AuditFile(const QString &path)
    : m_path(path)
{
}

AuditFile::Outcome AuditFile::open(Handle &handle)
{
    Outcome outcome;
    // Read access too, to see whether the file ends in the middle of a line.
    RegularFile::Opened opened = RegularFile::open(m_path, O_RDWR | O_APPEND | O_CREAT);
    if (opened.fd < 0 && opened.code == EACCES)
        opened = RegularFile::open(m_path, O_WRONLY | O_APPEND | O_CREAT);
    if (opened.fd < 0) {
        outcome.error = opened.error;
        return outcome;
    }
    handle.fd = opened.fd;
    if (opened.created)
        syncFolderOf(m_path);
    outcome.madeAgain = opened.created && m_made;
    m_made = true;
    return outcome;
}

AuditFile::Outcome AuditFile::check()
{
    Handle handle;
    Outcome outcome = open(handle);
    if (!outcome.ok())
        return outcome;
    struct statvfs space {};
    if (::fstatvfs(handle.fd, &space) == 0 && qint64(space.f_bavail) * qint64(space.f_frsize) < RoomBytes) {
        outcome.error = u"%1 (%2 bytes free, a record needs room for %3)"_s
                            .arg(systemError(ENOSPC))
                            .arg(qint64(space.f_bavail) * qint64(space.f_frsize))
                            .arg(RoomBytes);
    }
    return outcome;
}

AuditFile::Outcome AuditFile::append(const QJsonObject &object)
{
    Handle handle;
    Outcome outcome = open(handle);
    if (!outcome.ok())
        return outcome;

    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    // Whatever a failed write left at the end stays a line of its own.
    struct stat info {};
    char last = '\n';
    if (::fstat(handle.fd, &info) == 0 && info.st_size > 0 && ::pread(handle.fd, &last, 1, info.st_size - 1) == 1
        && last != '\n') {
        line.prepend('\n');
    }

    ssize_t written = -1;
    do {
        written = ::write(handle.fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        outcome.error = systemError(errno);
        return outcome;
    }
    if (written != line.size()) {
        // A second write would no longer be atomic with the other stations' records.
        rlimit limit {};
        const bool tooLarge = ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
            && ::fstat(handle.fd, &info) == 0 && rlim_t(info.st_size) >= limit.rlim_cur;
        outcome.error = u"only %1 of %2 bytes could be written (%3)"_s.arg(written).arg(line.size())
                            .arg(systemError(tooLarge ? EFBIG : ENOSPC));
        return outcome;
    }
    if (::fsync(handle.fd) != 0)
        outcome.error = systemError(errno);
    return outcome;
}
