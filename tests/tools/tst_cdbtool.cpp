#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray golden(const char *name)
{
    QFile file(QStringLiteral(QV12_TEST_DATA "/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", name);
    return file.readAll();
}

QByteArray header(int count)
{
    return "KLVPRINTERSCDB0" + QByteArray(1, char(count)) + "\r\n";
}

QByteArray record(QByteArrayView name, QByteArrayView word)
{
    if (name.size() != 16 || word.size() != 16)
        qFatal("record fields must have 16 bytes each");
    return name.toByteArray() + word.toByteArray() + "\r\n";
}

const QByteArray KT610 = record("KT 610-ST       ", "1111110000100000");
const QByteArray TAV7110 = record("TAV 7110        ", "1101100000100000");
const QByteArray DW640 = record("DW 640-HS       ", "1100001100000000");

// Stands for "no file at all" in the tables.
const QByteArray NoFile = "<no file>";
// Stands for "the file as it was before".
const QByteArray Unchanged = "<unchanged>";

const char ShowKT610[] = "KT 610-ST\t1111110000100000\n"
                         "  logic voltage:     5 V\n"
                         "  mechanism:         Standard\n"
                         "  motor steps:       1 step per dot line\n"
                         "  motor rotation:    inverted\n"
                         "  head type:         ST (standard)\n"
                         "  strobe polarity:   positive\n"
                         "  head width:        2 inch normal, 384 pixels\n"
                         "  head-up polarity:  normal\n";

} // namespace

class TestCdbTool final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void run_data();
    void run();
    void builtinWritesTheGoldenFile();
    void helpGoesToStandardOutput();

private:
    struct Result
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };
    Result tool(const QStringList &args);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCdbTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

TestCdbTool::Result TestCdbTool::tool(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(QV12_CDB_TOOL), args);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

