// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip line, the production mode, as a station runs it: chips that come, are
// programmed, go and are followed by the next (qv12-chipsim processes ended and started
// again behind the same link), two stations sharing one audit file, Ctrl-C, and a
// station that is killed.
#include "database/databasefile.h"
#include "database/defaultlist.h"
#include "serial/portdetails.h"
#include "serial/portmap.h"
#include "serial/seriallink.h"
#include "sim/simulatedchip.h"
#include "tests/common/files.h"
#include "tests/tools/chiptoolprocess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QMultiMap>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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
    return int(contents(log).count("-> 1B 49 "));
}

int settingWrites(const SimulatedChip &chip)
{
    return int(chip.received().bytes().count("\x1dSF"));
}

// A station on COM1 at 9600 bauds, with the audit file given: --count N chips (0: no
// count), on ports as given.
QStringList station(const QStringList &ports, const QString &database, const QString &audit, int count)
{
    return ports + QStringList{u"--given-ports-only"_s} + lineArguments(database, audit)
        + QStringList{u"--com"_s, u"1"_s, u"--speed"_s, u"9600"_s}
        + (count ? QStringList{u"--count"_s, QString::number(count)} : QStringList());
}

// A station on chip's line.
QStringList stationOn(const SimulatedChip &chip, const QString &database, const QString &audit, int count)
{
    return station({u"--port"_s, u"1="_s + chip.devicePath()}, database, audit, count);
}

// The simulated station: chips that come and go by themselves.
QStringList simulatedStation(const QString &database, const QString &audit, int count)
{
    return station({u"--simulate"_s}, database, audit, count);
}

// The lock files of device: Qt's, named after its path, and this program's, named after
// its number.
QStringList lockFilesOf(const QString &device)
{
    QStringList found;
    if (QFile::exists(SerialLocks::lockFilePath(device)))
        found << SerialLocks::lockFilePath(device);
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) == 0) {
        const QString ours = u"%1/qv12-device-%2-%3.lock"_s.arg(SerialLocks::directory())
                                 .arg(major(info.st_rdev)).arg(minor(info.st_rdev));
        if (QFile::exists(ours))
            found << ours;
    }
    return found;
}

} // namespace

class TestChipToolLine final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoStationsShareAnAudit();
    void interruptedWhileWaiting();
    void interruptedWhileProgramming_data();
    void interruptedWhileProgramming();
    void killedLeavesWholeLines();
    void temporaryFolderGoes_data();
    void temporaryFolderGoes();
    void recordBeforePass();
    void fullFileSystem_data();
    void fullFileSystem();
    void rotatedAndDeleted();
    void oneMissedReplyIsNotGone();
    void alreadyProgrammed();
    void readerGoesAway();
    void eachRecordOneWriteThenSync();
    void heldPortWhileLooking();
    void severalStations();

private:
    QTemporaryDir m_dir;
    QString m_db;
};

void TestChipToolLine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(u"default.cdb"_s);
    QVERIFY(put(m_db, encodeDatabase(defaultMechanisms())));
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
        compareFields(line, {{u"device"_s, stations[com - 1].link}, {u"speed"_s, 9600}, {u"handshake"_s, u"DSR/DTR Mode"_s},
                             {u"result"_s, u"PASS"_s}, {u"identity_before"_s, Factory}, {u"identity_after"_s, Programmed},
                             {u"entry"_s, u"KT 620-ST"_s}, {u"word"_s, u"1111010001100000"_s},
                             {u"identity_written"_s, u"KT 620-ST"_s}, {u"settings_total"_s, 13}});
        const QJsonArray settings = line[u"settings"_s].toArray();
        QCOMPARE(settings.size(), 13);
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
    tool.start(QStringLiteral(QV12_CHIP_TOOL), QStringList{u"--json"_s} + stationOn(chip, m_db, audit, 0));
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
    compareFields(out.at(0), {{u"command"_s, u"line"_s}, {u"status"_s, 0}, {u"chip"_s, 1}});
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

void TestChipToolLine::interruptedWhileProgramming_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("terminal closed (SIGHUP)") << int(SIGHUP);  // as SIGTERM, not a death without a record
}

