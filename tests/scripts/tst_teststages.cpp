// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// What a long test.sh run shows: a heading per stage with its time, and one summary line
// at the end with what passed and failed per stage and in all. The stage runner that
// test.sh sources runs here on stand-in stages, as a user's shell runs it.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Stand-ins for the real stages: a function of several commands that stops at the first
// failing one, and ctest's closing lines.
const QString StandIns = uR"(set -euo pipefail
. "$1"
QV12_STAGE_LOGS=$(mktemp -d)
trap 'rm -rf "$QV12_STAGE_LOGS"' EXIT
breaks() { true; false; echo "after the failure"; }
all_pass() { echo "Test #19: tst_sim ....   Passed"; echo "100% tests passed, 0 tests failed out of 19"; }
one_fails() { echo "95% tests passed, 1 tests failed out of 20"; return 8; }
crashes() { echo "Test #1: tst_serial"; return 2; }
)"_s;

struct Run
{
    int status = -1;
    QStringList lines;
};

Run runStages(const QString &stages)
{
    QTemporaryDir dir;
    QFile script(dir.filePath(u"stages.sh"_s));
    if (!script.open(QIODevice::WriteOnly) || script.write((StandIns + stages).toUtf8()) < 0)
        return {};
    script.close();
    QProcess bash;
    bash.setProcessChannelMode(QProcess::MergedChannels);
    bash.start(u"bash"_s, {script.fileName(), QStringLiteral(QV12_STAGES_SCRIPT)});
    Run run;
    if (bash.waitForFinished(30000) && bash.exitStatus() == QProcess::NormalExit)
        run.status = bash.exitCode();
    run.lines = QString::fromUtf8(bash.readAll()).split(u'\n');
    if (run.lines.endsWith(QString()))
        run.lines.removeLast();
    return run;
}

} // namespace

class TestTestStages final : public QObject
{
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
    void headings();
};

void TestTestStages::summary_data()
{
    QTest::addColumn<QString>("stages");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("summary");  // the last line, its time left out

    QTest::newRow("all pass") << u"qv12_stage check packages true\n"
                                 "qv12_stage check build true\n"
                                 "qv12_stage tests tests all_pass\n"
                                 "qv12_stage check fuzzing true\n"
                                 "qv12_stage_summary\n"_s
                              << 0
                              << u"Summary: packages 1 passed, 0 failed; build 1 passed, 0 failed; tests 19 passed, "
                                 "0 failed; fuzzing 1 passed, 0 failed; in all 22 passed, 0 failed"_s;
    QTest::newRow("a failed build, a failed test") << u"qv12_stage check build breaks\n"
                                                      "qv12_stage_ok || qv12_stage_skip tests \"the build failed\"\n"
                                                      "qv12_stage tests \"sanitizer tests\" one_fails\n"
                                                      "qv12_stage check fuzzing true\n"
                                                      "qv12_stage_summary\n"_s
                                                   << 1
                                                   << u"Summary: build 0 passed, 1 failed; tests not run; sanitizer "
                                                      "tests 19 passed, 1 failed; fuzzing 1 passed, 0 failed; in all "
                                                      "20 passed, 3 failed"_s;
    QTest::newRow("tests that end before their summary") << u"qv12_stage tests tests crashes\n"
                                                            "qv12_stage_summary\n"_s
                                                         << 1 << u"Summary: tests 0 passed, 1 failed; in all 0 passed, "
                                                                 "1 failed"_s;
}

void TestTestStages::summary()
{
    QFETCH(QString, stages);
    QFETCH(int, status);
    QFETCH(QString, summary);
    const Run run = runStages(stages);
    QCOMPARE(run.status, status);
    QVERIFY(!run.lines.isEmpty());
    const QRegularExpression withTime(u"^(.*), (\\d+ min )?\\d+ s$"_s);
    const QRegularExpressionMatch last = withTime.match(run.lines.last());
    QVERIFY2(last.hasMatch(), qPrintable(run.lines.last()));
    QCOMPARE(last.captured(1), summary);
    QVERIFY(!run.lines.contains(u"after the failure"_s));
}

// Each stage opens with its name and the clock, shows its own output, and closes with
// its count and how long it took.
void TestTestStages::headings()
{
    const Run run = runStages(u"qv12_stage check packages echo \"Installing: cmake\"\n"
                              "qv12_stage tests \"sanitizer tests\" all_pass\n"
                              "qv12_stage_skip fuzzing \"no clang\"\n"
                              "qv12_stage_summary || true\n"_s);
    QCOMPARE(run.status, 0);
    QStringList shape;
    for (QString line : run.lines) {
        line.replace(QRegularExpression(u"\\(\\d\\d:\\d\\d:\\d\\d\\)$"_s), u"(TIME)"_s);
        line.replace(QRegularExpression(u", \\d+ s$"_s), u", N s"_s);
        shape << line;
    }
    QCOMPARE(shape, (QStringList{QString(), u"==== packages (TIME)"_s, u"Installing: cmake"_s,
                                 u"---- packages: 1 passed, 0 failed, N s"_s, QString(),
                                 u"==== sanitizer tests (TIME)"_s, u"Test #19: tst_sim ....   Passed"_s,
                                 u"100% tests passed, 0 tests failed out of 19"_s,
                                 u"---- sanitizer tests: 19 passed, 0 failed, N s"_s, QString(),
                                 u"==== fuzzing: not run (no clang)"_s, QString(),
                                 u"Summary: packages 1 passed, 0 failed; sanitizer tests 19 passed, 0 failed; "
                                 "fuzzing not run; in all 20 passed, 1 failed, N s"_s}));
}

QTEST_GUILESS_MAIN(TestTestStages)
#include "tst_teststages.moc"
