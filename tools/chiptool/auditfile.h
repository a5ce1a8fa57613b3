// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>

// The production line's audit trail, its only proof of what was done: one JSON object
// per line, appended.
//
// The file is opened again for every record under the path given, so records follow a
// rotation (the old file moved away) or a deletion into a new file at that path. Each
// record goes out in one write() to the file opened with O_APPEND, then fsync: stations
// that share the file never interleave, and a station that is killed leaves whole
// records only. A record always starts on a line of its own, also after the remains of
// one that could not be written whole, so a reader tells a damaged line (not a JSON
// object) from a record.
class AuditFile final
{
public:
    // Room a record needs, with its file system's block rounding: a record is about a
    // kilobyte.
    static constexpr qint64 RoomBytes = 16 * 1024;

    struct Outcome
    {
        QString error;           // empty: done
        bool madeAgain = false;  // the file was gone and has been started again
        bool ok() const { return error.isEmpty(); }
    };

    explicit AuditFile(const QString &path);

    // Whether a record can be kept now: the file opens for appending (made when it is not
    // there) and its file system has room for one.
    Outcome check();
    // Appends object as one line; an error when it is not whole and on the disk.
    Outcome append(const QJsonObject &object);

    QString path() const { return m_path; }

private:
    struct Handle;
    Outcome open(Handle &handle);

    QString m_path;
    bool m_made = false;  // the file has been there for this run
};
