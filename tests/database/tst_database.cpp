// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/databasefile.h"
#include "database/defaultlist.h"
#include "tests/database/cdbfiles.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// What came of a read or a write: nothing went wrong, or the error's kind.
using Outcome = std::optional<DatabaseFileError::Kind>;
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(std::optional<rlim_t>)

namespace {

using Entries = QList<MechanismEntry>;
using Kind = DatabaseFileError::Kind;
const Outcome Accepted;

template<class T>
Outcome outcome(const Result<T, DatabaseFileError> &result)
{
    return result ? Outcome() : Outcome(result.error().kind);
}

template<class T>
QString reason(const Result<T, DatabaseFileError> &result)
{
    return result ? QString() : result.error().reason;
}
const EntryWord Word = EntryWord::fromText(u"1111110000100000"_s);

const MechanismEntry Kt{u"KT 610-ST"_s, Word};

// Runs writeDatabaseFile in a child process, as a user who may not add files to a folder
// of mode 0555: the superuser passes every access check, so a child of the superuser
// first becomes "nobody". A file size limit of room bytes (when given) makes the write
// fail part way as a full disk does. Gives the child's status and reason.
std::optional<std::pair<Outcome, QString>> writeUnprivileged(
    const QString &path, const Entries &entries, std::optional<rlim_t> room)
{
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        constexpr uid_t Nobody = 65534;  // nobody and nogroup on Debian
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0))
            _exit(2);
        if (room) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = *room;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(3);
        }
        const Result<void, DatabaseFileError> result = writeDatabaseFile(path, entries);
        const QByteArray report = QByteArray::number(result ? -1 : int(result.error().kind)) + '\n'
            + reason(result).toUtf8();
        _exit(write(channel[1], report.constData(), size_t(report.size())) == report.size() ? 0 : 4);
    }
    close(channel[1]);
    QByteArray report;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    close(channel[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        qWarning("the writing process failed (exit status %d)", WEXITSTATUS(status));
        return std::nullopt;
    }
    const qsizetype newline = report.indexOf('\n');
    const int kind = report.left(newline).toInt();
    return std::pair(kind < 0 ? Outcome() : Outcome(Kind(kind)),
                     QString::fromUtf8(report.mid(newline + 1)));
}

ino_t inode(const QString &path)
{
    struct stat info{};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

class TestDatabase final : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void files();
    void refusedWritesLeaveTheFolderAsItWas();
    void readOnlyFilesAreLeftAlone_data();
    void readOnlyFilesAreLeftAlone();
    void lockedFolder_data();
    void lockedFolder();
    void listKeepsEachNameWithItsWord();
    void replacedWhole();
    void onlyFilesAreTaken_data();
    void onlyFilesAreTaken();
};