void TestCdbTool::run_data()
{
    // "FILE" in args stands for the database's path.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QString>("err");  // a text stderr must contain; empty: stderr empty
    QTest::addColumn<QByteArray>("after");

    const QByteArray example = golden("example.cdb");
    const QString notDatabase = u"FILE: not a configuration database"_s;

    // list
    QTest::newRow("list example") << example << QStringList{u"list"_s, u"FILE"_s} << 0
                                  << "KT 610-ST\t1111110000100000\n"_ba << QString() << Unchanged;
    QTest::newRow("list empty database") << golden("empty.cdb")
                                         << QStringList{u"list"_s, u"FILE"_s} << 0 << QByteArray()
                                         << QString() << Unchanged;
    QTest::newRow("list keeps file order and spaces")
        << header(3) + DW640 + record("  lead          ", "1111111111111111") + KT610
        << QStringList{u"list"_s, u"FILE"_s} << 0
        << "DW 640-HS\t1100001100000000\n  lead\t1111111111111111\nKT 610-ST\t1111110000100000\n"_ba
        << QString() << Unchanged;
    QTest::newRow("list writes UTF-8")
        << header(1) + record("Caf\xe9 \xb5\xfe         ", "1111110000100000")
        << QStringList{u"list"_s, u"FILE"_s} << 0
        << "Caf\xc3\xa9 \xc2\xb5\xc3\xbe\t1111110000100000\n"_ba << QString() << Unchanged;
    QTest::newRow("list escapes control characters")
        << header(1) + record("a\tb\nc\x85\x7f         ", "1111110000100000")
        << QStringList{u"list"_s, u"FILE"_s} << 0
        << "a\\x09b\\x0Ac\\x85\\x7F\t1111110000100000\n"_ba << QString() << Unchanged;
    QTest::newRow("list ignores bytes after the records")
        << example + "trailing text" << QStringList{u"list"_s, u"FILE"_s} << 0
        << "KT 610-ST\t1111110000100000\n"_ba << QString() << Unchanged;
    QTest::newRow("list lower-case magic") << "klvprinterscdb0\x00\r\n"_ba
                                           << QStringList{u"list"_s, u"FILE"_s} << 1
                                           << QByteArray() << notDatabase << Unchanged;
    QTest::newRow("list text file") << "KT 610-ST\t1111110000100000\n"_ba
                                    << QStringList{u"list"_s, u"FILE"_s} << 1 << QByteArray()
                                    << notDatabase << Unchanged;
    QTest::newRow("list empty file") << QByteArray() << QStringList{u"list"_s, u"FILE"_s} << 1
                                     << QByteArray() << notDatabase << Unchanged;
    QTest::newRow("list truncated") << header(2) + KT610 << QStringList{u"list"_s, u"FILE"_s}
                                    << 1 << QByteArray() << u"FILE: the file ends before"_s
                                    << Unchanged;
    QTest::newRow("list missing file") << NoFile << QStringList{u"list"_s, u"FILE"_s} << 1
                                       << QByteArray() << u"FILE: No such file"_s << NoFile;

    // show
    QTest::newRow("show example") << example << QStringList{u"show"_s, u"FILE"_s} << 0
                                  << QByteArray(ShowKT610) << QString() << Unchanged;
    QTest::newRow("show separates entries")
        << header(2) + KT610 + KT610 << QStringList{u"show"_s, u"FILE"_s} << 0
        << QByteArray(ShowKT610) + "\n" + ShowKT610 << QString() << Unchanged;
    QTest::newRow("show every other code")
        << header(1) + record("Other           ", "1000001101110000")
        << QStringList{u"show"_s, u"FILE"_s} << 0
        << "Other\t1000001101110000\n"
           "  logic voltage:     3.3 V\n"
           "  mechanism:         TAV\n"
           "  motor steps:       2 steps per dot line\n"
           "  motor rotation:    normal\n"
           "  head type:         HS (high speed)\n"
           "  strobe polarity:   negative\n"
           "  head width:        3 inch, 576 pixels\n"
           "  head-up polarity:  inverted\n"_ba
        << QString() << Unchanged;
    QTest::newRow("show unknown codes")
        << header(1) + record("Odd             ", "1x1121101112 000")
        << QStringList{u"show"_s, u"FILE"_s} << 0
        << "Odd\t1x1121101112 000\n"
           "  logic voltage:     unknown code \"x\"\n"
           "  mechanism:         Standard\n"
           "  motor steps:       1 step per dot line\n"
           "  motor rotation:    unknown code \"2\"\n"
           "  head type:         unknown code 11\n"
           "  strobe polarity:   positive\n"
           "  head width:        unknown code 111\n"
           "  head-up polarity:  unknown code \"2\"\n"_ba
        << QString() << Unchanged;
    QTest::newRow("show the other head widths")
        << header(3) + record("RV 640-ST       ", "1110110000000000")
               + record("KT 660-ST       ", "1111110001000000")
               + record("KT 630-LV       ", "1111000010000000")
        << QStringList{u"show"_s, u"FILE"_s} << 0
        << "RV 640-ST\t1110110000000000\n"
           "  logic voltage:     5 V\n"
           "  mechanism:         Standard\n"
           "  motor steps:       2 steps per dot line\n"
           "  motor rotation:    inverted\n"
           "  head type:         ST (standard)\n"
           "  strobe polarity:   positive\n"
           "  head width:        1 inch, 192 pixels\n"
           "  head-up polarity:  normal\n"
           "\n"
           "KT 660-ST\t1111110001000000\n"
           "  logic voltage:     5 V\n"
           "  mechanism:         Standard\n"
           "  motor steps:       1 step per dot line\n"
           "  motor rotation:    inverted\n"
           "  head type:         ST (standard)\n"
           "  strobe polarity:   positive\n"
           "  head width:        2 inch wide, 448 pixels\n"
           "  head-up polarity:  normal\n"
           "\n"
           "KT 630-LV\t1111000010000000\n"
           "  logic voltage:     5 V\n"
           "  mechanism:         Standard\n"
           "  motor steps:       1 step per dot line\n"
           "  motor rotation:    normal\n"
           "  head type:         LV (low voltage)\n"
           "  strobe polarity:   positive\n"
           "  head width:        4 inch, 832 pixels\n"
           "  head-up polarity:  normal\n"_ba
        << QString() << Unchanged;
    QTest::newRow("show not a database") << "KLVPRINTERSCDB"_ba
                                         << QStringList{u"show"_s, u"FILE"_s} << 1
                                         << QByteArray() << notDatabase << Unchanged;

    // add
    QTest::newRow("add appends") << example
                                 << QStringList{u"add"_s, u"FILE"_s, u"TAV 7110"_s,
                                                u"1101100000100000"_s}
                                 << 0 << QByteArray() << QString()
                                 << header(2) + KT610 + TAV7110;
    QTest::newRow("add replaces the word of the same name")
        << header(2) + KT610 + TAV7110
        << QStringList{u"add"_s, u"FILE"_s, u"KT 610-ST"_s, u"1000000000000000"_s} << 0
        << QByteArray() << QString()
        << header(2) + record("KT 610-ST       ", "1000000000000000") + TAV7110;
    QTest::newRow("add compares names exactly")
        << example << QStringList{u"add"_s, u"FILE"_s, u"kt 610-st"_s, u"1000000000000000"_s}
        << 0 << QByteArray() << QString()
        << header(2) + KT610 + record("kt 610-st       ", "1000000000000000");
    QTest::newRow("add cuts a long name to 16 and matches it")
        << example << QStringList{u"add"_s, u"FILE"_s, u"KT 610-ST and more"_s,
                                  u"1000000000000000"_s}
        << 0 << QByteArray() << u"stored as \"KT 610-ST and mo\""_s
        << header(2) + KT610 + record("KT 610-ST and mo", "1000000000000000");
    QTest::newRow("add with trailing spaces matches the stored name")
        << example << QStringList{u"add"_s, u"FILE"_s, u"KT 610-ST  "_s, u"1000000000000000"_s}
        << 0 << QByteArray() << u"stored as \"KT 610-ST\""_s
        << header(1) + record("KT 610-ST       ", "1000000000000000");
    QTest::newRow("add stores Latin-1")
        << golden("empty.cdb")
        << QStringList{u"add"_s, u"FILE"_s, u"Caf\u00e9 \u03a9"_s, u"1111110000100000"_s} << 0
        << QByteArray() << u"stored as \"Caf\u00e9 ?\""_s
        << header(1) + record("Caf\xe9 ?          ", "1111110000100000");
    QTest::newRow("add creates a missing file")
        << NoFile << QStringList{u"add"_s, u"FILE"_s, u"KT 610-ST"_s, u"1111110000100000"_s}
        << 0 << QByteArray() << QString() << example;
    QTest::newRow("add to a file that is not a database")
        << "hello\n"_ba << QStringList{u"add"_s, u"FILE"_s, u"X"_s, u"1111110000100000"_s} << 1
        << QByteArray() << notDatabase << Unchanged;
    QTest::newRow("add to a truncated file")
        << header(2) + KT610 << QStringList{u"add"_s, u"FILE"_s, u"X"_s, u"1111110000100000"_s}
        << 1 << QByteArray() << u"FILE: the file ends before"_s << Unchanged;
    for (const QString &word : {u"111111000010000"_s, u"11111100001000000"_s,
                                u"1111110000100002"_s, u"111111000010000 "_s, QString()}) {
        QTest::addRow("add refuses word \"%s\"", qPrintable(word))
            << example << QStringList{u"add"_s, u"FILE"_s, u"X"_s, word} << 2 << QByteArray()
            << u"is not a configuration word"_s << Unchanged;
    }
    QTest::newRow("add refuses an empty name")
        << example << QStringList{u"add"_s, u"FILE"_s, QString(), u"1111110000100000"_s} << 2
        << QByteArray() << u"the name is empty"_s << Unchanged;
    {
        QByteArray full = header(255);
        for (int i = 0; i < 255; ++i)
            full += record(QByteArray("Entry ").append(QByteArray::number(i)).leftJustified(16),
                           "1111110000100000");
        QTest::newRow("add refuses the 256th entry")
            << full << QStringList{u"add"_s, u"FILE"_s, u"One more"_s, u"1111110000100000"_s}
            << 2 << QByteArray() << u"at most 255 entries"_s << Unchanged;
        QTest::newRow("add replaces in a full file")
            << full << QStringList{u"add"_s, u"FILE"_s, u"Entry 254"_s, u"0000000000000000"_s}
            << 0 << QByteArray() << QString()
            << full.first(full.size() - 18) + "0000000000000000\r\n";
    }

    // remove
    QTest::newRow("remove") << header(3) + KT610 + TAV7110 + DW640
                            << QStringList{u"remove"_s, u"FILE"_s, u"TAV 7110"_s} << 0
                            << QByteArray() << QString() << header(2) + KT610 + DW640;
    QTest::newRow("remove every entry of that name")
        << header(3) + KT610 + TAV7110 + KT610
        << QStringList{u"remove"_s, u"FILE"_s, u"KT 610-ST"_s} << 0 << QByteArray() << QString()
        << header(1) + TAV7110;
    QTest::newRow("remove the last entry") << example
                                           << QStringList{u"remove"_s, u"FILE"_s, u"KT 610-ST"_s}
                                           << 0 << QByteArray() << QString()
                                           << golden("empty.cdb");
    QTest::newRow("remove drops bytes after the records")
        << header(2) + KT610 + TAV7110 + "junk"
        << QStringList{u"remove"_s, u"FILE"_s, u"TAV 7110"_s} << 0 << QByteArray() << QString()
        << example;
    QTest::newRow("remove an absent name") << example
                                           << QStringList{u"remove"_s, u"FILE"_s, u"kt 610-st"_s}
                                           << 2 << QByteArray()
                                           << u"no entry named \"kt 610-st\""_s << Unchanged;
    QTest::newRow("remove from a missing file") << NoFile
                                                << QStringList{u"remove"_s, u"FILE"_s, u"X"_s}
                                                << 1 << QByteArray() << u"FILE: No such file"_s
                                                << NoFile;

    // builtin
    QTest::newRow("builtin over a file") << example << QStringList{u"builtin"_s, u"FILE"_s} << 0
                                         << QByteArray() << QString() << golden("builtin.cdb");
    QTest::newRow("builtin into a missing folder")
        << NoFile << QStringList{u"builtin"_s, u"FILE/x.cdb"_s} << 2 << QByteArray()
        << u"FILE/x.cdb: not written"_s << NoFile;

    // usage
    const QString usage = u"Usage: qv12-cdb COMMAND"_s;
    QTest::newRow("no arguments") << example << QStringList() << 2 << QByteArray() << usage
                                  << Unchanged;
    QTest::newRow("unknown command") << example << QStringList{u"dump"_s, u"FILE"_s} << 2
                                     << QByteArray() << u"unknown command \"dump\""_s
                                     << Unchanged;
    QTest::newRow("list without file") << example << QStringList{u"list"_s} << 2 << QByteArray()
                                       << usage << Unchanged;
    QTest::newRow("add without word") << example
                                      << QStringList{u"add"_s, u"FILE"_s, u"KT 610-ST"_s} << 2
                                      << QByteArray() << usage << Unchanged;
    QTest::newRow("remove with a word")
        << example << QStringList{u"remove"_s, u"FILE"_s, u"KT 610-ST"_s, u"1111110000100000"_s}
        << 2 << QByteArray() << usage << Unchanged;
}

