// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip line, the production mode, as a station runs it: chips that come, are
// programmed, go and are followed by the next (qv12-chipsim processes ended and started
// again behind the same link), two stations sharing one audit file, Ctrl-C, and a
// station that is killed.
#include "database/databasefile.h"
#include "database/defaultlist.h"
#include "sim/simulatedchip.h"
#include "tests/tools/chiptoolprocess.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString Factory = u"KT 610-ST       QV12 FW 2.07"_s;
const QString Programmed = u"KT 620-ST       QV12 FW 2.07"_s;
// The waits a programming of "KT 620-ST" sits out at the least: 13 settings of 100 ms
// and the restart's second.
constexpr int ProgrammingWaitsMs = 13 * 100 + 1000;

// The keys of every chip's audit line, as the manual page lists them.
const QStringList AuditKeys{u"checks"_s, u"chip"_s, u"detected_polarity"_s, u"device"_s, u"duration_ms"_s,
                            u"entry"_s, u"handshake"_s, u"host"_s, u"identity_after"_s, u"identity_before"_s,
                            u"identity_written"_s, u"pid"_s, u"port"_s, u"result"_s, u"settings"_s,
                            u"settings_total"_s, u"speed"_s, u"time"_s, u"word"_s};

// A chip in its own process behind a fixed link: ending the process takes the chip
// away (the link goes), starting it again puts a fresh one there.
class ChipSimProcess final
{
public:
    explicit ChipSimProcess(const QString &link) : m_link(link) {}

    bool start()
    {
        m_process.start(QStringLiteral(QV12_CHIPSIM), {u"--speed"_s, u"9600"_s, u"--link"_s, m_link});
        return m_process.waitForOutput("COM link ");
    }
    bool stop()
    {
        m_process.signal(SIGTERM);
        return m_process.waitForEnd();
    }

private:
    QString m_link;
    WatchedProcess m_process;
};

QStringList lineArguments(const QString &database, const QString &audit)
{
    return {u"line"_s, u"--db"_s, database, u"--entry"_s, u"KT 620-ST"_s, u"--identity"_s, u"KT 620-ST"_s,
            u"--audit"_s, audit};
}

QList<QJsonObject> auditLines(const QString &path, QByteArray *raw = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (raw)
        *raw = bytes;
    return jsonLines(bytes);
}

// The identity requests in a station's --log so far.
int identityRequests(const QString &log)
{
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count("-> 1B 49 ")) : 0;
}

int settingWrites(const SimulatedChip &chip)
{
    return int(chip.received().bytes().count("\x1dSF"));
}

} // namespace

class TestChipToolLine final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoStationsShareAnAudit();
    void interruptedWhileWaiting();
    void interruptedWhileProgramming();
    void killedLeavesWholeLines();
    void temporaryFolderGoes_data();
    void temporaryFolderGoes();

private:
    QTemporaryDir m_dir;
    QString m_db;
};

void TestChipToolLine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(u"default.cdb"_s);
    QFile file(m_db);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encodeDatabase(defaultMechanisms()));
}

