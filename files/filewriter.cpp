// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/filewriter.h"

#include "core/logging.h"
#include "files/regularfile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

using WriteResult = Result<void, FileWriteError>;

WriteResult failed(const QString &reason)
{
    return Failure(FileWriteError{FileWriteError::Kind::Failed, reason});
}

// Writes all of bytes from the file's position; done counts the bytes the system took.
// A short write (disk full, file size limit) is followed by one more that reports why.
bool writeAll(QFileDevice &file, QByteArrayView bytes, qint64 &done)
{
    done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

WriteResult throughTemporaryFile(const QString &path, QByteArrayView bytes)
{
    // Unbuffered, and written in a loop: a buffered QSaveFile lets a short write at
    // commit time (disk full) pass unnoticed and renames a cut file over the old one.
    QSaveFile file(path);
    qint64 done = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && writeAll(file, bytes, done)
        && file.commit()) {
        return {};
    }
    const QString reason = file.errorString();
    file.cancelWriting();
    return failed(reason);
}

// The system's words when the written bytes can't be handed to the disk: a late failure
// (a full disk behind a network file system) must show while the old content can still
// be put back.
QString syncFailure(QFile &file)
{
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    Q_UNUSED(file);
#endif
    return {};
}

// Puts old back over the first touched bytes and gives the file its old length; true
// when the file then reads exactly as before. Only bytes that this write reached are
// rewritten, so a limit that stopped the write can't stop putting them back.
bool restore(QFile &file, const QByteArray &old, qint64 touched)
{
    qint64 done = 0;
    return file.seek(0)
        && writeAll(file, QByteArrayView(old).first(qMin(touched, old.size())), done)
        && file.resize(old.size()) && file.seek(0) && file.readAll() == old;
}

WriteResult rewriteInPlace(const QString &path, QByteArrayView bytes)
{
    // Opened without truncating, and the old content kept in memory first: until the
    // new bytes are written over it, it is still there to go back to.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return failed(file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError || !file.seek(0))
        return failed(file.errorString());

    qint64 done = 0;
    bool ok = writeAll(file, bytes, done);
    qint64 touched = done;
    if (ok && bytes.size() < old.size()) {
        touched = old.size();  // the tail is cut off, whether or not the call says so
        ok = file.resize(bytes.size());
    }
    QString reason = ok ? syncFailure(file) : file.errorString();
    if (ok && reason.isEmpty())
        return {};
    if (!restore(file, old, touched)) {
        reason += QCoreApplication::translate("FileWriter", " (and the old content could not be put back: %1)").arg(file.errorString());
    }
    return failed(reason);
}

WriteResult replace(const QString &path, QByteArrayView bytes)
{
    // Renaming over a device node would destroy it, and over a FIFO put a file where a
    // program expects its pipe: only a regular file is ever replaced.
    if (const auto refused = RegularFile::problem(path))
        return failed(*refused);
    const QFileInfo target(path);
    if (!target.isFile())
        return throughTemporaryFile(path, bytes);
    if (!(target.permissions() & QFileDevice::WriteOwner))
        return Failure(FileWriteError{FileWriteError::Kind::ReadOnly, {}});
    // The folder of the file itself, a link followed: that is where a temporary file
    // would have to go.
    const QFileInfo folder(QFileInfo(target.canonicalFilePath()).absolutePath());
    if (!folder.isWritable())
        return rewriteInPlace(path, bytes);
    return throughTemporaryFile(path, bytes);
}

} // namespace

WriteResult replaceFileContents(const QString &path, QByteArrayView bytes)
{
    WriteResult result = replace(path, bytes);
    if (result)
        qCDebug(lcFiles).noquote() << u"wrote %1 bytes to %2"_s.arg(bytes.size()).arg(path);
    else
        qCDebug(lcFiles).noquote() << u"could not write %1: %2"_s.arg(path, result.error().reason);
    return result;
}
