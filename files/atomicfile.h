#pragma once

#include <QByteArray>
#include <QString>

// Writes a whole file so that a failed or interrupted write never destroys what was
// there: the bytes go to a temporary file beside it, which replaces the old one only
// once it is completely written.
struct AtomicWriteResult
{
    bool ok = true;
    QString reason;  // the system's words, when not written
};

AtomicWriteResult writeFileAtomically(const QString &path, const QByteArray &bytes);