void TestCdbTool::run()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, after);

    const QString path = m_dir->filePath(u"db.cdb"_s);
    if (before != NoFile) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(before), before.size());
    }
    for (QString &arg : args)
        arg.replace(u"FILE"_s, path);

    const Result result = tool(args);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    if (err.isEmpty())
        QCOMPARE(result.err, QByteArray());
    else
        QVERIFY2(QString::fromUtf8(result.err).contains(QString(err).replace(u"FILE"_s, path)),
                 result.err.constData());

    const QByteArray expected = after == Unchanged ? before : after;
    if (expected == NoFile) {
        QVERIFY(!QFile::exists(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
    }
}

void TestCdbTool::builtinWritesTheGoldenFile()
{
    const QString path = m_dir->filePath(u"builtin.cdb"_s);
    QCOMPARE(tool({u"builtin"_s, path}).status, 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), golden("builtin.cdb"));

    const Result listed = tool({u"list"_s, path});
    QCOMPARE(listed.status, 0);
    const QList<QByteArray> lines = listed.out.split('\n');
    QCOMPARE(lines.size(), 42);  // 41 lines and the empty text after the last newline
    QCOMPARE(lines.at(29), "KT 660-ST\t1111110001000000");
    QCOMPARE(lines.at(40), "DW 640-HS\t1100001100000000");
}

void TestCdbTool::helpGoesToStandardOutput()
{
    const Result help = tool({u"--help"_s});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.startsWith("Usage: qv12-cdb COMMAND FILE"));
    QVERIFY(help.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestCdbTool)
#include "tst_cdbtool.moc"