void TestChipToolLine::twoStationsShareAnAudit()
{
    // Two stations side by side, one port each, one audit file. On each a chip comes,
    // is programmed and taken away; then a second comes.
    const QString audit = m_dir.filePath(u"shared.jsonl"_s);
    struct Station
    {
        int com;
        QString link;
        QString log;
        std::unique_ptr<ChipSimProcess> chip;
        WatchedProcess tool;
    };
    Station stations[2];
    for (int i = 0; i < 2; ++i) {
        Station &s = stations[i];
        s.com = i + 1;
        s.link = m_dir.filePath(u"station%1"_s.arg(s.com));
        s.log = m_dir.filePath(u"station%1.log"_s.arg(s.com));
        s.chip = std::make_unique<ChipSimProcess>(s.link);
        QVERIFY(s.chip->start());
        s.tool.start(QStringLiteral(QV12_CHIP_TOOL),
                     QStringList{u"--port"_s, u"%1=%2"_s.arg(s.com).arg(s.link), u"--given-ports-only"_s,
                                     u"--log"_s, s.log}
                         + lineArguments(m_db, audit)
                         + QStringList{u"--com"_s, QString::number(s.com), u"--speed"_s, u"9600"_s, u"--count"_s, u"2"_s});
    }
    // The programmed chip stays a while: the station asks it again and again whether it
    // is still there, and programs nothing meanwhile.
    for (Station &s : stations) {
        QVERIFY2(s.tool.waitForOutput("Chip 1: PASS in "), s.tool.err().constData());
        const int asked = identityRequests(s.log);
        QVERIFY(QTest::qWaitFor([&] { return identityRequests(s.log) >= asked + 2; }, 10000));
        QVERIFY(!s.tool.out().contains("Chip 2 on"));
        QVERIFY(s.chip->stop());
    }
    // Only once the station has seen the chip go does the next one come: a station that
    // took the first chip again would have "KT 620-ST" before programming.
    for (Station &s : stations) {
        QVERIFY(s.tool.waitForOutput("Waiting for a chip.\n", 2));
        QVERIFY(s.chip->start());
    }
    for (Station &s : stations) {
        QVERIFY(s.tool.waitForEnd(60000));
        QCOMPARE(s.tool.status(), 0);
        QCOMPARE(s.tool.err(), QByteArray());
        QVERIFY(s.tool.out().endsWith("Done: 2 chips, 2 passed, 0 failed.\n"));
        QCOMPARE(s.tool.out().count("Take it away.\n"), 2);
        QVERIFY(s.tool.out().contains(u"Chip 2 on COM%1 (%2): %3\n"_s.arg(s.com).arg(s.link, Factory).toUtf8()));
        QVERIFY(s.chip->stop());
    }

    QByteArray raw;
    const QList<QJsonObject> lines = auditLines(audit, &raw);
    QCOMPARE(lines.size(), 4);
    QVERIFY(raw.endsWith('\n'));
    QMap<int, QList<int>> chipsOnPort;
    for (const QJsonObject &line : lines) {
        QCOMPARE(line.keys(), AuditKeys);
        const int com = line[u"port"_s].toInt();
        QVERIFY(com == 1 || com == 2);
        chipsOnPort[com].append(line[u"chip"_s].toInt());
        QCOMPARE(line[u"device"_s].toString(), stations[com - 1].link);
        QCOMPARE(line[u"speed"_s].toInt(), 9600);
        QCOMPARE(line[u"handshake"_s].toString(), u"DSR/DTR Mode"_s);
        QCOMPARE(line[u"result"_s].toString(), u"PASS"_s);
        QCOMPARE(line[u"identity_before"_s].toString(), Factory);
        QCOMPARE(line[u"identity_after"_s].toString(), Programmed);
        QCOMPARE(line[u"entry"_s].toString(), u"KT 620-ST"_s);
        QCOMPARE(line[u"word"_s].toString(), u"1111010001100000"_s);
        QCOMPARE(line[u"identity_written"_s].toString(), u"KT 620-ST"_s);
        const QJsonArray settings = line[u"settings"_s].toArray();
        QCOMPARE(settings.size(), 13);
        QCOMPARE(line[u"settings_total"_s].toInt(), 13);
        for (const QJsonValue &setting : settings)
            QCOMPARE(setting[u"ok"_s].toBool(), true);
        QCOMPARE(settings.first().toObject(), (QJsonObject{{u"setting"_s, 6}, {u"value"_s, 1}, {u"echo"_s, 1},
                                                           {u"ok"_s, true}}));
        QCOMPARE(line[u"checks"_s].toArray().size(), 11);
        QVERIFY(line[u"duration_ms"_s].toInt() >= ProgrammingWaitsMs);
        QVERIFY(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"_s)
                    .match(line[u"time"_s].toString()).hasMatch());
    }
    QCOMPARE(chipsOnPort.value(1), (QList<int>{1, 2}));
    QCOMPARE(chipsOnPort.value(2), (QList<int>{1, 2}));
}

