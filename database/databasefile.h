// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "database/mechanismlist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Configuration database files (.cdb): an 18-byte header (the magic "KLVPRINTERSCDB0",
// the entry count, CR LF) and one 34-byte record per entry (16-byte name padded with
// spaces, 16-byte word, CR LF). Text is stored as ISO 8859-1; a character it cannot
// hold becomes "?".

inline constexpr int MaxDatabaseEntries = 255;

// The file's bytes for these entries; empty (never a valid file) when there are more
// than MaxDatabaseEntries. Names are cut to 16 characters and padded with spaces; a
// word of another length than 16 is padded with "0" or cut, so records never shift.
QByteArray encodeDatabase(const QList<MechanismEntry> &entries);

// The name as a file gives it back: in ISO 8859-1, cut to 16 characters, trailing
// spaces removed. Use it to compare a typed name with names read from a file.
QString storedName(const QString &name);

enum class DatabaseReadStatus {
    Accepted,
    NotADatabase,  // the magic is not there (empty, short or other file)
    Truncated,     // the file ends before its last record
    CannotOpen,    // missing, unreadable
};

// The entries of a database file's bytes, or nothing with the reason. Bytes after the
// last record are ignored; words are kept as read.
std::optional<QList<MechanismEntry>> decodeDatabase(QByteArrayView bytes,
                                                    DatabaseReadStatus *status = nullptr);

struct DatabaseReadResult
{
    DatabaseReadStatus status = DatabaseReadStatus::CannotOpen;
    int count = 0;    // the header's entry count, when accepted
    QString reason;   // for the user, when not accepted (the system's text for CannotOpen)
    bool accepted() const { return status == DatabaseReadStatus::Accepted; }
};

// Reads the file at path into list. When the file is not accepted the list is unchanged.
DatabaseReadResult ReadDatabaseFile(const QString &path, MechanismList &list);

enum class DatabaseWriteStatus {
    Written,
    TooManyEntries,  // more than 255: refused, nothing created or changed
    ReadOnly,        // the file's permission bits keep its owner from writing: left alone
    CannotWrite,     // the file system refused (missing folder, no permission, disk full)
};

struct DatabaseWriteResult
{
    DatabaseWriteStatus status = DatabaseWriteStatus::Written;
    QString reason;   // for the user, when not written (the system's text for CannotWrite)
    bool ok() const { return status == DatabaseWriteStatus::Written; }
};

// Writes the entries to path. The new content replaces the old only once it is
// completely written, and a file in a folder that takes no new files is written in place
// with its old content put back on failure: a failed write leaves any previous file as it
// was. A read-only file is never written, not even by the superuser.
DatabaseWriteResult WriteDatabaseFile(const QString &path, const QList<MechanismEntry> &entries);
