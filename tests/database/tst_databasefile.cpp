#include "database/databasefile.h"
#include "database/defaultlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DatabaseReadStatus)

namespace {

using Entries = QList<MechanismEntry>;

// A header for count entries.
QByteArray header(int count)
{
    return "KLVPRINTERSCDB0" + QByteArray(1, char(count)) + "\r\n";
}

// One record from its two 16-byte fields, written out in full by each test.
QByteArray record(QByteArrayView name, QByteArrayView word)
{
    if (name.size() != 16 || word.size() != 16)
        qFatal("record fields must have 16 bytes each");
    return name.toByteArray() + word.toByteArray() + "\r\n";
}

QByteArray golden(const char *name)
{
    QFile file(QStringLiteral(QV12_TEST_DATA "/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", name);
    return file.readAll();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Entries entries(const QStringList &names, const QStringList &words)
{
    Entries list;
    for (qsizetype i = 0; i < names.size(); ++i)
        list.append({names.at(i), words.at(i)});
    return list;
}

Entries numbered(int count)
{
    Entries list;
    for (int i = 0; i < count; ++i)
        list.append({u"Entry %1"_s.arg(i), u"1111110000100000"_s});
    return list;
}

const MechanismEntry Example{u"KT 610-ST"_s, u"1111110000100000"_s};

// Makes writes past a size fail with EFBIG, as a full disk makes them fail, for as long
// as it lives; works for root too, which permission bits don't stop.
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class TestDatabaseFile final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void writesGoldenFiles_data();
    void writesGoldenFiles();
    void readsGoldenFiles_data();
    void readsGoldenFiles();

    void writesFields_data();
    void writesFields();
    void decodes_data();
    void decodes();
    void namesSurviveWriteAndRead_data();
    void namesSurviveWriteAndRead();

    void readMakesTheListHoldExactlyTheFile_data();
    void readMakesTheListHoldExactlyTheFile();
    void rejectedFileLeavesTheListUnchanged_data();
    void rejectedFileLeavesTheListUnchanged();

    void writeOverALongerFileTruncatesIt();
    void writesTheLargestDatabase();
    void refusesMoreThan255Entries();
    void failedWriteKeepsThePreviousFile_data();
    void failedWriteKeepsThePreviousFile();
    void writeIntoMissingDirectoryFails();
    void writeOntoDirectoryFails();
    void writeOntoReadOnlyFileFails();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void TestDatabaseFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDatabaseFile::writesGoldenFiles_data()
{
    QTest::addColumn<Entries>("list");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("one entry, 52 bytes") << Entries{Example} << golden("example.cdb");
    QTest::newRow("empty, 18 bytes") << Entries{} << golden("empty.cdb");
    QTest::newRow("built-in, 1412 bytes") << defaultMechanisms() << golden("builtin.cdb");
}

void TestDatabaseFile::writesGoldenFiles()
{
    QFETCH(Entries, list);
    QFETCH(QByteArray, bytes);

    QCOMPARE(encodeDatabase(list), bytes);
    const DatabaseWriteResult result = WriteDatabaseFile(path(u"out.cdb"_s), list);
    QVERIFY2(result.ok(), qPrintable(result.reason));
    QCOMPARE(contents(path(u"out.cdb"_s)), bytes);
}

void TestDatabaseFile::readsGoldenFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Entries>("list");
    QTest::newRow("example") << u"example.cdb"_s << Entries{Example};
    QTest::newRow("empty") << u"empty.cdb"_s << Entries{};
    QTest::newRow("built-in") << u"builtin.cdb"_s << defaultMechanisms();
}

void TestDatabaseFile::readsGoldenFiles()
{
    QFETCH(QString, file);
    QFETCH(Entries, list);

    MechanismList model;
    model.append({u"left over"_s, u"0000000000000000"_s});
    const DatabaseReadResult result = ReadDatabaseFile(QStringLiteral(QV12_TEST_DATA "/") + file,
                                                       model);
    QVERIFY2(result.accepted(), qPrintable(result.reason));
    QCOMPARE(result.count, list.size());
    QCOMPARE(model.entries(), list);
}

void TestDatabaseFile::writesFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QByteArray>("bytes");  // the one record

    const QString w = Example.word;
    const QByteArray wb = "1111110000100000";
    QTest::newRow("16-character name, no padding")
        << u"ABCDEFGHIJKLMNOP"_s << w << record("ABCDEFGHIJKLMNOP", wb);
    QTest::newRow("20-character name cut to 16")
        << u"ABCDEFGHIJKLMNOPQRST"_s << w << record("ABCDEFGHIJKLMNOP", wb);
    QTest::newRow("leading spaces kept") << u"  KT 610"_s << w << record("  KT 610        ", wb);
    QTest::newRow("empty name") << QString() << w << record("                ", wb);
    QTest::newRow("Latin-1 letter") << u"Caf\u00e9 \u00b5"_s << w
                                    << record("Caf\xe9 \xb5          ", wb);
    QTest::newRow("accent composed first") << u"Cafe\u0301"_s << w
                                           << record("Caf\xe9            ", wb);
    QTest::newRow("outside Latin-1") << u"\u03a9 \u20ac"_s << w << record("? ?             ", wb);
    QTest::newRow("one ? per character outside the BMP")
        << u"a\U0001F5A8b"_s << w << record("a?b             ", wb);
    QTest::newRow("cut by characters") << u"\U0001F5A8123456789012345678"_s << w
                                       << record("?123456789012345", wb);

    // The word field always takes 16 bytes, whatever the list holds.
    QTest::newRow("short word padded with 0") << u"X"_s << u"111"_s
                                              << record("X               ", "1110000000000000");
    QTest::newRow("long word cut") << u"X"_s << u"11111100001000001111"_s
                                   << record("X               ", wb);
    QTest::newRow("word kept as it stands") << u"X"_s << u"12 4abcdefghijkl"_s
                                            << record("X               ", "12 4abcdefghijkl");
    QTest::newRow("empty word") << u"X"_s << QString()
                                << record("X               ", "0000000000000000");
}

void TestDatabaseFile::writesFields()
{
    QFETCH(QString, name);
    QFETCH(QString, word);
    QFETCH(QByteArray, bytes);

    const QByteArray file = encodeDatabase({{name, word}});
    QCOMPARE(file.size(), 52);
    QCOMPARE(file.first(18), header(1));
    QCOMPARE(file.sliced(18), bytes);
}

void TestDatabaseFile::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<DatabaseReadStatus>("status");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("words");