void TestChipToolLine::interruptedWhileWaiting()
{
    // Ctrl-C while the programmed chip is still on the station: the line ends at once,
    // with its count; nothing failed.
    SimulatedChip chip;
    const QString audit = m_dir.filePath(u"waiting.jsonl"_s);
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL),
               QStringList{u"--port"_s, u"1="_s + chip.devicePath(), u"--given-ports-only"_s, u"--json"_s}
                   + lineArguments(m_db, audit) + QStringList{u"--com"_s, u"1"_s, u"--speed"_s, u"9600"_s});
    QVERIFY(tool.waitForOutput("\"result\":\"PASS\""));
    // It asks the chip that is still there whether it has gone.
    const int requests = int(chip.received().bytes().count("\x1bI"));
    QVERIFY(QTest::qWaitFor([&] { return chip.received().bytes().count("\x1bI") > requests; }, 10000));
    tool.signal(SIGINT);
    QVERIFY(tool.waitForEnd());
    QCOMPARE(tool.status(), 0);
    QCOMPARE(tool.err(), QByteArray());
    const QList<QJsonObject> out = jsonLines(tool.out());
    QCOMPARE(out.size(), 2);
    QCOMPARE(out.at(0)[u"command"_s].toString(), u"line"_s);
    QCOMPARE(out.at(0)[u"status"_s].toInt(), 0);
    QCOMPARE(out.at(0)[u"chip"_s].toInt(), 1);
    QCOMPARE(out.at(1), (QJsonObject{{u"command"_s, u"line"_s}, {u"status"_s, 0}, {u"chips"_s, 1},
                                     {u"passes"_s, 1}, {u"failures"_s, 0}, {u"interrupted"_s, true}}));
    // The audit line is the chip's result, without the command's own keys.
    const QList<QJsonObject> lines = auditLines(audit);
    QCOMPARE(lines.size(), 1);
    QJsonObject printed = out.at(0);
    printed.remove(u"command"_s);
    printed.remove(u"status"_s);
    QCOMPARE(lines.first(), printed);
}

void TestChipToolLine::interruptedWhileProgramming()
{
    // Ctrl-C in the middle of a chip: it stops at its next wait, counts as failed, and
    // its audit line says so.
    SimulatedChip chip;
    const QString audit = m_dir.filePath(u"programming.jsonl"_s);
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL),
               QStringList{u"--port"_s, u"1="_s + chip.devicePath(), u"--given-ports-only"_s}
                   + lineArguments(m_db, audit) + QStringList{u"--com"_s, u"1"_s, u"--speed"_s, u"9600"_s});
    QVERIFY(QTest::qWaitFor([&] { return settingWrites(chip) >= 3; }, 30000));
    tool.signal(SIGINT);
    QVERIFY(tool.waitForEnd());
    QCOMPARE(tool.status(), 3);
    QVERIFY(tool.out().contains("Chip 1: FAIL in "));
    QVERIFY(tool.out().endsWith("Stopped: 1 chip, 0 passed, 1 failed.\n"));
    const QString interrupted = u"chip 1: interrupted; the chip on COM1 (%1) may be partly programmed: program it again"_s
                                    .arg(chip.devicePath());
    QCOMPARE(QString::fromUtf8(tool.err()),
             u"qv12-chip: %1\nqv12-chip: 1 of 1 chips failed; their audit lines in %2 say why\n"_s
                 .arg(interrupted, audit));
    const QList<QJsonObject> lines = auditLines(audit);
    QCOMPARE(lines.size(), 1);
    const QJsonObject &line = lines.first();
    QCOMPARE(line[u"result"_s].toString(), u"FAIL"_s);
    QCOMPARE(line[u"error"_s].toString(), interrupted.mid(8));
    QCOMPARE(line[u"identity_after"_s].isNull(), true);
    // The settings written are those the chip received.
    QCOMPARE(line[u"settings"_s].toArray().size(), settingWrites(chip));
    QVERIFY(settingWrites(chip) < 13);
}

