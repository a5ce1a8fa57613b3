// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The debug lines for support: off by default, on with QT_LOGGING_RULES or qv12-chip -v,
// on stderr only, saying which port opened with which settings and what was sent.
#include "chiptoolprocess.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

class TestLogging final : public QObject
{
    Q_OBJECT

private slots:
    void debugLines_data();
    void debugLines();
};

void TestLogging::debugLines_data()
{
    QTest::addColumn<QString>("rules");  // QT_LOGGING_RULES, or none
    QTest::addColumn<bool>("verbose");
    QTest::addColumn<bool>("shown");

    QTest::newRow("default") << QString() << false << false;
    QTest::newRow("QT_LOGGING_RULES") << u"qv12.*.debug=true"_s << false << true;
    QTest::newRow("-v") << QString() << true << true;
    QTest::newRow("one category") << u"qv12.serial.debug=true"_s << false << true;
}

void TestLogging::debugLines()
{
    QFETCH(QString, rules);
    QFETCH(bool, verbose);
    QFETCH(bool, shown);
    QStringList arguments{u"--simulate"_s, u"identify"_s};
    if (verbose)
        arguments.prepend(u"-v"_s);
    const ToolResult run = runProgram(QStringLiteral(QV12_CHIP_TOOL), arguments, 60000, [&rules](QProcess &tool) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"QT_LOGGING_RULES"_s);
        if (!rules.isEmpty())
            environment.insert(u"QT_LOGGING_RULES"_s, rules);
        tool.setProcessEnvironment(environment);
    });
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("KT 610-ST"));  // the answer on stdout, as without the lines
    const QString err = QString::fromUtf8(run.err);
    // The port with its settings, the identity request (ESC "I") and its answer.
    const QRegularExpression opened(u"^qv12\\.serial: opened COM1 \\(\\S+\\) at 9600 bauds, 8N1, RTS/CTS$"_s,
                                    QRegularExpression::MultilineOption);
    const QRegularExpression sent(u"^qv12\\.serial: COM1 sent: 1b 49$"_s, QRegularExpression::MultilineOption);
    const QRegularExpression answer(u"^qv12\\.serial: COM1 received: 4b 54 "_s, QRegularExpression::MultilineOption);
    QCOMPARE(opened.match(err).hasMatch(), shown);
    QCOMPARE(sent.match(err).hasMatch(), shown);
    QCOMPARE(answer.match(err).hasMatch(), shown);
    if (!shown)
        QVERIFY2(!err.contains(u"qv12."_s), qPrintable(err));
    if (rules == u"qv12.serial.debug=true"_s)
        QVERIFY(!err.contains(u"qv12.protocol"_s));
    else if (shown)
        QVERIFY(err.contains(u"qv12.protocol: identification: start\n"_s));
}

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
