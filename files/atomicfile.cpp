#include "files/atomicfile.h"

#include <QSaveFile>

AtomicWriteResult writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    // Unbuffered, and written in a loop: a buffered QSaveFile lets a short write at
    // commit time (disk full) pass unnoticed and renames a cut file over the old one.
    QSaveFile file(path);
    auto fail = [&] {
        const AtomicWriteResult result{false, file.errorString()};
        file.cancelWriting();
        return result;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail();
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return fail();
        done += written;
    }
    if (!file.commit())
        return fail();
    return {};
}
