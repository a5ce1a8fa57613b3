// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/databasefile.h"

#include "files/filewriter.h"
#include "files/regularfile.h"

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

std::optional<QList<MechanismEntry>> decode(QByteArrayView bytes, DatabaseReadStatus &status,
                                            QString &reason)
{
    if (!bytes.startsWith(Magic)) {
        status = DatabaseReadStatus::NotADatabase;
        reason = u"not a configuration database (it does not start with \"%1\")"_s
                     .arg(QLatin1StringView(Magic));
        return std::nullopt;
    }
    if (bytes.size() < HeaderSize) {
        status = DatabaseReadStatus::Truncated;
        reason = u"the file ends inside its header (%1 of %2 bytes)"_s.arg(bytes.size())
                     .arg(HeaderSize);
        return std::nullopt;
    }
    const int count = quint8(bytes.at(Magic.size()));
    const qsizetype needed = HeaderSize + RecordSize * count;
    if (bytes.size() < needed) {
        status = DatabaseReadStatus::Truncated;
        reason = u"the file ends before its last record (%1 entries need %2 bytes, the file "
                 "has %3)"_s.arg(count).arg(needed).arg(bytes.size());
        return std::nullopt;
    }

    QList<MechanismEntry> entries;
    entries.reserve(count);
    for (int k = 0; k < count; ++k) {
        const QByteArrayView record = bytes.sliced(HeaderSize + RecordSize * k, RecordSize);
        entries.append({withoutTrailingSpaces(QString::fromLatin1(record.first(FieldSize))),
                        QString::fromLatin1(record.sliced(FieldSize, FieldSize))});
    }
    status = DatabaseReadStatus::Accepted;
    reason.clear();
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
        bytes += field(entry.word, '0');
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<QList<MechanismEntry>> decodeDatabase(QByteArrayView bytes,
                                                    DatabaseReadStatus *status)
{
    DatabaseReadStatus ignored;
    QString reason;
    return decode(bytes, status ? *status : ignored, reason);
}

DatabaseReadResult ReadDatabaseFile(const QString &path, MechanismList &list)
{
    DatabaseReadResult result;
    // A FIFO or a device at the path would hold the open, or the read, for ever.
    const RegularFile::Opened opened = RegularFile::open(path, O_RDONLY);
    QFile file;
    if (opened.fd < 0 || !file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (opened.fd >= 0)
            ::close(opened.fd);
        result.status = DatabaseReadStatus::CannotOpen;
        result.reason = opened.fd < 0 ? opened.error : file.errorString();
        return result;
    }
    // Nothing past the largest possible database matters, however big the file is.
    const QByteArray bytes = file.read(LargestFileSize);
    if (file.error() != QFileDevice::NoError) {
        result.status = DatabaseReadStatus::CannotOpen;
        result.reason = file.errorString();
        return result;
    }
    file.close();

    const std::optional<QList<MechanismEntry>> entries = decode(bytes, result.status,
                                                                result.reason);
    if (!entries)
        return result;
    result.count = int(entries->size());
    list.assign(*entries);
    return result;
}

DatabaseWriteResult WriteDatabaseFile(const QString &path, const QList<MechanismEntry> &entries)
{
    DatabaseWriteResult result;
    if (entries.size() > MaxDatabaseEntries) {
        result.status = DatabaseWriteStatus::TooManyEntries;
        result.reason = u"a configuration database holds at most %1 entries, this list has %2"_s
                            .arg(MaxDatabaseEntries).arg(entries.size());
        return result;
    }
    const FileWriteResult written = replaceFileContents(path, encodeDatabase(entries));
    switch (written.status) {
    case FileWriteStatus::Written:
        break;
    case FileWriteStatus::ReadOnly:
        result.status = DatabaseWriteStatus::ReadOnly;
        result.reason = u"the file is read-only"_s;
        break;
    case FileWriteStatus::Failed:
        result.status = DatabaseWriteStatus::CannotWrite;
        result.reason = written.reason;
        break;
    }
    return result;
}
