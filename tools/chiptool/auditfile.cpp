// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/auditfile.h"

#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

AuditFile::~AuditFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool AuditFile::open(const QString &path, QString *error)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        *error = systemError(errno);
        return false;
    }
    m_path = path;
    return true;
}

bool AuditFile::append(const QJsonObject &object, QString *error)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    ssize_t written = -1;
    do {
        written = ::write(m_fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        *error = systemError(errno);
        return false;
    }
    if (written != line.size()) {
        // A second write would no longer be atomic with the other stations' lines.
        *error = u"only %1 of %2 bytes could be written (%3)"_s.arg(written).arg(line.size()).arg(systemError(ENOSPC));
        return false;
    }
    if (::fsync(m_fd) != 0) {
        *error = systemError(errno);
        return false;
    }
    return true;
}