void TestChipToolLine::killedLeavesWholeLines()
{
    // The simulated station (--simulate) takes each chip away and puts a fresh one in;
    // a station killed in the middle of its second chip leaves the first chip's line
    // whole and nothing of the second.
    const QString audit = m_dir.filePath(u"killed.jsonl"_s);
    WatchedProcess tool;
    // A killed program can't remove its temporary folder: this one goes with the test's.
    QTemporaryDir temporary;
    tool.setTemporaryFolder(temporary.path());
    tool.start(QStringLiteral(QV12_CHIP_TOOL),
               QStringList{u"--simulate"_s, u"--given-ports-only"_s} + lineArguments(m_db, audit)
                   + QStringList{u"--com"_s, u"1"_s, u"--speed"_s, u"9600"_s});
    QVERIFY(tool.waitForOutput("Chip 2 on COM1"));
    tool.signal(SIGKILL);
    QVERIFY(tool.waitForEnd());
    QVERIFY(tool.crashed());

    // What the station showed up to then, chip text and all.
    const QRegularExpression shown(
        u"^Station COM1 \\((.+/simulated-chip)\\) at 9600 bauds: \"KT 620-ST\" \\(1111010001100000\\), identity "
        "\"KT 620-ST\"\\. Ctrl-C ends\\.\n"
        "Waiting for a chip\\.\n"
        "Chip 1 on COM1 \\(\\1\\): KT 610-ST       QV12 FW 2\\.07\n"
        "  ####    ###    ####   ####\n"
        "  #   #  #   #  #      #\n"
        "  ####   #####   ###    ###\n"
        "  #      #   #      #      #\n"
        "  #      #   #  ####   ####\n"
        "Chip 1: PASS in \\d+\\.\\d s\\. Take it away\\.\n"
        "Waiting for a chip\\.\n"
        "Chip 2 on COM1 \\(\\1\\): KT 610-ST       QV12 FW 2\\.07\n$"_s);
    QVERIFY2(shown.match(QString::fromUtf8(tool.out())).hasMatch(), tool.out().constData());

    QByteArray raw;
    const QList<QJsonObject> lines = auditLines(audit, &raw);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(raw.count('\n'), 1);
    QVERIFY(raw.endsWith('\n'));
    QCOMPARE(lines.first().keys(), AuditKeys);
    QCOMPARE(lines.first()[u"result"_s].toString(), u"PASS"_s);
}

// The simulated station's folder (its chip's link) goes when qv12-chip ends: at the end
// of its work, on Ctrl-C and on SIGTERM.
void TestChipToolLine::temporaryFolderGoes_data()
{
    QTest::addColumn<int>("signal");  // 0: it ends by itself after one chip
    QTest::newRow("end") << 0;
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TestChipToolLine::temporaryFolderGoes()
{
    QFETCH(int, signal);
    QTemporaryDir temporary;
    const QDir folder(temporary.path());
    WatchedProcess tool;
    tool.setTemporaryFolder(temporary.path());
    tool.start(QStringLiteral(QV12_CHIP_TOOL),
               QStringList{u"--simulate"_s} + lineArguments(m_db, m_dir.filePath(u"temporary.jsonl"_s))
                   + QStringList{u"--count"_s, u"1"_s, u"--com"_s, u"1"_s, u"--speed"_s, u"9600"_s});
    QVERIFY(tool.waitForOutput("Chip 1 on COM1"));
    const QStringList made = folder.entryList({u"qv12-chip-*"_s}, QDir::Dirs);
    QCOMPARE(made.size(), 1);
    QVERIFY(tool.out().contains(folder.filePath(made.first()).toUtf8() + "/simulated-chip"));
    if (signal)
        tool.signal(signal);
    QVERIFY(tool.waitForEnd());
    QVERIFY(!tool.crashed());
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestChipToolLine)
#include "tst_chiptoolline.moc"
