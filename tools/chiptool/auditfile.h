// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>

// The production line's audit trail: one JSON object per line, appended. Each line goes
// out in one write() to a file opened with O_APPEND, then fsync: stations that share the
// file never interleave, and a station that is killed leaves whole lines only.
class AuditFile final
{
public:
    AuditFile() = default;
    AuditFile(const AuditFile &) = delete;
    AuditFile &operator=(const AuditFile &) = delete;
    ~AuditFile();

    // Opens path for appending, creating it when it is not there; false with the
    // system's reason.
    bool open(const QString &path, QString *error);
    // Appends object as one line; false with the reason when it could not be written
    // whole and on disk.
    bool append(const QJsonObject &object, QString *error);

    QString path() const { return m_path; }

private:
    int m_fd = -1;
    QString m_path;
};