void TestChipToolLine::interruptedWhileProgramming()
{
    // A signal in the middle of a chip: it stops at its next wait, counts as failed, its
    // audit line says so, the summary follows, and no lock is left behind.
    QFETCH(int, signal);
    SimulatedChip chip;
    const QString audit = m_dir.filePath(u"programming-%1.jsonl"_s.arg(signal));
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL), stationOn(chip, m_db, audit, 1));
    QVERIFY(QTest::qWaitFor([&] { return settingWrites(chip) >= 3; }, 30000));
    tool.signal(signal);
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
    QCOMPARE(lockFilesOf(chip.devicePath()), QStringList());
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
    tool.start(QStringLiteral(QV12_CHIP_TOOL), simulatedStation(m_db, audit, 0));
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

void TestChipToolLine::recordBeforePass()
{
    // A record that can't be written whole (a file size limit stops it here, as a full
    // disk does): the chip is not shown as passed, and the line stops with status 5.
    SimulatedChip chip;
    const QString audit = m_dir.filePath(u"limited.jsonl"_s);
    const ToolResult limited = runProgram(QStringLiteral(QV12_CHIP_TOOL), stationOn(chip, m_db, audit, 1), 60000,
                                          [](QProcess &process) {
                                              process.setChildProcessModifier([] {
                                                  ::signal(SIGXFSZ, SIG_IGN);
                                                  const rlimit limit{500, 500};
                                                  ::setrlimit(RLIMIT_FSIZE, &limit);
                                              });
                                          });
    QCOMPARE(limited.status, 5);
    QVERIFY(limited.out.contains(u"Chip 1 on COM1 (%1): %2\n"_s.arg(chip.devicePath(), Factory).toUtf8()));
    QVERIFY2(!limited.out.contains("PASS"), limited.out.constData());
    QVERIFY(limited.out.contains(u"Chip 1: its record was NOT written (%1). Set it apart: it has no record.\n"_s
                                     .arg(audit).toUtf8()));
    QVERIFY(limited.out.endsWith("Done: 1 chip, 0 passed, 1 failed.\n"));
    QVERIFY2(QRegularExpression(u"^qv12-chip: %1: the record of chip 1 was not written: only 500 of \\d+ bytes could "
                                "be written \\(File too large\\); the line stops here: make room or give another "
                                "file\n$"_s.arg(QRegularExpression::escape(audit)))
                 .match(QString::fromUtf8(limited.err)).hasMatch(),
             limited.err.constData());
    QCOMPARE(settingWrites(chip), 13);  // programmed: it is the record that is missing

    // The next station's record starts on a line of its own after the fragment.
    SimulatedChip next;
    const ToolResult free = runChipTool(stationOn(next, m_db, audit, 1));
    QCOMPARE(free.status, 0);
    QByteArray raw;
    const QList<QJsonObject> lines = auditLines(audit, &raw);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QJsonObject());  // the fragment: no record
    QCOMPARE(lines.at(1)[u"result"_s].toString(), u"PASS"_s);
    QCOMPARE(raw.indexOf('\n'), 500);
    QVERIFY(raw.endsWith('\n'));
}

void TestChipToolLine::fullFileSystem_data()
{
    QTest::addColumn<int>("filledKiB");  // of a file system of 64 KiB
    QTest::newRow("full from the start") << 64;
    QTest::newRow("full after the first record") << 48;
}

