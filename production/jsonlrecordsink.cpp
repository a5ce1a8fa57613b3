// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/jsonlrecordsink.h"

#include "production/recordjson.h"

#include "files/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A new file's name is on the disk only once its folder is.
void syncFolderOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

RecordError unavailable(const QString &message)
{
    return RecordError{RecordError::Kind::Unavailable, message};
}

QJsonValue orNull(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue chipText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QJsonValue handshakeValue(Handshake handshake)
{
    return handshake == Handshake::None ? QJsonValue(QJsonValue::Null) : QJsonValue(handshakeName(handshake));
}

} // namespace

struct JsonlRecordSink::Handle
{
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

JsonlRecordSink::JsonlRecordSink(const QString &path)
    : m_path(path)
{
}

Result<void, RecordError> JsonlRecordSink::open(Handle &handle)
{
    // Read access too, to see whether the file ends in the middle of a line.
    Result<RegularFile::Opened, RegularFile::OpenError> opened = RegularFile::open(m_path, O_RDWR | O_APPEND | O_CREAT);
    if (!opened && opened.error().code == EACCES)
        opened = RegularFile::open(m_path, O_WRONLY | O_APPEND | O_CREAT);
    if (!opened)
        return Failure(unavailable(opened.error().reason));
    handle.fd = opened->fd;
    if (opened->created)
        syncFolderOf(m_path);
    if (opened->created && m_made)
        m_madeAgain = true;
    m_made = true;
    return {};
}

Result<void, RecordError> JsonlRecordSink::check()
{
    Handle handle;
    if (Result<void, RecordError> opened = open(handle); !opened)
        return opened;
    struct statvfs space {};
    if (::fstatvfs(handle.fd, &space) == 0 && qint64(space.f_bavail) * qint64(space.f_frsize) < RoomBytes) {
        return Failure(unavailable(u"%1 (%2 bytes free, a record needs room for %3)"_s
                                       .arg(systemError(ENOSPC))
                                       .arg(qint64(space.f_bavail) * qint64(space.f_frsize))
                                       .arg(RoomBytes)));
    }
    return {};
}

Result<RecordKept, RecordError> JsonlRecordSink::write(const ChipRecord &record)
{
    Handle handle;
    if (Result<void, RecordError> opened = open(handle); !opened)
        return Failure(opened.error());
    RecordKept kept;
    kept.madeAgain = std::exchange(m_madeAgain, false);

    QByteArray line = QJsonDocument(lineOf(record)).toJson(QJsonDocument::Compact) + '\n';
    // Whatever a failed write left at the end stays a line of its own.
    struct stat info {};
    char last = '\n';
    if (::fstat(handle.fd, &info) == 0 && info.st_size > 0 && ::pread(handle.fd, &last, 1, info.st_size - 1) == 1
        && last != '\n') {
        line.prepend('\n');
    }

    ssize_t written = -1;
    do {
        written = ::write(handle.fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        return Failure(unavailable(systemError(errno)));
    if (written != line.size()) {
        // A second write would no longer be atomic with the other stations' records.
        rlimit limit {};
        const bool tooLarge = ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
            && ::fstat(handle.fd, &info) == 0 && rlim_t(info.st_size) >= limit.rlim_cur;
        return Failure(unavailable(u"only %1 of %2 bytes could be written (%3)"_s.arg(written).arg(line.size())
                                       .arg(systemError(tooLarge ? EFBIG : ENOSPC))));
    }
    if (::fsync(handle.fd) != 0)
        return Failure(unavailable(systemError(errno)));
    return kept;
}

QJsonObject JsonlRecordSink::lineOf(const ChipRecord &r)
{
    const QJsonArray settings = RecordJson::settings(r.settings);
    const QJsonArray checks = RecordJson::checks(r.checks);
    const std::optional<QString> word = r.word ? std::optional<QString>(r.word->text()) : std::nullopt;
    QJsonObject line{
        {u"port"_s, r.station},
        {u"device"_s, r.device},
        {u"speed"_s, r.speed},
        {u"handshake"_s, handshakeValue(r.handshake)},
        {u"entry"_s, r.entry.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(r.entry)},
        {u"word"_s, orNull(word)},
        {u"identity_written"_s, orNull(r.identityWritten)},
        {u"detected_polarity"_s, r.detectedPolarity ? QJsonValue(*r.detectedPolarity) : QJsonValue(QJsonValue::Null)},
        {u"settings"_s, settings},
        {u"settings_total"_s, r.settingsTotal},
        {u"identity_after"_s, r.identityAfter ? chipText(*r.identityAfter) : QJsonValue(QJsonValue::Null)},
        {u"checks"_s, checks},
        {u"result"_s, r.passed ? u"PASS"_s : u"FAIL"_s},
        {u"time"_s, r.started.toUTC().toString(Qt::ISODateWithMs)},
        {u"host"_s, r.host},
        {u"pid"_s, r.pid},
        {u"chip"_s, r.chipNumber},
        {u"identity_before"_s, chipText(r.identityBefore)},
        {u"duration_ms"_s, r.durationMs}};
    if (!r.failure.isEmpty())
        line.insert(u"error"_s, r.failure);
    return line;
}