void TestDatabase::files_data()
{
    QTest::addColumn<bool>("written");  // writing `list` gives exactly `bytes`
    QTest::addColumn<Entries>("list");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Outcome>("status");   // of reading the bytes
    QTest::addColumn<Entries>("read");  // and what the list then holds

    auto written = [](const char *name, const Entries &list, const QByteArray &bytes,
                      const Entries &read) {
        QTest::newRow(name) << true << list << bytes << Accepted << read;
    };
    auto readOnly = [](const char *name, const QByteArray &bytes, Outcome status,
                       const Entries &read = {}) {
        QTest::newRow(name) << false << Entries() << bytes << status << read;
    };
    const QByteArray w = "1111110000100000";
    MechanismList builtIn;
    fillDefaultList(builtIn);
    written("example, 52 bytes", {Kt}, golden("example.cdb"), {Kt});
    written("empty, 18 bytes", {}, golden("empty.cdb"), {});
    written("built-in, 1412 bytes", builtIn.entries(), golden("builtin.cdb"), builtIn.entries());
    written("leading and trailing blanks", {{u"  KT\t610\u00a0  "_s, Word}},
            header(1) + record("  KT\t610\xa0       ", w), {{u"  KT\t610\u00a0"_s, Word}});
    written("20 characters cut to 16, read as 16", {{u"ABCDEFGHIJKLMNOPQRST"_s, Word}},
            header(1) + record("ABCDEFGHIJKLMNOP", w), {{u"ABCDEFGHIJKLMNOP"_s, Word}});
    written("outside ISO 8859-1: one ? a character", {{u"Cafe\u0301 \u03a9\U0001F5A8"_s, Word}},
            header(1) + record("Caf\xe9 ??         ", w), {{u"Caf\u00e9 ??"_s, Word}});
    const QString odd = u"0123456789 \u00e9bcde"_s;
    written("word not made of 0 and 1", {{u"X"_s, EntryWord::fromText(odd)}},
            header(1) + record("X               ", "0123456789 \xe9""bcde"), {{u"X"_s, EntryWord::fromText(odd)}});
    written("words of other lengths", {{u"X"_s, EntryWord::fromText(u"111"_s)}, {u"Y"_s, EntryWord::fromText(u"11111100001000001111"_s)}},
            header(2) + record("X               ", "1110000000000000")
                + record("Y               ", w),
            {{u"X"_s, EntryWord::fromText(u"1110000000000000"_s)}, {u"Y"_s, Word}});

    readOnly("more records than counted, then junk",
             golden("example.cdb") + record("TAV 7110        ", w) + "\0\xff junk"_ba,
             Accepted, {Kt});
    readOnly("empty file", {}, Kind::NotADatabase);
    readOnly("shorter than the magic", "KLVPRINTERS", Kind::NotADatabase);
    readOnly("lower-case magic", "klvprinterscdb0\x00\r\n"_ba, Kind::NotADatabase);
    readOnly("magic only", "KLVPRINTERSCDB0", Kind::Truncated);
    readOnly("count 255, two records", header(255) + record("X               ", w).repeated(2),
             Kind::Truncated);
    readOnly("last record cut", golden("example.cdb").chopped(1), Kind::Truncated);
    readOnly("missing file", NoFile, Kind::CannotOpen);
}

void TestDatabase::files()
{
    QFETCH(bool, written);
    QFETCH(Entries, list);
    QFETCH(QByteArray, bytes);
    QFETCH(Outcome, status);
    QFETCH(Entries, read);

    const QTemporaryDir dir;
    const QString path = dir.filePath(u"db.cdb"_s);
    if (written) {
        QVERIFY(put(path, golden("builtin.cdb") + "and more"));  // replaced whole
        QCOMPARE(encodeDatabase(list), bytes);
        const Result<void, DatabaseFileError> result = writeDatabaseFile(path, list);
        QVERIFY2(result, qPrintable(reason(result)));
        QCOMPARE(contents(path), bytes);
        for (qsizetype i = 0; i < list.size(); ++i)  // what typed names are compared as
            QCOMPARE(storedName(list.at(i).name), read.at(i).name);
    } else if (bytes != NoFile) {
        QVERIFY(put(path, bytes));
    }
    // The list held two entries: a file that is accepted replaces them, another leaves them.
    const Entries held(2, {u"held"_s, Word});
    MechanismList model;
    model.append(held);
    const Result<int, DatabaseFileError> result = readDatabaseFile(path, model);
    QCOMPARE(outcome(result), status);
    QCOMPARE(reason(result).isEmpty(), bool(result));
    QCOMPARE(result.valueOr(0), read.size());
    QCOMPARE(model.entries(), result ? read : held);
}

// A refused write creates nothing, leaves no temporary file and keeps the old file byte for
// byte, whether the list is too long or the disk full part way through.
void TestDatabase::refusedWritesLeaveTheFolderAsItWas()
{
    const QTemporaryDir temporary;
    const QDir dir(temporary.path());
    const QString old = dir.filePath(u"old.cdb"_s);
    QVERIFY(put(old, golden("example.cdb")));
    auto folder = [&] {
        return std::pair(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                         contents(old));
    };
    const auto before = folder();

    for (const QString &target : {old, dir.filePath(u"new.cdb"_s)}) {
        const Result<void, DatabaseFileError> result = writeDatabaseFile(target, Entries(256, Kt));
        QCOMPARE(outcome(result), Kind::TooManyEntries);
        QCOMPARE(reason(result),
                 u"a configuration database holds at most 255 entries, this list has 256");
        QCOMPARE(folder(), before);
    }
    // A file size limit makes the writes fail as a full disk does, whoever runs the test.
    for (rlim_t room : {0, 10, 4096, 8687}) {  // of the 8688 bytes
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = room;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const bool limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        const Result<void, DatabaseFileError> result = writeDatabaseFile(old, Entries(255, Kt));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        QVERIFY(limited);
        QCOMPARE(outcome(result), Kind::CannotWrite);
        QCOMPARE(reason(result), QString::fromLocal8Bit(std::strerror(EFBIG)));
        QCOMPARE(folder(), before);
    }
}