    using S = DatabaseReadStatus;
    const QByteArray one = record("KT 610-ST       ", "1111110000100000");
    const QByteArray two = record("TAV 7110        ", "1101100000100000");
    const QByteArray three = record("DW 640-HS       ", "1100001100000000");
    const QStringList names{u"KT 610-ST"_s, u"TAV 7110"_s, u"DW 640-HS"_s};
    const QStringList words{u"1111110000100000"_s, u"1101100000100000"_s,
                            u"1100001100000000"_s};

    QTest::newRow("three entries") << header(3) + one + two + three << S::Accepted << names
                                   << words;
    QTest::newRow("count 2, three records") << header(2) + one + two + three << S::Accepted
                                            << names.first(2) << words.first(2);
    QTest::newRow("count 2, bytes after the records")
        << header(2) + one + two + "\0\xff garbage"_ba << S::Accepted << names.first(2)
        << words.first(2);
    QTest::newRow("count 0, records after the header") << header(0) + one << S::Accepted
                                                       << QStringList() << QStringList();
    QTest::newRow("line ends not checked")
        << "KLVPRINTERSCDB0\x01XYKT 610-ST       1111110000100000ZZ"_ba << S::Accepted
        << names.first(1) << words.first(1);

    QTest::newRow("leading and trailing spaces")
        << header(1) + record("  KT 610-ST     ", "1111110000100000") << S::Accepted
        << QStringList{u"  KT 610-ST"_s} << words.first(1);
    QTest::newRow("only spaces are trimmed")
        << header(1) + record("KT\t610 \xa0\t       ", "1111110000100000") << S::Accepted
        << QStringList{u"KT\t610 \u00a0\t"_s} << words.first(1);
    QTest::newRow("16-character name") << header(1) + record("ABCDEFGHIJKLMNOP", "1111110000100000")
                                       << S::Accepted << QStringList{u"ABCDEFGHIJKLMNOP"_s}
                                       << words.first(1);
    QTest::newRow("blank name") << header(1) + record("                ", "1111110000100000")
                                << S::Accepted << QStringList{QString()} << words.first(1);
    QTest::newRow("Latin-1 name") << header(1) + record("Caf\xe9 \xb5          ", "1111110000100000")
                                  << S::Accepted << QStringList{u"Caf\u00e9 \u00b5"_s}
                                  << words.first(1);
    QTest::newRow("word not made of 0 and 1")
        << header(1) + record("X               ", "12 4abc   \xe9\x01\x00xyz"_ba) << S::Accepted
        << QStringList{u"X"_s} << QStringList{u"12 4abc   \u00e9\u0001\u0000xyz"_s};

