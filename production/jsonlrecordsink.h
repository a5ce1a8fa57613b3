// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/recordsink.h"

#include <QJsonObject>
#include <QString>

// The production line's audit trail as a file: one JSON object per record, a line each,
// appended.
//
// The file is opened again for every record under the path given, so records follow a
// rotation (the old file moved away) or a deletion into a new file at that path. Each
// record goes out in one write() to the file opened with O_APPEND, then fsync: stations
// that share the file never interleave, and a station that is killed leaves whole
// records only. A record always starts on a line of its own, also after the remains of
// one that could not be written whole, so a reader tells a damaged line (not a JSON
// object) from a record.
class JsonlRecordSink final : public RecordSink
{
public:
    // Room a record needs, with its file system's block rounding: a record is about a
    // kilobyte.
    static constexpr qint64 RoomBytes = 16 * 1024;

    explicit JsonlRecordSink(const QString &path);

    // The file opens for appending (made when it is not there) and its file system has
    // room for a record.
    Result<void, RecordError> check() override;
    // Appends the record as one line; an error when it is not whole and on the disk. A
    // file made again here or by the check before says so (RecordKept::madeAgain).
    Result<RecordKept, RecordError> write(const ChipRecord &record) override;
    QString describe() const override { return m_path; }

    // The record's line, under the keys the manual page lists.
    static QJsonObject lineOf(const ChipRecord &record);

private:
    struct Handle;
    Result<void, RecordError> open(Handle &handle);

    QString m_path;
    bool m_made = false;       // the file has been there for this run
    bool m_madeAgain = false;  // made again since the last record said so
};