// A file that its owner may not write is refused before anything is written, also for
// the superuser, and keeps its content and its mode.
void TestDatabase::readOnlyFilesAreLeftAlone_data()
{
    QTest::addColumn<QFileDevice::Permissions>("mode");
    using P = QFileDevice;
    QTest::newRow("r--r--r--") << (P::ReadOwner | P::ReadGroup | P::ReadOther);
    QTest::newRow("r--rw-rw-") << (P::ReadOwner | P::ReadGroup | P::WriteGroup | P::ReadOther | P::WriteOther);
}

void TestDatabase::readOnlyFilesAreLeftAlone()
{
    QFETCH(QFileDevice::Permissions, mode);
    const QTemporaryDir temporary;
    const QDir dir(temporary.path());
    const QString path = dir.filePath(u"old.cdb"_s);
    QVERIFY(put(path, golden("example.cdb")));
    QVERIFY(QFile::setPermissions(path, mode));
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const Result<void, DatabaseFileError> result = writeDatabaseFile(path, Entries(3, Kt));
    QCOMPARE(outcome(result), Kind::ReadOnly);
    QCOMPARE(reason(result), u"the file is read-only");
    QCOMPARE(contents(path), golden("example.cdb"));
    QCOMPARE(QFile::permissions(path) & QFileDevice::Permissions(0x7077), mode);
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

// A writable file in a folder that takes no new files is written in place, the same file
// (inode) keeping its mode; when the write fails part way, at any point, its old content
// is put back byte for byte. No temporary file is left anywhere.
void TestDatabase::lockedFolder_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<Entries>("list");
    QTest::addColumn<std::optional<rlim_t>>("room");

    const Entries longest(255, Kt);  // 8688 bytes
    QTest::newRow("longer, written") << golden("example.cdb") << longest << std::optional<rlim_t>();
    QTest::newRow("shorter, written") << golden("builtin.cdb") << Entries{Kt} << std::optional<rlim_t>();
    for (rlim_t room : {0, 10, 40, 4096, 8687})
        QTest::addRow("longer, %d bytes of room", int(room)) << golden("example.cdb") << longest << std::optional(room);
    for (rlim_t room : {0, 10, 51})
        QTest::addRow("shorter, %d bytes of room", int(room)) << golden("builtin.cdb") << Entries{Kt}
                                                             << std::optional(room);
}