    const QStringList none;
    QTest::newRow("empty file") << QByteArray() << S::NotADatabase << none << none;
    QTest::newRow("shorter than the magic") << "KLVPRINTERS"_ba << S::NotADatabase << none
                                            << none;
    QTest::newRow("lower-case magic") << "klvprinterscdb0\x00\r\n"_ba << S::NotADatabase << none
                                      << none;
    QTest::newRow("one letter in other case") << "KLVPRINTERSCDb0\x00\r\n"_ba
                                              << S::NotADatabase << none << none;
    QTest::newRow("text file") << "name\tword\r\n"_ba << S::NotADatabase << none << none;

    QTest::newRow("magic only") << "KLVPRINTERSCDB0"_ba << S::Truncated << none << none;
    QTest::newRow("header without its line end") << "KLVPRINTERSCDB0\x00\r"_ba << S::Truncated
                                                 << none << none;
    QTest::newRow("count 3, two records") << header(3) + one + two << S::Truncated << none
                                          << none;
    QTest::newRow("count 1, record cut in its name") << header(1) + one.first(5) << S::Truncated
                                                     << none << none;
    QTest::newRow("count 1, record without its line end") << header(1) + one.first(32)
                                                          << S::Truncated << none << none;
    QTest::newRow("count 255, header only") << header(255) << S::Truncated << none << none;
}

void TestDatabaseFile::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(DatabaseReadStatus, status);
    QFETCH(QStringList, names);
    QFETCH(QStringList, words);

    DatabaseReadStatus got = DatabaseReadStatus::CannotOpen;
    const std::optional<Entries> decoded = decodeDatabase(bytes, &got);
    QCOMPARE(got, status);
    QCOMPARE(decoded.has_value(), status == DatabaseReadStatus::Accepted);
    if (decoded)
        QCOMPARE(*decoded, entries(names, words));

    // The same through a file.
    QVERIFY(put(path(u"in.cdb"_s), bytes));
    MechanismList list;
    const DatabaseReadResult result = ReadDatabaseFile(path(u"in.cdb"_s), list);
    QCOMPARE(result.status, status);
    QCOMPARE(result.reason.isEmpty(), result.accepted());
    QCOMPARE(list.entries(), decoded.value_or(Entries{}));
    if (decoded)
        QCOMPARE(result.count, decoded->size());
}

