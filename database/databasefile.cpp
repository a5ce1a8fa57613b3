// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/databasefile.h"

#include "core/logging.h"
#include "files/filewriter.h"
#include "files/regularfile.h"

#include <QCoreApplication>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QByteArrayView Magic = "KLVPRINTERSCDB0";
constexpr qsizetype HeaderSize = 18;
constexpr qsizetype FieldSize = 16;
constexpr qsizetype RecordSize = 34;
constexpr qsizetype LargestFileSize = HeaderSize + RecordSize * MaxDatabaseEntries;

// A text as one ISO 8859-1 byte per character, at most FieldSize of them, then padded
// with pad. A character Latin-1 cannot hold becomes '?' (one per character, not one per
// UTF-16 unit); composing first keeps "e" + combining accent as the one byte it can be.
QByteArray field(const QString &text, char pad)
{
    const QString composed = text.normalized(QString::NormalizationForm_C);
    QByteArray out;
    out.reserve(FieldSize);
    for (qsizetype i = 0; i < composed.size() && out.size() < FieldSize; ++i) {
        const QChar c = composed.at(i);
        if (c.isHighSurrogate() && i + 1 < composed.size() && composed.at(i + 1).isLowSurrogate())
            ++i;  // the pair is one character
        out += c.unicode() <= 0xFF ? char(c.unicode()) : '?';
    }
    if (out.size() < FieldSize)
        out.append(FieldSize - out.size(), pad);
    return out;
}

QString withoutTrailingSpaces(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    return text;
}

Result<QList<MechanismEntry>, DatabaseFileError> decode(QByteArrayView bytes)
{
    using Kind = DatabaseFileError::Kind;
    if (!bytes.startsWith(Magic)) {
        return Failure(DatabaseFileError{Kind::NotADatabase,
                                         QCoreApplication::translate("DatabaseFile", "not a configuration database (it does not start with \"%1\")")
                                             .arg(QLatin1StringView(Magic))});
    }
    if (bytes.size() < HeaderSize) {
        return Failure(DatabaseFileError{Kind::Truncated, QCoreApplication::translate("DatabaseFile", "the file ends inside its header (%1 of %2 bytes)")
                                                              .arg(bytes.size()).arg(HeaderSize)});
    }
    const int count = quint8(bytes.at(Magic.size()));
    const qsizetype needed = HeaderSize + RecordSize * count;
    if (bytes.size() < needed) {
        return Failure(DatabaseFileError{Kind::Truncated, QCoreApplication::translate("DatabaseFile", "the file ends before its last record (%1 entries need "
                                                                                          "%2 bytes, the file has %3)")
                                                              .arg(count).arg(needed).arg(bytes.size())});
    }

    QList<MechanismEntry> entries;
    entries.reserve(count);
    for (int k = 0; k < count; ++k) {
        const QByteArrayView record = bytes.sliced(HeaderSize + RecordSize * k, RecordSize);
        entries.append({withoutTrailingSpaces(QString::fromLatin1(record.first(FieldSize))),
                        EntryWord::fromText(QString::fromLatin1(record.sliced(FieldSize, FieldSize)))});
    }
    return entries;
}

} // namespace

QString storedName(const QString &name)
{
    return withoutTrailingSpaces(QString::fromLatin1(field(name, ' ')));
}

QByteArray encodeDatabase(const QList<MechanismEntry> &entries)
{
    if (entries.size() > MaxDatabaseEntries)
        return {};
    QByteArray bytes;
    bytes.reserve(HeaderSize + RecordSize * entries.size());
    bytes += Magic;
    bytes += char(quint8(entries.size()));
    bytes += "\r\n";
    for (const MechanismEntry &entry : entries) {
        bytes += field(entry.name, ' ');
        // A word of another length still takes exactly its 16 bytes, so no record shifts.
        bytes += field(entry.word.text(), '0');
        bytes += "\r\n";
    }
    return bytes;
}

Result<QList<MechanismEntry>, DatabaseFileError> decodeDatabase(QByteArrayView bytes)
{
    return decode(bytes);
}

Result<int, DatabaseFileError> readDatabaseFile(const QString &path, MechanismList &list)
{
    // A FIFO or a device at the path would hold the open, or the read, for ever.
    const Result<RegularFile::Opened, RegularFile::OpenError> opened = RegularFile::open(path, O_RDONLY);
    if (!opened)
        return Failure(DatabaseFileError{DatabaseFileError::Kind::CannotOpen, opened.error().reason});
    QFile file;
    if (!file.open(opened->fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened->fd);
        return Failure(DatabaseFileError{DatabaseFileError::Kind::CannotOpen, file.errorString()});
    }
    // Nothing past the largest possible database matters, however big the file is.
    const QByteArray bytes = file.read(LargestFileSize);
    if (file.error() != QFileDevice::NoError)
        return Failure(DatabaseFileError{DatabaseFileError::Kind::CannotOpen, file.errorString()});
    file.close();

    const Result<QList<MechanismEntry>, DatabaseFileError> entries = decode(bytes);
    if (!entries) {
        qCDebug(lcFiles).noquote() << u"%1 is no database: %2"_s.arg(path, entries.error().reason);
        return Failure(entries.error());
    }
    list.assign(*entries);
    qCDebug(lcFiles).noquote() << u"read %1 entries from %2"_s.arg(entries->size()).arg(path);
    return int(entries->size());
}

Result<void, DatabaseFileError> writeDatabaseFile(const QString &path, const QList<MechanismEntry> &entries)
{
    using Kind = DatabaseFileError::Kind;
    if (entries.size() > MaxDatabaseEntries) {
        return Failure(DatabaseFileError{Kind::TooManyEntries,
                                         QCoreApplication::translate("DatabaseFile", "a configuration database holds at most %1 entries, this list has %2")
                                             .arg(MaxDatabaseEntries).arg(entries.size())});
    }
    const Result<void, FileWriteError> written = replaceFileContents(path, encodeDatabase(entries));
    if (written)
        return {};
    if (written.error().kind == FileWriteError::Kind::ReadOnly)
        return Failure(DatabaseFileError{Kind::ReadOnly, QCoreApplication::translate("DatabaseFile", "the file is read-only")});
    return Failure(DatabaseFileError{Kind::CannotWrite, written.error().reason});
}
