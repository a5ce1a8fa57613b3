// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/regularfile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace RegularFile {

namespace {

QString kindProblem(mode_t mode)
{
    QString kind;
    if (S_ISFIFO(mode))
        kind = QCoreApplication::translate("RegularFile", "a FIFO");
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        kind = QCoreApplication::translate("RegularFile", "a device");
    else if (S_ISDIR(mode))
        kind = QCoreApplication::translate("RegularFile", "a folder");
    else if (S_ISSOCK(mode))
        kind = QCoreApplication::translate("RegularFile", "a socket");
    else
        kind = QCoreApplication::translate("RegularFile", "not a file");
    return QCoreApplication::translate("RegularFile", "it is %1, not a regular file").arg(kind);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

std::optional<QString> problem(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return std::nullopt;
    return kindProblem(info.st_mode);
}

Result<Opened, OpenError> open(const QString &path, int flags)
{
    Opened opened;
    if (const auto refused = problem(path))
        return Failure(OpenError{*refused});
    const QByteArray name = QFile::encodeName(path);
    // Without waiting, in case something else took the name meanwhile; and telling
    // whether the file was made now, for a caller that says so.
    const int base = (flags & ~O_CREAT) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(name.constData(), base);
    if (fd < 0 && errno == ENOENT && (flags & O_CREAT)) {
        fd = ::open(name.constData(), base | O_CREAT | O_EXCL, 0644);
        opened.created = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = ::open(name.constData(), base);
    }
    if (fd < 0) {
        const int code = errno;
        if (const auto refused = problem(path))
            return Failure(OpenError{*refused});
        return Failure(OpenError{systemError(code), code});
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Failure(OpenError{kindProblem(info.st_mode)});
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    opened.fd = fd;
    return opened;
}

} // namespace RegularFile