void TestDatabaseFile::namesSurviveWriteAndRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("plain") << u"KT 610-ST"_s << u"KT 610-ST"_s;
    QTest::newRow("leading spaces kept") << u"  KT 610-ST"_s << u"  KT 610-ST"_s;
    QTest::newRow("trailing spaces lost") << u"KT 610-ST  "_s << u"KT 610-ST"_s;
    QTest::newRow("16 characters") << u"ABCDEFGHIJKLMNOP"_s << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("20 characters") << u"ABCDEFGHIJKLMNOPQRST"_s << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("cut before trailing spaces") << u"ABCDEFGHIJKLMNO  X"_s
                                                << u"ABCDEFGHIJKLMNO"_s;
    QTest::newRow("outside Latin-1") << u"\u041a\u0422 610"_s << u"?? 610"_s;
}

void TestDatabaseFile::namesSurviveWriteAndRead()
{
    QFETCH(QString, name);
    QFETCH(QString, readBack);

    QVERIFY(WriteDatabaseFile(path(u"names.cdb"_s), {{name, Example.word}}).ok());
    MechanismList list;
    QVERIFY(ReadDatabaseFile(path(u"names.cdb"_s), list).accepted());
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).name, readBack);
    QCOMPARE(list.at(0).word, Example.word);
    QCOMPARE(storedName(name), readBack);
}

void TestDatabaseFile::readMakesTheListHoldExactlyTheFile_data()
{
    QTest::addColumn<int>("before");
    QTest::newRow("empty list") << 0;
    QTest::newRow("1 entry") << 1;
    QTest::newRow("3 entries") << 3;
    QTest::newRow("5 entries") << 5;
}

void TestDatabaseFile::readMakesTheListHoldExactlyTheFile()
{
    QFETCH(int, before);
    const QByteArray file = header(3) + record("One             ", "1000000000000000")
                            + record("Two             ", "1100000000000000")
                            + record("Three           ", "1110000000000000");
    QVERIFY(put(path(u"three.cdb"_s), file));

    MechanismList list;
    list.append(numbered(before));
    const DatabaseReadResult result = ReadDatabaseFile(path(u"three.cdb"_s), list);
    QVERIFY(result.accepted());
    QCOMPARE(result.count, 3);
    QCOMPARE(list.entries(), entries({u"One"_s, u"Two"_s, u"Three"_s},
                                     {u"1000000000000000"_s, u"1100000000000000"_s,
                                      u"1110000000000000"_s}));
}

void TestDatabaseFile::rejectedFileLeavesTheListUnchanged_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<DatabaseReadStatus>("status");
    QTest::newRow("not a database") << u"text.cdb"_s << DatabaseReadStatus::NotADatabase;
    QTest::newRow("truncated") << u"short.cdb"_s << DatabaseReadStatus::Truncated;
    QTest::newRow("missing") << u"missing.cdb"_s << DatabaseReadStatus::CannotOpen;
    QTest::newRow("a directory") << u"folder.cdb"_s << DatabaseReadStatus::CannotOpen;
}

void TestDatabaseFile::rejectedFileLeavesTheListUnchanged()
{
    QFETCH(QString, file);
    QFETCH(DatabaseReadStatus, status);

    QVERIFY(put(path(u"text.cdb"_s), "KT 610-ST\t1111110000100000\n"));
    QVERIFY(put(path(u"short.cdb"_s), golden("builtin.cdb").first(1000)));
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.cdb"_s));

    MechanismList list;
    list.append(numbered(5));
    const DatabaseReadResult result = ReadDatabaseFile(path(file), list);
    QCOMPARE(result.status, status);
    QVERIFY(!result.accepted());
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(list.entries(), numbered(5));
}

void TestDatabaseFile::writeOverALongerFileTruncatesIt()
{
    const QString target = path(u"db.cdb"_s);
    QVERIFY(put(target, golden("builtin.cdb")));
    QVERIFY(WriteDatabaseFile(target, {Example}).ok());
    QCOMPARE(contents(target), golden("example.cdb"));
}