void TestChipToolLine::fullFileSystem()
{
    // The audit file on a small file system of its own (a private mount): a chip whose
    // record could not be kept is not taken at all.
    QFETCH(int, filledKiB);
    if (runProgram(u"unshare"_s, {u"-rm"_s, u"true"_s}, 10000).status != 0)
        QSKIP("no private mount can be made here (unshare -rm)");
    const QString folder = m_dir.filePath(u"small-%1"_s.arg(filledKiB));
    QVERIFY(QDir().mkpath(folder));
    const QString audit = folder + u"/audit.jsonl"_s;
    const QString script = u"mount -t tmpfs -o size=64k tmpfs \"$1\" && head -c $2 /dev/zero > \"$1/filler\" "
                           "2>/dev/null; shift 2; exec \"$@\""_s;
    const ToolResult run = runProgram(u"unshare"_s,
                                      QStringList{u"-rm"_s, u"sh"_s, u"-c"_s, script, u"sh"_s, folder,
                                                  QString::number(filledKiB * 1024), QStringLiteral(QV12_CHIP_TOOL)}
                                          + simulatedStation(m_db, audit, 3),
                                      120000);
    QCOMPARE(run.status, 5);
    if (filledKiB == 64) {
        QCOMPARE(QString::fromUtf8(run.err),
                 u"qv12-chip: %1: cannot append the audit lines: No space left on device (0 bytes free, a record "
                 "needs room for 16384); give a file in a folder you can write to\n"_s.arg(audit));
        QVERIFY2(!run.out.contains("Chip"), run.out.constData());
        return;
    }
    QVERIFY2(run.out.contains("Chip 1: PASS in "), run.out.constData());
    QVERIFY(!run.out.contains("Chip 2 on"));
    QVERIFY(run.out.endsWith("Done: 1 chip, 1 passed, 0 failed.\n"));
    QVERIFY2(QRegularExpression(u"^qv12-chip: %1: the next chip's record could not be kept: No space left on device "
                                "\\(\\d+ bytes free, a record needs room for 16384\\); the chip on COM1 \\(.+\\) was "
                                "not programmed, and the line stops here: make room or give another file\n$"_s
                                    .arg(QRegularExpression::escape(audit)))
                 .match(QString::fromUtf8(run.err)).hasMatch(),
             run.err.constData());
}

void TestChipToolLine::rotatedAndDeleted()
{
    // Records go to the path given, every time: after a rotation (the file moved away)
    // and after a deletion, each into a new file there, said once each on stderr.
    const QString audit = m_dir.filePath(u"rotated.jsonl"_s);
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL), simulatedStation(m_db, audit, 3));
    QVERIFY2(tool.waitForOutput("Chip 1: PASS in "), tool.err().constData());
    QVERIFY(QFile::rename(audit, audit + u".1"_s));
    QVERIFY(tool.waitForOutput("Chip 2: PASS in "));
    QVERIFY(QFile::remove(audit));  // chip 2's record goes with it: the user's doing
    QVERIFY(tool.waitForEnd(60000));
    QCOMPARE(tool.status(), 0);
    const QString note = u"qv12-chip: %1 was not there any more (moved or deleted); the records go on in a new %1\n"_s
                             .arg(audit);
    QCOMPARE(QString::fromUtf8(tool.err()), note + note);
    const auto chips = [](const QString &path) {
        QList<int> numbers;
        for (const QJsonObject &line : auditLines(path))
            numbers.append(line[u"chip"_s].toInt());
        return numbers;
    };
    QCOMPARE(chips(audit + u".1"_s), QList<int>{1});
    QCOMPARE(chips(audit), QList<int>{3});
}

void TestChipToolLine::oneMissedReplyIsNotGone()
{
    // The programmed chip stays and misses one identity reply while the station waits
    // for it to go: one miss is not a chip taken away, and it is not programmed again.
    SimulatedChip chip;
    const QString log = m_dir.filePath(u"missed.log"_s);
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL),
               QStringList{u"--log"_s, log} + stationOn(chip, m_db, m_dir.filePath(u"missed.jsonl"_s), 2));
    QVERIFY2(tool.waitForOutput("Chip 1: PASS in "), tool.err().constData());
    const int asked = identityRequests(log);
    ChipFaults faults;
    faults.missedIdentityReplies = 1;
    chip.setFaults(faults);
    QVERIFY(QTest::qWaitFor([&] {
        return chip.faults().missedIdentityReplies == 0 && identityRequests(log) >= asked + 5;
    }, 20000));
    QVERIFY2(!tool.out().contains("Chip 2 on"), tool.out().constData());
    QCOMPARE(tool.out().count("Waiting for a chip.\n"), 1);
    QCOMPARE(settingWrites(chip), 13);
    tool.signal(SIGINT);
    QVERIFY(tool.waitForEnd());
    QCOMPARE(tool.status(), 0);
    QVERIFY(tool.out().endsWith("Stopped: 1 chip, 1 passed, 0 failed.\n"));
}

