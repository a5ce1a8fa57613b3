// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "database/mechanismlist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

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

// Why a database file was not read or written, with the reason in words for the user.
struct DatabaseFileError
{
    enum class Kind {
        NotADatabase,    // the magic is not there (empty, short or other file)
        Truncated,       // the file ends before its last record
        CannotOpen,      // missing, unreadable (the system's text)
        TooManyEntries,  // more than 255: refused, nothing created or changed
        ReadOnly,        // the file's permission bits keep its owner from writing: left alone
        CannotWrite,     // the file system refused (missing folder, no permission, disk full)
    };
    Kind kind = Kind::CannotOpen;
    QString reason;
};

// The entries of a database file's bytes. Bytes after the last record are ignored; words
// are kept as read.
Result<QList<MechanismEntry>, DatabaseFileError> decodeDatabase(QByteArrayView bytes);

// Reads the file at path into list: the header's entry count. When the file is not
// accepted the list is unchanged.
Result<int, DatabaseFileError> readDatabaseFile(const QString &path, MechanismList &list);

// Writes the entries to path. The new content replaces the old only once it is
// completely written, and a file in a folder that takes no new files is written in place
// with its old content put back on failure: a failed write leaves any previous file as it
// was. A read-only file is never written, not even by the superuser.
Result<void, DatabaseFileError> writeDatabaseFile(const QString &path, const QList<MechanismEntry> &entries);