void TestDatabaseFile::writesTheLargestDatabase()
{
    const QString target = path(u"full.cdb"_s);
    QVERIFY(WriteDatabaseFile(target, numbered(255)).ok());
    const QByteArray bytes = contents(target);
    QCOMPARE(bytes.size(), 18 + 34 * 255);
    QCOMPARE(quint8(bytes.at(15)), 0xFF);
    QCOMPARE(bytes.sliced(18 + 34 * 254, 34), record("Entry 254       ", "1111110000100000"));

    MechanismList list;
    QVERIFY(ReadDatabaseFile(target, list).accepted());
    QCOMPARE(list.entries(), numbered(255));
}

void TestDatabaseFile::refusesMoreThan255Entries()
{
    const QString existing = path(u"old.cdb"_s);
    QVERIFY(put(existing, golden("example.cdb")));
    const QString fresh = path(u"new.cdb"_s);

    for (const QString &target : {existing, fresh}) {
        const DatabaseWriteResult result = WriteDatabaseFile(target, numbered(256));
        QCOMPARE(result.status, DatabaseWriteStatus::TooManyEntries);
        QVERIFY(result.reason.contains(u"255"));
    }
    QCOMPARE(contents(existing), golden("example.cdb"));
    QVERIFY(!QFile::exists(fresh));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{u"old.cdb"_s});
    QVERIFY(encodeDatabase(numbered(256)).isEmpty());
}

void TestDatabaseFile::failedWriteKeepsThePreviousFile_data()
{
    // The new database has 8688 bytes; the disk is "full" after room bytes.
    QTest::addColumn<int>("room");
    QTest::newRow("full before the first byte") << 0;
    QTest::newRow("full inside the header") << 10;
    QTest::newRow("full inside the records") << 4096;
    QTest::newRow("full before the last byte") << 8687;
}

void TestDatabaseFile::failedWriteKeepsThePreviousFile()
{
    QFETCH(int, room);
    const QString target = path(u"db.cdb"_s);
    QVERIFY(put(target, golden("builtin.cdb")));

    DatabaseWriteResult result;
    {
        FileSizeLimit limit{rlim_t(room)};
        QVERIFY(limit.active());
        result = WriteDatabaseFile(target, numbered(255));
    }
    QCOMPARE(result.status, DatabaseWriteStatus::CannotWrite);
    QCOMPARE(result.reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(contents(target), golden("builtin.cdb"));
    // No half-written file is left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{u"db.cdb"_s});

    // With room again, the same write goes through.
    QVERIFY(WriteDatabaseFile(target, numbered(255)).ok());
    QCOMPARE(contents(target).size(), 18 + 34 * 255);
}

void TestDatabaseFile::writeIntoMissingDirectoryFails()
{
    const QString target = path(u"no such folder/db.cdb"_s);
    const DatabaseWriteResult result = WriteDatabaseFile(target, {Example});
    QCOMPARE(result.status, DatabaseWriteStatus::CannotWrite);
    QVERIFY(!result.reason.isEmpty());
    QVERIFY(!QFile::exists(target));
}

void TestDatabaseFile::writeOntoDirectoryFails()
{
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.cdb"_s));
    const DatabaseWriteResult result = WriteDatabaseFile(path(u"folder.cdb"_s), {Example});
    QCOMPARE(result.status, DatabaseWriteStatus::CannotWrite);
    QVERIFY(!result.reason.isEmpty());
    QVERIFY(QFileInfo(path(u"folder.cdb"_s)).isDir());
}

void TestDatabaseFile::writeOntoReadOnlyFileFails()
{
    if (geteuid() == 0)
        QSKIP("permission bits don't stop root; the failed-write test covers the path");
    const QString target = path(u"ro.cdb"_s);
    QVERIFY(put(target, golden("example.cdb")));
    QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadUser));

    const DatabaseWriteResult result = WriteDatabaseFile(target, defaultMechanisms());
    QCOMPARE(result.status, DatabaseWriteStatus::CannotWrite);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(contents(target), golden("example.cdb"));
}

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "tst_databasefile.moc"