void TestChipToolLine::alreadyProgrammed()
{
    // A chip that comes holding the entry and the identity already is said to be so and
    // left as it is: no second programming, no second record.
    SimulatedChip chip;
    const QByteArray name("KT 620-ST");
    chip.access([&](ChipEmulator &c) {
        c.setSetting(6, 1);
        c.setSetting(7, 0xF4);
        c.setSetting(8, 0x60);
        for (int i = 0; i < name.size(); ++i)
            c.setSetting(9 + i, quint8(name.at(i)));
        c.setSetting(9 + int(name.size()), 0);
        c.restart();
    });
    QCOMPARE(QString::fromLatin1(chip.identity()), Programmed);
    const QString audit = m_dir.filePath(u"already.jsonl"_s);
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL), stationOn(chip, m_db, audit, 1));
    QVERIFY2(tool.waitForOutput("Take it away.\n"), tool.err().constData());
    QVERIFY2(tool.out().endsWith(u"Waiting for a chip.\nChip on COM1 (%1): %2\nAlready programmed: it holds \"KT 620-ST\" "
                                 "(1111010001100000) and identity \"KT 620-ST\"; not programmed again (--reprogram "
                                 "programs it). Take it away.\n"_s.arg(chip.devicePath(), Programmed).toUtf8()),
             tool.out().constData());
    // It waits for the chip to go, as after any chip.
    const int requests = int(chip.received().bytes().count("\x1bI"));
    QVERIFY(QTest::qWaitFor([&] { return chip.received().bytes().count("\x1bI") > requests + 1; }, 10000));
    tool.signal(SIGINT);
    QVERIFY(tool.waitForEnd());
    QCOMPARE(tool.status(), 0);
    QVERIFY(tool.out().endsWith("Stopped: 0 chips, 0 passed, 0 failed.\n"));
    QCOMPARE(settingWrites(chip), 0);
    QCOMPARE(auditLines(audit).size(), 0);

    // --reprogram programs it all the same.
    const ToolResult again = runChipTool(stationOn(chip, m_db, audit, 1) + QStringList{u"--reprogram"_s});
    QCOMPARE(again.status, 0);
    QCOMPARE(settingWrites(chip), 13);
    QCOMPARE(auditLines(audit).size(), 1);
}

void TestChipToolLine::readerGoesAway()
{
    // The program reading the station's output ends: said once on stderr, and the
    // station goes on, its records in the audit file.
    const QString audit = m_dir.filePath(u"reader.jsonl"_s);
    const ToolResult run = runProgram(u"bash"_s,
                                      QStringList{u"-c"_s, u"\"$0\" \"$@\" | head -n 2; exit ${PIPESTATUS[0]}"_s,
                                                  QStringLiteral(QV12_CHIP_TOOL)}
                                          + simulatedStation(m_db, audit, 2),
                                      120000);
    QCOMPARE(run.status, 0);
    QCOMPARE(QString::fromUtf8(run.err),
             u"qv12-chip: standard output was closed by its reader; nothing more is written there\n"_s);
    QCOMPARE(run.out.count('\n'), 2);
    const QList<QJsonObject> lines = auditLines(audit);
    QCOMPARE(lines.size(), 2);
    for (const QJsonObject &line : lines)
        QCOMPARE(line[u"result"_s].toString(), u"PASS"_s);
}

