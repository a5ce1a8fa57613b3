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

// The file's bytes for these entries. Precondition: at most MaxDatabaseEntries.
QByteArray encodeDatabase(const QList<MechanismEntry> &entries);

enum class DatabaseReadStatus {
    Accepted,
    NotADatabase,  // the magic is not there (empty, short or other file)
    Truncated,     // the file ends before its last record
    CannotOpen,    // missing, unreadable
};

// The entries of a database file's bytes, or nothing with the reason.
std::optional<QList<MechanismEntry>> decodeDatabase(QByteArrayView bytes,
                                                    DatabaseReadStatus *status = nullptr);

struct DatabaseReadResult
{
    DatabaseReadStatus status = DatabaseReadStatus::CannotOpen;
    int count = 0;    // the header's entry count, when accepted
    QString reason;   // for the user, when not accepted
    bool accepted() const { return status == DatabaseReadStatus::Accepted; }
};

// Reads the file at path into list. When the file is not accepted the list is unchanged.
DatabaseReadResult ReadDatabaseFile(const QString &path, MechanismList &list);

enum class DatabaseWriteStatus {
    Written,
    TooManyEntries,  // more than 255: refused, nothing created or changed
    CannotWrite,     // the file system refused (read-only, missing folder, disk full)
};

struct DatabaseWriteResult
{
    DatabaseWriteStatus status = DatabaseWriteStatus::Written;
    QString reason;   // for the user, when not written
    bool ok() const { return status == DatabaseWriteStatus::Written; }
};

// Writes the entries to path. The new content replaces the old only once it is
// completely written: a failed write leaves any previous file as it was.
DatabaseWriteResult WriteDatabaseFile(const QString &path, const QList<MechanismEntry> &entries);
