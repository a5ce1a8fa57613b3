// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip query, run as a user runs it: against the simulated chip of --simulate, and
// against a qv12-chipsim process that sends bytes nobody asked for (value and string
// send nothing and only read). What went to the chip is taken from --log, byte for byte.
#include "tests/tools/chiptoolprocess.h"

#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Every byte the log shows going to the chip, in order.
QByteArray sentBytes(const QString &logPath)
{
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return "no log";
    QByteArray sent;
    static const QRegularExpression line(uR"(-> ((?:[0-9A-F]{2} )*[0-9A-F]{2}))"_s);
    for (const QByteArray &text : file.readAll().split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromLatin1(text));
        if (match.hasMatch())
            sent += QByteArray::fromHex(match.captured(1).toLatin1());
    }
    return sent;
}

} // namespace

class TestChipQuery : public QObject
{
    Q_OBJECT

private slots:
    void query_data();
    void query();
    void usage_data();
    void usage();
};

void TestChipQuery::query_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("unasked");  // hex: a qv12-chipsim process sends it; empty: --simulate
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray noAnswer = "qv12-chip: COM1 (DEVICE) at 9600 bauds: no answer to the query; check the chip's "
                                "power and cable\n";
    QTest::newRow("opto") << QStringList{u"query"_s, u"opto"_s} << QByteArray() << 0
                          << QByteArray("\x1b\x1d" "O") << QByteArray("1 (0x01)\n") << QByteArray();
    QTest::newRow("ad") << QStringList{u"query"_s, u"ad"_s} << QByteArray() << 0
                        << QByteArray("\x1b\x1d" "A") << QByteArray("128 (0x80)\n") << QByteArray();
    QTest::newRow("ad, json") << QStringList{u"query"_s, u"ad"_s, u"--json"_s} << QByteArray() << 0
                              << QByteArray("\x1b\x1d" "A")
                              << QByteArray(R"({"command":"query","device":"DEVICE","handshake":"DSR/DTR Mode",)"
                                            R"("port":1,"query":"ad","speed":9600,"status":0,"value":128})" "\n")
                              << QByteArray();
    // value and string only listen: a chip that says nothing is no chip.
    QTest::newRow("value, nothing sent") << QStringList{u"query"_s, u"value"_s} << QByteArray() << 1
                                         << QByteArray() << QByteArray() << noAnswer;
    QTest::newRow("string, nothing sent") << QStringList{u"query"_s, u"string"_s} << QByteArray() << 1
                                          << QByteArray() << QByteArray() << noAnswer;
    QTest::newRow("value") << QStringList{u"query"_s, u"value"_s} << QByteArray("7b7c") << 0 << QByteArray()
                           << QByteArray("123 (0x7b)\n") << QByteArray();
    // The text as plain text: control characters shown, not obeyed.
    QTest::newRow("string") << QStringList{u"query"_s, u"string"_s} << QByteArray("48454c4c4f1b0a00") << 0
                            << QByteArray() << QByteArray("HELLO\\x1B\\x0A\\x00\n") << QByteArray();
    QTest::newRow("string, json") << QStringList{u"query"_s, u"string"_s, u"--json"_s} << QByteArray("4f4b")
                                  << 0 << QByteArray()
                                  << QByteArray(R"({"command":"query","device":"DEVICE","handshake":"DSR/DTR Mode",)"
                                                R"("port":1,"query":"string","speed":9600,"status":0,"text":"OK"})" "\n")
                                  << QByteArray();
}

void TestChipQuery::query()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, unasked);
    QFETCH(int, status);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(u"traffic.log"_s);
    WatchedProcess chipsim;
    QString device;
    if (unasked.isEmpty()) {
        arguments << u"--simulate"_s;
    } else {
        device = dir.filePath(u"chip"_s);
        chipsim.start(QStringLiteral(QV12_CHIPSIM), {u"--speed"_s, u"9600"_s, u"--link"_s, device, u"--unasked"_s,
                                                     QString::fromLatin1(unasked)});
        QVERIFY(chipsim.waitForOutput("at 9600 bauds"));
        arguments << u"--given-ports-only"_s << u"--port"_s << u"1="_s + device;
    }
    arguments << u"--com"_s << u"1"_s << u"--speed"_s << u"9600"_s << u"--handshake"_s << u"dtr"_s << u"--log"_s << log;

    const ToolResult result = runChipTool(arguments);
    // The simulated chip's device is made anew each run.
    auto placed = [&](QByteArray text) {
        if (!device.isEmpty())
            return text.replace("DEVICE", device.toUtf8());
        return text;
    };
    static const QRegularExpression simulated(u"[^ \"()]*/simulated-chip"_s);
    const QString outText = QString::fromUtf8(result.out).replace(simulated, u"DEVICE"_s);
    const QString errText = QString::fromUtf8(result.err).replace(simulated, u"DEVICE"_s);
    QCOMPARE(result.status, status);
    QCOMPARE(outText.toUtf8(), placed(out));
    QCOMPARE(errText.toUtf8(), placed(err));
    QCOMPARE(sentBytes(log), sent);
}

void TestChipQuery::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("problem");
    QTest::newRow("nothing to ask") << QStringList{u"query"_s}
                                    << QByteArray("qv12-chip: query needs what to ask: opto, ad, value or string\n");
    QTest::newRow("unknown") << QStringList{u"query"_s, u"temperature"_s}
                             << QByteArray("qv12-chip: query asks opto, ad, value or string, not \"temperature\"\n");
    QTest::newRow("one at a time") << QStringList{u"query"_s, u"opto"_s, u"ad"_s}
                                   << QByteArray("qv12-chip: unexpected argument \"ad\"\n");
    QTest::newRow("no word") << QStringList{u"query"_s, u"opto"_s, u"--word"_s, u"1111110000100000"_s}
                             << QByteArray("qv12-chip: --word does not apply to query\n");
}

void TestChipQuery::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, problem);
    const ToolResult result = runChipTool(arguments << u"--simulate"_s);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith(problem + "\nUsage: qv12-chip"), result.err.constData());
}

QTEST_GUILESS_MAIN(TestChipQuery)
#include "tst_chipquery.moc"