void TestChipToolLine::eachRecordOneWriteThenSync()
{
    // How each record reaches the disk: one write() (stations that share the file can't
    // interleave within it), then fsync, before anything else happens to the file.
    const QString audit = m_dir.filePath(u"watched.jsonl"_s);
    const QString calls = m_dir.filePath(u"watched.calls"_s);
    const ToolResult run = runProgram(QStringLiteral(QV12_CHIP_TOOL), simulatedStation(m_db, audit, 2), 120000,
                                      [&](QProcess &process) {
                                          QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                                          environment.insert(u"LD_PRELOAD"_s, QStringLiteral(QV12_SYSCALL_WATCH));
                                          environment.insert(u"QV12_WATCH_FILE"_s, audit);
                                          environment.insert(u"QV12_WATCH_LOG"_s, calls);
                                          // The sanitizers' runtime need not come first here.
                                          const QString asan = environment.value(u"ASAN_OPTIONS"_s);
                                          environment.insert(u"ASAN_OPTIONS"_s, asan + (asan.isEmpty() ? u""_s : u":"_s)
                                                                                    + u"verify_asan_link_order=0"_s);
                                          process.setProcessEnvironment(environment);
                                      });
    QCOMPARE(run.status, 0);
    QByteArray raw;
    const QList<QJsonObject> lines = auditLines(audit, &raw);
    QCOMPARE(lines.size(), 2);
    const QList<QByteArray> records = raw.split('\n');
    QCOMPARE(textOf(calls),
             u"write %1\nfsync\nwrite %2\nfsync\n"_s.arg(records.at(0).size() + 1).arg(records.at(1).size() + 1));
}

void TestChipToolLine::heldPortWhileLooking()
{
    // Without --com the station looks for its chip; a port held by another program
    // won't mend by waiting: port error, not "no chips" and success.
    SimulatedChip chip;
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink holder(ports);
    QVERIFY(holder.open(1, 9600, Handshake::DsrDtr));
    const ToolResult run = runChipTool(QStringList{u"--port"_s, u"1="_s + chip.devicePath(), u"--given-ports-only"_s}
                                       + lineArguments(m_db, m_dir.filePath(u"held.jsonl"_s)));
    QCOMPARE(run.status, 4);
    QVERIFY2(run.err.endsWith(u"qv12-chip: COM1 (%1): held by another program (process %2); close the program that "
                              "holds the port, such as a terminal program or ModemManager, and try again\n"_s
                                  .arg(chip.devicePath()).arg(QCoreApplication::applicationPid()).toUtf8()),
             run.err.constData());
    QCOMPARE(chip.received().bytes(), QByteArray());
}

void TestChipToolLine::severalStations()
{
    // Three simulated stations in one process, two chips each: one audit file and one
    // summary, every chip programmed once, and each line said with its COM number. The
    // stations find the chip's speed on their own ports.
    const QString audit = m_dir.filePath(u"stations.jsonl"_s);
    const ToolResult run = runChipTool(QStringList{u"--simulate-line"_s, u"3"_s} + lineArguments(m_db, audit)
                                       + QStringList{u"--count"_s, u"2"_s});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QVERIFY2(run.out.startsWith("Stations COM1 ("), run.out.constData());
    for (int com = 1; com <= 3; ++com) {
        for (int chip = 1; chip <= 2; ++chip) {
            QVERIFY2(run.out.contains(u"COM%1: Chip %2: PASS in "_s.arg(com).arg(chip).toUtf8()), run.out.constData());
        }
        QVERIFY(run.out.contains(u"COM%1: 2 chips, 2 passed, 0 failed.\n"_s.arg(com).toUtf8()));
    }
    QVERIFY(run.out.endsWith("Done: 6 chips, 6 passed, 0 failed.\n"));
    const QList<QJsonObject> lines = auditLines(audit);
    QCOMPARE(lines.size(), 6);
    QMultiMap<int, int> chips;  // COM number, chip number
    for (const QJsonObject &line : lines) {
        QCOMPARE(line.keys(), AuditKeys);
        QCOMPARE(line[u"result"_s].toString(), u"PASS"_s);
        QCOMPARE(line[u"settings"_s].toArray().size(), 13);
        chips.insert(line[u"port"_s].toInt(), line[u"chip"_s].toInt());
    }
    for (int com = 1; com <= 3; ++com) {
        QList<int> numbers = chips.values(com);
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers, (QList<int>{1, 2}));
    }
}

QTEST_GUILESS_MAIN(TestChipToolLine)
#include "tst_chiptoolline.moc"
