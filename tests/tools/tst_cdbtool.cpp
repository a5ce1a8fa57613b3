// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/database/cdbfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray KT610 = record("KT 610-ST       ", "1111110000100000");
const QByteArray TAV7110 = record("TAV 7110        ", "1101100000100000");
// Stands for "the file as it was before" in the table.
const QByteArray Unchanged = "<unchanged>";
// A FIFO with nothing at its other end in place of the file: reading it the usual way
// waits for ever.
const QByteArray Fifo = "<fifo>";

} // namespace

class TestCdbTool final : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
};

void TestCdbTool::run_data()
{
    // FILE in the arguments (separated by |) and in stderr stands for the database's path.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QString>("err");  // a line stderr holds; empty: stderr is empty
    QTest::addColumn<QByteArray>("after");
    auto row = [](const QByteArray &name, const QByteArray &before, const QString &args,
                  int status, const QByteArray &out, const QString &err,
                  const QByteArray &after = Unchanged) {
        QTest::newRow(name.constData()) << before << args << status << out << err << after;
    };
    const QByteArray example = golden("example.cdb");

    row("list", example, u"list|FILE"_s, 0, "KT 610-ST\t1111110000100000\n", {});
    row("list in UTF-8, control characters escaped", header(2) + TAV7110
            + record("Caf\xe9\t\x85\x7f         ", "1111111111111111"), u"list|FILE"_s, 0,
        "TAV 7110\t1101100000100000\nCaf\xc3\xa9\\x09\\x85\\x7F\t1111111111111111\n", {});
    row("list lower-case magic", "klvprinterscdb0\x00\r\n"_ba, u"list|FILE"_s, 1, {},
        u"FILE: not a configuration database"_s);
    row("list a truncated file", header(2) + KT610, u"list|FILE"_s, 1, {},
        u"FILE: the file ends before its last record"_s);
    row("list a missing file", NoFile, u"list|FILE"_s, 1, {}, u"qv12-cdb: FILE: No such file"_s);
    row("show", header(1) + record("Odd             ", "1x0010111111 000"), u"show|FILE"_s, 0,
        "Odd\t1x0010111111 000\n"
        "  logic voltage:     unknown code \"x\"\n"
        "  mechanism:         TAV\n"
        "  motor steps:       2 steps per dot line\n"
        "  motor rotation:    inverted\n"
        "  head type:         HS (high speed)\n"
        "  strobe polarity:   negative\n"
        "  head width:        unknown code 111\n"
        "  head-up polarity:  inverted\n", {});

    row("add appends", example, u"add|FILE|TAV 7110|1101100000100000"_s, 0, {}, {},
        header(2) + KT610 + TAV7110);
    row("add replaces the word of the name as stored", header(2) + KT610 + TAV7110,
        u"add|FILE|TAV 7110 |0000000000000000"_s, 0, {},
        u"qv12-cdb: note: the name is stored as \"TAV 7110\""_s,
        header(2) + KT610 + record("TAV 7110        ", "0000000000000000"));
    row("add creates a missing file", NoFile, u"add|FILE|KT 610-ST|1111110000100000"_s, 0, {},
        {}, example);
    for (const QString &w : {u"111111000010000"_s, u"11111100001000000"_s, u"1111110000100002"_s})
        row("add refuses " + w.toLatin1(), example, u"add|FILE|X|"_s + w, 2, {},
            u"qv12-cdb: \"%1\" is not a configuration word (16 characters of 0 and 1)"_s.arg(w));
    // A word followed by a line end is no word either (it used to go in, cut to 16).
    row("add refuses a word with a line end", example, u"add|FILE|X|1111110000100000\n"_s, 2, {},
        u"qv12-cdb: \"1111110000100000\\x0A\" is not a configuration word (16 characters of 0 and 1)"_s);
    const QByteArray full = header(255) + KT610.repeated(255);
    row("add refuses a 256th entry", full, u"add|FILE|One more|1111110000100000"_s, 2, {},
        u"qv12-cdb: FILE: not written: a configuration database holds at most 255 entries"_s);

    row("remove every entry of that name", header(3) + KT610 + TAV7110 + KT610,
        u"remove|FILE|KT 610-ST"_s, 0, {}, {}, header(1) + TAV7110);
    row("remove an absent name", example, u"remove|FILE|kt 610-st"_s, 2, {},
        u"qv12-cdb: FILE: no entry named \"kt 610-st\"; nothing changed"_s);

    row("builtin over a file", example, u"builtin|FILE"_s, 0, {}, {}, golden("builtin.cdb"));
    row("builtin into a missing folder", NoFile, u"builtin|FILE/x.cdb"_s, 2, {},
        u"qv12-cdb: FILE/x.cdb: not written: "_s);

    row("list a FIFO", Fifo, u"list|FILE"_s, 1, {}, u"qv12-cdb: FILE: it is a FIFO, not a regular file"_s);
    row("add to a FIFO", Fifo, u"add|FILE|KT 610-ST|1111110000100000"_s, 1, {},
        u"qv12-cdb: FILE: it is a FIFO, not a regular file"_s);
    row("builtin over a FIFO", Fifo, u"builtin|FILE"_s, 2, {},
        u"qv12-cdb: FILE: not written: it is a FIFO, not a regular file"_s);

    row("no arguments", example, QString(), 2, {},
        u"qv12-cdb: a command is needed\n\nUsage: qv12-cdb COMMAND "_s);
}

void TestCdbTool::run()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"db.cdb"_s);
    if (before == Fifo)
        QVERIFY(makeFifo(path));
    else if (before != NoFile)
        QVERIFY(put(path, before));
    QProcess tool;
    tool.start(QStringLiteral(QV12_CDB_TOOL),
               args.isEmpty() ? QStringList() : args.replace(u"FILE"_s, path).split(u'|'));
    if (!tool.waitForFinished(20000)) {  // it waits for something: a failure, not a hang
        tool.kill();
        tool.waitForFinished();
    }
    const QByteArray stderrBytes = tool.readAllStandardError();
    // An unexpected end (a crash, a sanitizer's report) is explained on stderr.
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != status)
        qWarning("qv12-cdb wrote on stderr:\n%s", stderrBytes.constData());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), status);
    QCOMPARE(tool.readAllStandardOutput(), out);
    QVERIFY2(err.isEmpty() ? stderrBytes.isEmpty()
                           : QString::fromUtf8(stderrBytes).contains(err.replace(u"FILE"_s, path)),
             stderrBytes.constData());
    if (before == Fifo)  // still a FIFO, never read
        QCOMPARE(fileType(path), mode_t(S_IFIFO));
    else
        QCOMPARE(contents(path), after == Unchanged ? before : after);
}

QTEST_GUILESS_MAIN(TestCdbTool)
#include "tst_cdbtool.moc"