void TestDatabase::lockedFolder()
{
    QFETCH(QByteArray, old);
    QFETCH(Entries, list);
    QFETCH(std::optional<rlim_t>, room);

    const QTemporaryDir temporary;
    const QDir locked(temporary.filePath(u"locked"_s));
    const QString path = locked.filePath(u"db.cdb"_s);
    using P = QFileDevice;
    const P::Permissions open = P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup | P::ExeGroup
        | P::ReadOther | P::ExeOther;
    const P::Permissions writable = P::ReadOwner | P::WriteOwner | P::ReadGroup | P::WriteGroup
        | P::ReadOther | P::WriteOther;
    QVERIFY(QDir().mkdir(locked.path()) && put(path, old));
    QVERIFY(QFile::setPermissions(path, writable) && QFile::setPermissions(temporary.path(), open));
    QVERIFY(QFile::setPermissions(locked.path(), open & ~P::WriteOwner));
    const ino_t before = inode(path);

    const auto result = writeUnprivileged(path, list, room);
    QVERIFY(QFile::setPermissions(locked.path(), open));  // so that it can be removed
    QVERIFY(result);
    const bool written = !room;
    QCOMPARE(result->first, written ? Outcome() : Outcome(Kind::CannotWrite));
    QCOMPARE(result->second, written ? QString() : QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(contents(path), written ? encodeDatabase(list) : old);
    QCOMPARE(inode(path), before);
    QCOMPARE(QFile::permissions(path) & P::Permissions(0x7077), writable);
    QCOMPARE(locked.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{u"db.cdb"_s});
}

// The operations the window uses keep each name with its word; the model tester checks
// every signal against the contents.
void TestDatabase::listKeepsEachNameWithItsWord()
{
    MechanismList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const MechanismEntry a{u"A"_s, EntryWord::fromText(u"1000000000000000"_s)}, b{u"B"_s, EntryWord::fromText(u"0100000000000000"_s)},
        c{u"C"_s, EntryWord::fromText(u"0010000000000000"_s)}, d{u"D"_s, EntryWord::fromText(u"0001000000000000"_s)};
    list.append(a);
    list.append(Entries{b, c, d});
    list.exchangeWithNext(0);
    QCOMPARE(list.entries(), (Entries{b, a, c, d}));
    QCOMPARE(static_cast<QAbstractItemModel &>(list).columnCount(), 1);  // the names, as List1 shows them
    QCOMPARE(list.index(1).data(), a.name);
    QCOMPARE(list.index(1).data(MechanismList::WordRole), a.word.text());

    list.replaceAt(1, {a.name, d.word});
    list.removeAt(0);
    QCOMPARE(list.entries(), (Entries{{a.name, d.word}, c, d}));
    // Rows out of range change nothing; the last row has no next one.
    list.replaceAt(3, a);
    list.removeAt(-1);
    list.exchangeWithNext(2);
    QCOMPARE(list.entries(), (Entries{{a.name, d.word}, c, d}));

    list.append(c);
    QCOMPARE(list.indexOfName(u"C"_s), 1);
    for (const QString &other : {u"c"_s, u"C "_s, u" C"_s, QString()})
        QCOMPARE(list.indexOfName(other), -1);
    list.assign({d, a});
    QCOMPARE(list.entries(), (Entries{d, a}));
}

// In a folder that takes new files, the new content goes to a file of its own that
// replaces the old one once complete: the old file is never written over, so a program
// killed in the middle leaves it whole (a second link to it still reads as before).
void TestDatabase::replacedWhole()
{
    const QTemporaryDir temporary;
    const QDir dir(temporary.path());
    const QString path = dir.filePath(u"db.cdb"_s);
    const QString other = dir.filePath(u"other-link.cdb"_s);
    QVERIFY(put(path, golden("example.cdb")));
    QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) == 0);
    const ino_t before = inode(path);
    QVERIFY(writeDatabaseFile(path, Entries(3, Kt)));
    QCOMPARE(contents(path), encodeDatabase(Entries(3, Kt)));
    QVERIFY(inode(path) != before);
    QCOMPARE(contents(other), golden("example.cdb"));
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{u"db.cdb"_s, u"other-link.cdb"_s}));
}

void TestDatabase::onlyFilesAreTaken_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << u"a FIFO"_s;
    QTest::newRow("device node") << u"a device"_s;
    QTest::newRow("folder") << u"a folder"_s;
}

// A FIFO, a device node or a folder at a database's path is neither read (a FIFO would
// hold the open for ever) nor replaced by a file (which would destroy a device node).
void TestDatabase::onlyFilesAreTaken()
{
    QFETCH(QString, kind);
    const QTemporaryDir temporary;
    const QString path = temporary.filePath(u"db.cdb"_s);
    const QByteArray name = QFile::encodeName(path);
    const mode_t type = kind == u"a FIFO"_s ? S_IFIFO : kind == u"a device"_s ? S_IFCHR : S_IFDIR;
    if (type == S_IFIFO)
        QVERIFY(makeFifo(path));
    else if (type == S_IFCHR)
        QVERIFY(::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);  // as /dev/null
    else
        QVERIFY(QDir().mkdir(path));
    const FifoOtherEndLater otherEnd(path);
    const QString reason = u"it is %1, not a regular file"_s.arg(kind);
    QElapsedTimer clock;
    clock.start();
    MechanismList list;
    list.assign(Entries{Kt});
    const Result<int, DatabaseFileError> read = readDatabaseFile(path, list);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(outcome(read), Kind::CannotOpen);
    QCOMPARE(::reason(read), reason);
    QCOMPARE(list.entries(), Entries{Kt});

    const Result<void, DatabaseFileError> written = writeDatabaseFile(path, Entries(3, Kt));
    QCOMPARE(outcome(written), Kind::CannotWrite);
    QCOMPARE(::reason(written), reason);
    QCOMPARE(fileType(path), type);
    QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{u"db.cdb"_s});
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
