// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip's commands, each run as its own process against simulated chips through the
// real serial path: the test hosts the chips, the tool opens their pseudo-terminals.
// Standard output, the JSON results, the exit status and the chip's state afterwards.
#include "database/databasefile.h"
#include "database/defaultlist.h"
#include "serial/portmap.h"
#include "serial/seriallink.h"
#include "sim/simulatedchip.h"
#include "tests/common/files.h"
#include "tests/tools/chiptoolprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QSerialPort>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Factory = "KT 610-ST       QV12 FW 2.07";

// Arguments written as in a table: "program|--word|1111110000100000".
QStringList words(const QString &text)
{
    return text.isEmpty() ? QStringList() : text.split(u'|');
}

QStringList onChip(const SimulatedChip &chip, const QStringList &command, int speed = 9600)
{
    return QStringList{u"--port"_s, u"1="_s + chip.devicePath()} + command
        + QStringList{u"--com"_s, u"1"_s, u"--speed"_s, QString::number(speed)};
}

QStringList onChip(const SimulatedChip &chip, const QString &command, int speed = 9600)
{
    return onChip(chip, words(command), speed);
}

QString text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

// The bytes the chip received that were writes of settings (GS "SF").
int settingWrites(const SimulatedChip &chip)
{
    return int(chip.received().bytes().count("\x1dSF"));
}

// The wake-up bytes as the tool logged them, "COM1 57600, ...". A pseudo-terminal takes
// a wake-up byte at once and the port closes right after, sooner than the chip's thread
// may look at the line, so its speed is checked where the tool sent it.
QString wakeUpsLogged(const QString &logPath)
{
    QStringList wakeUps;
    const QRegularExpression sent(u"^ +\\d+\\.\\d{3}  (COM\\d) (\\d+) +-> 00 "_s);
    for (const QString &line : textOf(logPath).split(u'\n')) {
        if (const QRegularExpressionMatch m = sent.match(line); m.hasMatch())
            wakeUps << m.captured(1) + u' ' + m.captured(2);
    }
    return wakeUps.join(u", "_s);
}

// qv12-chip programming "DW 650-LV" (strobe negative, the chip's positive) on a terminal
// that script(1) gives it, so that it asks before it writes.
bool startOnTerminal(QProcess &terminal, const SimulatedChip &chip, const QString &database)
{
    const QStringList command = QStringList{QStringLiteral(QV12_CHIP_TOOL)}
        + onChip(chip, u"program|--handshake|dtr|--db|%1|--entry|'DW 650-LV'|--auto-identity"_s.arg(database));
    terminal.start(u"script"_s, {u"-qec"_s, u"exec "_s + command.join(u' '), u"/dev/null"_s});
    return terminal.waitForStarted();
}

} // namespace

Q_DECLARE_METATYPE(ChipFaults)

class TestChipTool final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void help();
    void refused_data();
    void refused();
    void ports();
    void detect_data();
    void detect();
    void detectFindsNothing();
    void detectNamesPortsPassedOver();
    void identify();
    void chipTextIsLatin1();
    void read();
    void programThenRead();
    void verify_data();
    void verify();
    void wrongEcho();
    void chipFails_data();
    void chipFails();
    void askedOnATerminal_data();
    void askedOnATerminal();
    void powerCommands();
    void wakeSaysWhereItWent();
    void simulateLeavesSystemPortsAlone();
    void log();
    void report();
    void interrupted();
    void heldUnderAnotherName();
    void lateReplyIsDropped();
    void bytesFromBeforeAreDropped();
    void entryAsStored();
    void floodedLogIsBounded();
    void deleteInHex();

private:
    QTemporaryDir m_dir;
    QString m_db;
};

void TestChipTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(u"default.cdb"_s);
    QVERIFY(put(m_dir.filePath(u"notes.txt"_s), "Not a database\n"));
    QVERIFY(put(m_db, encodeDatabase(defaultMechanisms() + QList<MechanismEntry>{{u"Odd"_s, EntryWord::fromText(u"1111110011100000"_s)}})));
    // A FIFO nobody writes or reads: opening it the usual way waits for ever; and a
    // device node (as root, the node of /dev/ttyUSB0 itself) that a file would replace.
    QVERIFY(makeFifo(m_dir.filePath(u"fifo"_s)));
    QVERIFY(::mknod(QFile::encodeName(m_dir.filePath(u"null-device"_s)).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);
    QVERIFY(QFile::link(m_db, m_dir.filePath(u"same.cdb"_s)));
}

void TestChipTool::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("problem");  // the first line on stderr, after "qv12-chip: "
    auto row = [](const char *name, const QString &args, const QString &problem) {
        QTest::newRow(name) << words(args) << problem;
    };
    const QString w = u"|1111110000100000"_s;
    const QString one = u"--identity NAME, --auto-identity"_s, config = u"--word W, --db FILE --entry NAME"_s;
    row("no command", {}, u"a command is needed"_s);
    row("unknown command", u"frobnicate"_s, u"unknown command \"frobnicate\""_s);
    row("two commands", u"read|verify"_s, u"unexpected argument \"verify\""_s);
    row("an option of another command", u"detect|--word"_s + w, u"--word does not apply to detect"_s);
    row("unknown option", u"read|--colour"_s, u"Unknown option 'colour'."_s);
    row("--com without --speed", u"read|--com|1"_s, u"--com and --speed go together"_s);
    row("a speed the chip has not", u"read|--com|1|--speed|1234"_s,
        u"--speed wants one of 1200, 2400, 4800, 9600, 19200, 28800, 38400, 57600, 115200, not \"1234\""_s);
    row("COM7", u"read|--com|7|--speed|9600"_s, u"--com wants a COM number from 1 to 6, not \"7\""_s);
    row("--handshake alone", u"read|--handshake|xon"_s, u"--handshake needs --com and --speed"_s);
    row("a handshake unknown", u"read|--com|1|--speed|9600|--handshake|rts"_s, u"--handshake is xon or dtr, not \"rts\""_s);
    row("an option twice", u"read|--json|--json"_s, u"--json is given twice"_s);
    row("no command, JSON asked for", u"--json"_s, u"a command is needed"_s);
    row("an unknown option, JSON asked for", u"--json|program|--colour"_s, u"Unknown option 'colour'."_s);
    row("a word missing, JSON asked for", u"line|--json|--db|x|--entry|e|--auto-identity"_s, u"line needs --audit FILE"_s);
    row("program without identity", u"program|--word"_s + w, u"program takes one of "_s + one);
    row("program with both identities", u"program|--word"_s + w + u"|--identity|A|--auto-identity"_s,
        u"program takes one of "_s + one);
    row("program without configuration", u"program|--identity|A"_s, u"program takes one of %1, --hardware"_s.arg(config));
    row("program with two configurations", u"program|--hardware|--word"_s + w + u"|--auto-identity"_s,
        u"program takes one of %1, --hardware"_s.arg(config));
    row("an empty identity", u"program|--word"_s + w + u"|--identity|"_s, u"--identity needs a name"_s);
    row("--db without --entry", u"verify|--db|x.cdb"_s, u"--db and --entry go together"_s);
    row("verify without a word", u"verify|--identity|A"_s, u"verify takes one of "_s + config);
    const QString line = u"line|--db|x|--entry|e|--auto-identity"_s;
    row("line without audit", line, u"line needs --audit FILE"_s);
    row("line with --count 0", line + u"|--audit|a|--count|0"_s, u"--count wants a number of chips from 1, not \"0\""_s);
    row("polarity neither", u"program|--hardware|--auto-identity|--polarity-mismatch|ask"_s,
        u"--polarity-mismatch is abort or continue, not \"ask\""_s);
    row("COM9", u"identify|--port|9=/dev/x"_s, u"--port 9=/dev/x: the port number in \"9=/dev/x\" must be 1 to 6"_s);
    row("COM1 taken by --simulate", u"identify|--simulate|--port|1=/dev/x"_s, u"--port 1=/dev/x: COM1 is taken by --simulate"_s);
    // Several stations: each COM number once, from 1 to 6, and not beside --com.
    row("a station twice", line + u"|--audit|a|--stations|1,2-3,2"_s, u"--stations 1,2-3,2: COM2 is given twice"_s);
    row("a station beyond COM6", line + u"|--audit|a|--stations|5-7"_s,
        u"--stations wants COM numbers from 1 to 6, such as 1,2,3 or 1-6, not \"5-7\""_s);
    row("stations and a COM number", line + u"|--audit|a|--stations|1,2|--com|1|--speed|9600"_s,
        u"--stations and --com do not go together: --stations names each station's COM number"_s);
    row("seven simulated stations", u"--simulate-line|7|"_s + line + u"|--audit|a"_s,
        u"--simulate-line wants a number of stations from 1 to 6, not \"7\""_s);
    row("stations for another command", u"read|--stations|1,2"_s, u"--stations does not apply to read"_s);
    row("COM2 taken by --simulate-line", u"identify|--simulate-line|2|--port|2=/dev/x"_s,
        u"--port 2=/dev/x: COM2 is taken by --simulate-line"_s);
}

void TestChipTool::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, problem);
    const ToolResult run = runChipTool(args);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(u"qv12-chip: %1\n\nUsage: qv12-chip [OPTIONS] COMMAND"_s.arg(problem).toUtf8()),
             run.err.constData());
    if (!args.contains(u"--json"_s)) {
        QCOMPARE(run.out, QByteArray());
        return;
    }
    // A script that asked for JSON gets its one object, the usage error included, with
    // the command when one was named.
    const auto named = std::find_if(args.cbegin(), args.cend(), [](const QString &a) {
        return a == u"read"_s || a == u"program"_s || a == u"line"_s;
    });
    const QJsonValue command = named == args.cend() ? QJsonValue(QJsonValue::Null) : QJsonValue(*named);
    const QList<QJsonObject> objects = jsonLines(run.out);
    QCOMPARE(objects.size(), 1);
    QCOMPARE(objects.first(), (QJsonObject{{u"command"_s, command}, {u"status"_s, 2}, {u"error"_s, problem}}));
    QCOMPARE(run.out.count('\n'), 1);
}

void TestChipTool::help()
{
    const ToolResult help = runChipTool({u"--help"_s});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.startsWith("Usage: qv12-chip [OPTIONS] COMMAND [COMMAND OPTIONS]\n"));
    QCOMPARE(help.err, QByteArray());
    // A usage error ends with the same text.
    const ToolResult wrong = runChipTool({u"frobnicate"_s});
    QCOMPARE(wrong.err.mid(wrong.err.indexOf("Usage:")), help.out);
    const ToolResult version = runChipTool({u"--version"_s});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QByteArray("qv12-chip " QV12_REVISION "\n"));
}

void TestChipTool::refused_data()
{
    // DB stands for the database's path, DIR for the test's folder.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    auto row = [](const char *name, const QString &args, int status, const QString &error) {
        QTest::newRow(name) << words(args) << status << error;
    };
    const QString line = u"line|--db|DB|--entry|KT 620-ST|--auto-identity|--audit|"_s;
    const QString giveDatabase = u"give a configuration database (qv12-cdb builtin FILE writes the built-in one)"_s;
    const QString giveFile = u"give a file in a folder you can write to"_s;
    const QString ownLog = u"give the log a file of its own"_s;
    row("not a word", u"program|--word|1111110000100002|--auto-identity"_s, 2,
        u"\"1111110000100002\" is not a configuration word (16 characters of 0 and 1)"_s);
    row("an unknown head type", u"program|--word|1111111000100000|--auto-identity"_s, 2,
        u"the word 1111111000100000 has an unknown code 11 for head type"_s);
    row("PNX mode", u"verify|--word|0111110000100000"_s, 2,
        u"the chip would hold the word 0111110000100000 as 1111110000100000 (position 1 is always 1, "
        "positions 13 to 16 always 0)"_s);
    row("a missing database", u"program|--db|DIR/none.cdb|--entry|X|--auto-identity"_s, 5,
        u"DIR/none.cdb: No such file or directory; "_s + giveDatabase);
    row("not a database", u"verify|--db|DIR/notes.txt|--entry|X"_s, 5,
        u"DIR/notes.txt: not a configuration database (it does not start with "_s);
    row("no such entry", u"program|--db|DB|--entry|kt 620-st|--auto-identity"_s, 5,
        u"DB: no entry named \"kt 620-st\" (names match exactly; qv12-cdb list DB shows them)"_s);
    row("an entry the chip can't hold", u"verify|--db|DB|--entry|Odd"_s, 5,
        u"DB: the entry \"Odd\" can't be programmed: the word 1111110011100000 has an unknown code 111 for head "
        "width; correct it with qv12-cdb add"_s);
    row("an audit file in no folder", line + u"DIR/no/audit.jsonl"_s, 5,
        u"DIR/no/audit.jsonl: cannot append the audit lines: No such file or directory; "_s + giveFile);
    row("a log in no folder", u"identify|--log|DIR/no/log.txt"_s, 5,
        u"DIR/no/log.txt: cannot write the log: No such file or directory; "_s + giveFile);

    // What is not a file is refused at once, without waiting for a FIFO's other end.
    row("a database that is a FIFO", u"verify|--db|DIR/fifo|--entry|X"_s, 5,
        u"DIR/fifo: it is a FIFO, not a regular file; "_s + giveDatabase);
    row("an audit file that is a FIFO", line + u"DIR/fifo"_s, 5,
        u"DIR/fifo: cannot append the audit lines: it is a FIFO, not a regular file; "_s + giveFile);
    row("a log that is a FIFO", u"identify|--log|DIR/fifo"_s, 5,
        u"DIR/fifo: cannot write the log: it is a FIFO, not a regular file; "_s + giveFile);
    row("a log that is a folder", u"identify|--log|DIR"_s, 5,
        u"DIR: cannot write the log: it is a folder, not a regular file; "_s + giveFile);

    // The log never goes into a file the run reads or writes, whatever its name.
    row("a log that is the database", u"program|--db|DB|--entry|KT 620-ST|--auto-identity|--log|DB"_s, 2,
        u"--log DB: that is also the database given with --db; "_s + ownLog);
    row("a log that is the database under another name", u"verify|--db|DB|--entry|KT 620-ST|--log|DIR/same.cdb"_s, 2,
        u"--log DIR/same.cdb: that is also the database given with --db; "_s + ownLog);
    row("a log that is the audit file", line + u"DIR/new.jsonl|--log|DIR/./new.jsonl"_s, 2,
        u"--log DIR/./new.jsonl: that is also the audit file given with --audit; "_s + ownLog);
    row("an audit file that is the database", line + u"DIR/same.cdb"_s, 2,
        u"--audit DIR/same.cdb: that is also the database given with --db; give the records a file of their own"_s);
    row("a log that is the report", u"report|DIR/report.txt|--log|DIR/report.txt"_s, 2,
        u"--log DIR/report.txt: that is also the report's file; "_s + ownLog);

    // An identity is printable text: control characters would reach the chip raw.
    row("an identity with a newline", u"program|--word|1111110000100000|--identity|KT\n620"_s, 2,
        u"--identity \"KT\\x0A620\": an identity is printable text, without control characters"_s);
    row("an identity that clears a screen", u"line|--db|DB|--entry|KT 620-ST|--identity|KT\x1b[2J|--audit|DIR/clear.jsonl"_s, 2,
        u"--identity \"KT\\x1B[2J\": an identity is printable text, without control characters"_s);

    // A report over a FIFO or a device node would replace it with a file: refused, and
    // it stays what it was.
    row("a report over a FIFO", u"report|DIR/fifo|--handshake|dtr"_s, 5, u"DIR/fifo: not written: it is a FIFO, not a regular file"_s);
    row("a report over a device", u"report|DIR/null-device|--handshake|dtr"_s, 5,
        u"DIR/null-device: not written: it is a device, not a regular file"_s);
    row("a report in no folder", u"report|DIR/missing/report.txt|--given-ports-only|--handshake|dtr"_s, 5,
        u"DIR/missing/report.txt: not written: "_s);
}

void TestChipTool::refused()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, error);
    SimulatedChip chip;
    args.replaceInStrings(u"DIR"_s, m_dir.path()).replaceInStrings(u"DB"_s, m_db);
    const QByteArray stored = contents(m_db);
    const ToolResult run = runChipTool(onChip(chip, args), 20000);
    QCOMPARE(run.status, status);
    const QString line = u"qv12-chip: "_s + error.replace(u"DIR"_s, m_dir.path()).replace(u"DB"_s, m_db);
    if (line.endsWith(u' '))  // its start: one line
        QVERIFY2(text(run.err).startsWith(line) && run.err.count('\n') == 1, run.err.constData());
    else
        QCOMPARE(text(run.err), line + u'\n');
    QCOMPARE(run.out, QByteArray());
    // Refused before the port (a report asks the chip first): the chip heard nothing, and
    // no file was touched.
    if (args.first() != u"report"_s)
        QCOMPARE(chip.received().bytes(), QByteArray());
    QCOMPARE(contents(m_db), stored);
    QVERIFY(!QFile::exists(m_dir.filePath(u"new.jsonl"_s)) && !QFile::exists(m_dir.filePath(u"report.txt"_s)));
    QCOMPARE(fileType(m_dir.filePath(u"fifo"_s)), mode_t(S_IFIFO));
    QCOMPARE(fileType(m_dir.filePath(u"null-device"_s)), mode_t(S_IFCHR));
}

void TestChipTool::ports()
{
    // Listing opens nothing; without a port it is still one valid JSON object.
    SimulatedChip chip;
    const QString gone = m_dir.filePath(u"unplugged"_s);
    const QString args = u"--port|1=%1|--port|3=%2|--given-ports-only|ports"_s.arg(chip.devicePath(), gone);
    const ToolResult listed = runChipTool(words(args));
    QCOMPARE(listed.status, 0);
    QCOMPARE(text(listed.out), u"COM1  %1\nCOM3  %2  not present\n"_s.arg(chip.devicePath(), gone));
    const ToolResult json = runChipTool(words(args + u"|--json"_s));
    QCOMPARE(json.status, 0);
    const QList<QJsonObject> objects = jsonLines(json.out);
    QCOMPARE(objects.size(), 2);
    for (const QJsonObject &o : objects) {
        QCOMPARE(o.keys(), words(u"command|description|device|held_by|manufacturer|port|present|product_id|"
                                 "serial_number|status|vendor_id"_s));
    }
    const QJsonObject common{{u"command"_s, u"ports"_s}, {u"held_by"_s, QJsonValue()}};
    compareFields(objects.at(0), {{u"port"_s, 1}, {u"device"_s, chip.devicePath()}, {u"present"_s, true}});
    compareFields(objects.at(1), {{u"port"_s, 3}, {u"present"_s, false}});
    compareFields(objects.at(0), common);
    compareFields(objects.at(1), common);
    QCOMPARE(chip.received().size(), 0);
    const ToolResult none = runChipTool(words(u"--given-ports-only|ports|--json"_s));
    QCOMPARE(none.status, 0);
    QCOMPARE(none.out, QByteArray("{\"command\":\"ports\",\"status\":0}\n"));
}

void TestChipTool::detect_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("speeds");  // at which COM1 is probed
    QTest::newRow("scan") << QString() << 9;
    QTest::newRow("narrowed to 19200") << u"|--speed|19200|--json"_s << 1;
}

void TestChipTool::detect()
{
    // The scan as "Autodetect Chipset" goes: COM1 stays silent at every speed, the chip
    // on COM2 answers at 19200; the wake-up reaches both at 57600 first.
    QFETCH(QString, options);
    QFETCH(int, speeds);
    SimulatedChip silent;
    silent.setSilent(true);
    const bool narrowed = speeds == 1;
    SimulatedChip chip(19200, narrowed ? SimulatedChip::Handshake::XonXoff : SimulatedChip::Handshake::DsrDtr);
    const QString log = m_dir.filePath(u"detect-%1.log"_s.arg(speeds));
    const ToolResult run = runChipTool(words(u"--port|1=%1|--port|2=%2|--given-ports-only|detect|--log|%3"_s
                                                 .arg(silent.devicePath(), chip.devicePath(), log) + options));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    if (narrowed) {
        QCOMPARE(jsonLines(run.out), (QList<QJsonObject>{{{u"command"_s, u"detect"_s}, {u"device"_s, chip.devicePath()},
            {u"handshake"_s, u"Xon-Xoff"_s}, {u"identity"_s, QString::fromLatin1(Factory)}, {u"name"_s, u"KT 610-ST"_s},
            {u"port"_s, 2}, {u"speed"_s, 19200}, {u"status"_s, 0}}}));
    } else {
        QCOMPARE(text(run.out), u"port:       COM2 (%1)\nspeed:      19200 bauds\nhandshake:  DSR/DTR Mode\n"
                                "identity:   KT 610-ST       QV12 FW 2.07\n"_s.arg(chip.devicePath()));
    }
    QCOMPARE(wakeUpsLogged(log), u"COM1 57600, COM2 57600"_s);
    QTRY_COMPARE(silent.received().bytes(), QByteArray(1, '\0') + "\x1bv"_ba.repeated(speeds));
    QSet<int> heard;
    for (const TranscriptEntry &e : silent.received().entries().mid(1))
        heard.insert(e.line.speed);
    QCOMPARE(heard.size(), speeds);
    QVERIFY(!narrowed || heard == QSet<int>{19200});
}

void TestChipTool::detectFindsNothing()
{
    SimulatedChip silent;
    silent.setSilent(true);
    const ToolResult scan = runChipTool(words(u"--port|1=%1|--given-ports-only|detect|--com|1|--json"_s.arg(silent.devicePath())));
    QCOMPARE(scan.status, 1);
    QCOMPARE(text(scan.err), u"qv12-chip: no chip answered on COM1 (%1) at any speed; check the chip's power and "
                             "cable\n"_s.arg(silent.devicePath()));
    QCOMPARE(jsonLines(scan.out), (QList<QJsonObject>{{{u"command"_s, u"detect"_s}, {u"status"_s, 1},
                                                        {u"error"_s, text(scan.err).mid(11).trimmed()}}}));
}

// A device given with --port that is not there, or that is no serial device, is named
// when the scan passes over it; with nothing else to scan, it is the port error.
void TestChipTool::detectNamesPortsPassedOver()
{
    const QString gone = m_dir.filePath(u"ttyUSB5"_s);
    const QString notATty = m_dir.filePath(u"plain-file"_s);
    QVERIFY(put(notATty, "text\n"));
    const QString goneLine = u"COM2 (%1): the device is not there; check that the serial adapter is plugged in and "
                             "that COM2 is its number (qv12-chip ports lists them, --port N=DEVICE sets one)"_s.arg(gone);
    const ToolResult found = runChipTool(words(u"--simulate|--port|2=%1|--port|3=%2|detect"_s.arg(gone, notATty)));
    QCOMPARE(found.status, 0);
    QVERIFY(found.out.startsWith("port:       COM1 ("));
    const QStringList notes = text(found.err).split(u'\n');
    QCOMPARE(notes.size(), 3);
    QVERIFY2(notes.at(0).startsWith(u"qv12-chip: the scan passed over COM3 (%1): "_s.arg(notATty)), qPrintable(notes.at(0)));
    QCOMPARE(notes.at(1), u"qv12-chip: the scan passed over "_s + goneLine);

    const ToolResult nothing = runChipTool(words(u"--port|2=%1|--given-ports-only|detect"_s.arg(gone)));
    QCOMPARE(nothing.status, 4);
    QCOMPARE(text(nothing.err), u"qv12-chip: "_s + goneLine + u'\n');
    QCOMPARE(nothing.out, QByteArray());
}

void TestChipTool::identify()
{
    // Asked once to find its handshake (ESC "I", probe, setting 28, CAN), once for the
    // text; with the handshake given nothing else is sent.
    SimulatedChip chip;
    SimulatedChip other;
    const QList<ToolResult> runs = runChipTools({onChip(chip, u"identify"_s), onChip(other, u"identify|--handshake|dtr|--json"_s)});
    QCOMPARE(runs.at(0).status, 0);
    QCOMPARE(runs.at(0).out, Factory + '\n');
    QCOMPARE(runs.at(0).err, QByteArray());
    QTRY_COMPARE(chip.received().bytes(), QByteArray("\x1bI\x1bv\x1dSf\x1c\x18\x1bI"));
    QCOMPARE(runs.at(1).status, 0);
    QTRY_COMPARE(other.received().bytes(), QByteArray("\x1bI"));
    const QJsonObject o = jsonLines(runs.at(1).out).value(0);
    QCOMPARE(o.keys(), words(u"command|device|handshake|identity|port|speed|status"_s));
    compareFields(o, {{u"identity"_s, QString::fromLatin1(Factory)}, {u"handshake"_s, u"DSR/DTR Mode"_s},
                      {u"device"_s, other.devicePath()}});
}

void TestChipTool::chipTextIsLatin1()
{
    // The chip's bytes are ISO 8859-1: é is 0xE9; a control character stays on its line.
    ChipFaults faults;
    faults.identityReply = QByteArray("Caf\xe9\x07 KT");
    SimulatedChip chip;
    chip.setFaults(faults);
    SimulatedChip other;
    other.setFaults(faults);
    const QList<ToolResult> runs = runChipTools({onChip(chip, u"identify|--handshake|xon"_s),
                                                 onChip(other, u"identify|--handshake|xon|--json"_s)});
    QCOMPARE(runs.at(0).status, 0);
    QCOMPARE(runs.at(0).out, QByteArray("Caf\xc3\xa9\\x07 KT\n"));
    QVERIFY2(runs.at(1).out.contains(R"("identity":"Caf)" "\xc3\xa9" R"(\u0007 KT")"), runs.at(1).out.constData());
    QCOMPARE(jsonLines(runs.at(1).out).value(0)[u"identity"_s].toString(), u"Caf\u00e9\u0007 KT"_s);
}

void TestChipTool::read()
{
    SimulatedChip chip;
    const ToolResult run = runChipTool(onChip(chip, u"read|--handshake|dtr"_s));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.out, QByteArray("configuration mode:      Software\n"
                                 "identity determination:  User\n"
                                 "configuration word:      1111110000100000\n"
                                 "  logic voltage:     5 V\n"
                                 "  mechanism:         Standard\n"
                                 "  motor steps:       1 step per dot line\n"
                                 "  motor rotation:    inverted\n"
                                 "  head type:         ST (standard)\n"
                                 "  strobe polarity:   positive\n"
                                 "  head width:        2 inch normal, 384 pixels\n"
                                 "  head-up polarity:  normal\n"
                                 "mechanism identity:      KT 610-ST\n"
                                 "identity:                KT 610-ST       QV12 FW 2.07\n"
                                 "detected polarity:       positive\n"));
    // Check configuration's four requests on one open, then the detected polarity.
    QTRY_COMPARE(chip.received().bytes(), QByteArray("\x1dSf\x06\x1dSf\x09\x1dSC\x1bI\x1dSh"));
}

void TestChipTool::programThenRead()
{
    SimulatedChip chip;
    const ToolResult program = runChipTool(onChip(chip, u"program|--db|%1|--entry|KT 620-ST|--identity|KT 620-ST"_s.arg(m_db)));
    QCOMPARE(program.status, 0);
    QCOMPARE(program.err, QByteArray());
    QCOMPARE(program.out, QByteArray("Wrote 13 settings; the chip echoed each one.\n"
                                     "New identity: KT 620-ST       QV12 FW 2.07\n"
                                     "Read back:\n"
                                     "configuration mode      Software              PASS\n"
                                     "logic voltage           5 V                   PASS\n"
                                     "mechanism               Standard              PASS\n"
                                     "motor steps             1 step per dot line   PASS\n"
                                     "motor rotation          normal                PASS\n"
                                     "head type               ST (standard)         PASS\n"
                                     "strobe polarity         positive              PASS\n"
                                     "head width              3 inch, 576 pixels    PASS\n"
                                     "head-up polarity        normal                PASS\n"
                                     "identity determination  User                  PASS\n"
                                     "mechanism identity      KT 620-ST             PASS\n"
                                     "Result: PASS\n"));
    // What the chip holds: Software mode, bytes 0xF4 0x60, the name and its closing 0.
    QCOMPARE(chip.settings().mid(6, 13), QByteArray("\x01\xF4\x60KT 620-ST\0", 13));
    QCOMPARE(settingWrites(chip), 13);

    const ToolResult read = runChipTool(onChip(chip, u"read|--json"_s));
    QCOMPARE(read.status, 0);
    const QJsonObject o = jsonLines(read.out).value(0);
    QCOMPARE(o.keys(), words(u"command|detected_polarity|device|fields|handshake|identity|identity_determination|"
                             "mechanism_identity|mode|port|speed|status|word"_s));
    compareFields(o, {{u"word"_s, u"1111010001100000"_s}, {u"mode"_s, u"Software"_s},
                      {u"identity_determination"_s, u"User"_s}, {u"mechanism_identity"_s, u"KT 620-ST"_s},
                      {u"identity"_s, u"KT 620-ST       QV12 FW 2.07"_s}, {u"detected_polarity"_s, 0}});
    const QJsonArray fields = o[u"fields"_s].toArray();
    QCOMPARE(fields.size(), 8);
    QCOMPARE(fields.at(6).toObject(), (QJsonObject{{u"field"_s, u"head width"_s}, {u"meaning"_s, u"3 inch, 576 pixels"_s},
                                                    {u"known"_s, true}}));
}

void TestChipTool::verify_data()
{
    QTest::addColumn<QStringList>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("what it holds")
        << QStringList{u"--word"_s, u"1111110000100000"_s, u"--identity"_s, u"KT 610-ST"_s} << 0
        << QByteArray("configuration mode      Software                    PASS\n"
                      "logic voltage           5 V                         PASS\n"
                      "mechanism               Standard                    PASS\n"
                      "motor steps             1 step per dot line         PASS\n"
                      "motor rotation          inverted                    PASS\n"
                      "head type               ST (standard)               PASS\n"
                      "strobe polarity         positive                    PASS\n"
                      "head width              2 inch normal, 384 pixels   PASS\n"
                      "head-up polarity        normal                      PASS\n"
                      "identity determination  User                        PASS\n"
                      "mechanism identity      KT 610-ST                   PASS\n"
                      "Result: PASS\n");
    QTest::newRow("another entry")
        << QStringList{u"--db"_s, u"DB"_s, u"--entry"_s, u"KT 620-ST"_s} << 3
        << QByteArray("configuration mode      Software              PASS\n"
                      "logic voltage           5 V                   PASS\n"
                      "mechanism               Standard              PASS\n"
                      "motor steps             1 step per dot line   PASS\n"
                      "motor rotation          normal                FAIL: reads inverted\n"
                      "head type               ST (standard)         PASS\n"
                      "strobe polarity         positive              PASS\n"
                      "head width              3 inch, 576 pixels    FAIL: reads 2 inch normal, 384 pixels\n"
                      "head-up polarity        normal                PASS\n"
                      "Result: FAIL\n");
}

void TestChipTool::verify()
{
    QFETCH(QStringList, target);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    SimulatedChip chip;
    SimulatedChip other;
    const QStringList args = QStringList{u"verify"_s} + target.replaceInStrings(u"DB"_s, m_db);
    const QList<ToolResult> runs = runChipTools({onChip(chip, args), onChip(other, args + QStringList{u"--json"_s})});
    QCOMPARE(runs.at(0).status, status);
    QCOMPARE(runs.at(0).out, out);
    if (status == 3) {
        QCOMPARE(text(runs.at(0).err), u"qv12-chip: COM1 (%1): the chip differs from what it should hold (motor "
                                       "rotation, head width); qv12-chip program sets it\n"_s.arg(chip.devicePath()));
    }
    QCOMPARE(settingWrites(chip), 0);  // only read
    QCOMPARE(runs.at(1).status, status);
    const QJsonObject o = jsonLines(runs.at(1).out).value(0);
    compareFields(o, {{u"result"_s, status == 0 ? u"PASS"_s : u"FAIL"_s}, {u"status"_s, status}});
    const QJsonArray checks = o[u"checks"_s].toArray();
    QCOMPARE(checks.size(), out.count('\n') - 1);
    QCOMPARE(checks.at(0).toObject().keys(), words(u"actual|check|expected|ok"_s));
    if (status == 3) {
        QCOMPARE(checks.at(4).toObject(), (QJsonObject{{u"check"_s, u"motor rotation"_s}, {u"expected"_s, u"normal"_s},
                                                        {u"actual"_s, u"inverted"_s}, {u"ok"_s, false}}));
        QCOMPARE(o[u"entry"_s].toString(), u"KT 620-ST"_s);
    }
}

void TestChipTool::wrongEcho()
{
    // The chip stores the setting but echoes something else: programming goes on, and
    // the echo alone makes it a failure, though the chip reads back right.
    SimulatedChip chip;
    ChipFaults faults;
    faults.wrongEcho.insert(6, 0x55);
    chip.setFaults(faults);
    const ToolResult run = runChipTool(onChip(chip, u"program|--hardware|--auto-identity|--handshake|dtr|--json"_s));
    QCOMPARE(run.status, 3);
    QCOMPARE(text(run.err), u"qv12-chip: COM1 (%1): the chip echoed 1 of 2 settings wrong (setting 6); check the cable "
                            "and the chip's power, then program it again\n"_s.arg(chip.devicePath()));
    const QJsonObject o = jsonLines(run.out).value(0);
    QCOMPARE(o.keys(), words(u"checks|command|detected_polarity|device|entry|error|handshake|identity_after|"
                             "identity_written|port|result|settings|settings_total|speed|status|word"_s));
    const QJsonObject setting6{{u"setting"_s, 6}, {u"value"_s, 0}, {u"echo"_s, 0x55}, {u"ok"_s, false}};
    const QJsonObject setting9{{u"setting"_s, 9}, {u"value"_s, 0}, {u"echo"_s, 0}, {u"ok"_s, true}};
    compareFields(o, {{u"result"_s, u"FAIL"_s}, {u"status"_s, 3}, {u"settings"_s, QJsonArray{setting6, setting9}},
                      {u"settings_total"_s, 2}, {u"word"_s, QJsonValue()}, {u"detected_polarity"_s, QJsonValue()},
                      {u"identity_after"_s, QString::fromLatin1(chip.identity())}});
    QVERIFY(chip.identity().startsWith("AUTO "));
    // Hardware mode and the automatic identity, as read back.
    QCOMPARE(o[u"checks"_s].toArray().size(), 2);
    QCOMPARE(chip.setting(6), quint8(0));
}

// A chip that fails the command part way or answers wrong: the status, the message and
// what was printed (all of it, or "..." and a part), and what the chip heard or holds
// (settings as "n:XX").
void TestChipTool::chipFails_data()
{
    QTest::addColumn<ChipFaults>("faults");
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");  // DEV: the chip's device
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("heard");
    QTest::addColumn<QString>("holds");
    ChipFaults silent;
    silent.silent = true;
    // Nothing answers on the line given: no chip (1), not a mismatch (3), so that a line
    // script does not take a dead chip for one to program again.
    QTest::newRow("silent chip, program") << silent << u"program|--hardware|--auto-identity|--handshake|dtr"_s << 1
        << u"COM1 (DEV) at 9600 bauds: no answer from the chip; check its power and cable, and the speed"_s
        << QByteArray("...") << QByteArray() << QString();
    // On one known line the chip is asked for its identity and its handshake.
    QTest::newRow("silent chip, identify") << silent << u"identify"_s << 1
        << u"COM1 (DEV) at 9600 bauds: no chip answered the identity request; check the chip's power and cable and the "
           "speed, or let qv12-chip detect find it"_s << QByteArray() << QByteArray() << QString();
    ChipFaults cut;
    cut.configReplyLength = 3;  // no configuration word
    QTest::newRow("configuration reply of 3 bytes") << cut << u"read|--handshake|dtr"_s << 1
        << u"COM1 (DEV): the chip's configuration reply was 3 bytes long, not 2 or 4; check the cable and read it again"_s
        << QByteArray("...configuration word:      no valid answer\nmechanism identity:      KT 610-ST\n")
        << QByteArray() << QString();
    // The cable goes after the polarity request (3 bytes) and three settings (5 bytes
    // each); the third setting's echo never comes, the identity is not reached.
    ChipFaults pulled;
    pulled.unplugAfterBytes = 18;
    QTest::newRow("cable pulled") << pulled << u"program|--db|DB|--entry|KT 620-ST|--identity|KT 620-ST|--handshake|dtr"_s
        << 4 << u"COM1 (DEV): the device went away during the exchange; check the cable and the serial adapter, then "
                 "run the command again"_s
        << QByteArray("Wrote 3 of 13 settings before it stopped: the chip is partly programmed.\n"
                      "  setting 8: wrote 0x60, no echo\nResult: FAIL\n")
        << QByteArray() << u"6:01 7:F4 9:4B 10:54"_s;
    // DW 650-LV has a negative strobe; the chip's hardware detects a positive one.
    const QString polarity = u"program|--db|DB|--entry|DW 650-LV|--auto-identity|--handshake|dtr"_s;
    const QString difference = u"the chip detects strobe polarity positive, the configuration has negative"_s;
    const QByteArray nothing = "Nothing was written: the chip is as it was.\nResult: FAIL\n";
    const QString aborted = u"COM1 (DEV): %1; nothing was written (--polarity-mismatch continue programs it anyway)"_s;
    QTest::newRow("polarity, no option, no terminal") << ChipFaults() << polarity << 3 << aborted.arg(difference)
                                                      << nothing << QByteArray("\x1dSh") << QString();
    QTest::newRow("polarity, abort") << ChipFaults() << polarity + u"|--polarity-mismatch|abort"_s << 3
                                     << aborted.arg(difference) << nothing << QByteArray("\x1dSh") << QString();
    QTest::newRow("polarity, continue") << ChipFaults() << polarity + u"|--polarity-mismatch|continue"_s << 0
        << u"%1; programming all the same (--polarity-mismatch continue)"_s.arg(difference)
        << QByteArray("...strobe polarity         negative                    PASS\n") << QByteArray() << u"7:C1"_s;
}

void TestChipTool::chipFails()
{
    QFETCH(ChipFaults, faults);
    QFETCH(QString, args);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, heard);
    QFETCH(QString, holds);
    SimulatedChip chip;
    chip.setFaults(faults);
    const ToolResult run = runChipTool(onChip(chip, args.replace(u"DB"_s, m_db)));
    QCOMPARE(run.status, status);
    QCOMPARE(text(run.err), u"qv12-chip: "_s + error.replace(u"DEV"_s, chip.devicePath()) + u'\n');
    if (out.startsWith("..."))
        QVERIFY2(run.out.contains(out.mid(3)), run.out.constData());
    else
        QCOMPARE(run.out, out);
    if (!heard.isEmpty())
        QTRY_COMPARE(chip.received().bytes(), heard);
    for (const QString &setting : holds.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList n = setting.split(u':');
        QCOMPARE(chip.setting(n.at(0).toInt()), quint8(n.at(1).toUInt(nullptr, 16)));
    }
}

void TestChipTool::askedOnATerminal_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::newRow("yes") << QByteArray("y\n") << 0;
    QTest::newRow("no") << QByteArray("n\n") << 3;
    QTest::newRow("Ctrl-C") << QByteArray("\x03") << 130;
}

void TestChipTool::askedOnATerminal()
{
    // On a terminal (script(1) gives the tool one) the question is asked and answered,
    // and programming shows its progress on one line of stderr. Ctrl-C at the question:
    // nothing has been written, and that is the one thing said.
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    SimulatedChip chip;
    QProcess terminal;
    QByteArray screen;
    QObject::connect(&terminal, &QProcess::readyRead, &terminal, [&] { screen += terminal.readAll(); });
    QVERIFY(startOnTerminal(terminal, chip, m_db));
    QVERIFY(QTest::qWaitFor([&] { return screen.contains("Program anyway? [y/N] "); }, 30000));
    terminal.write(answer);
    QVERIFY(terminal.waitForFinished(60000));
    screen += terminal.readAll();
    QCOMPARE(terminal.exitCode(), status);
    const auto shows = [&](const QString &what) { return screen.contains(what.arg(chip.devicePath()).toUtf8()); };
    QVERIFY2(shows(u"COM1 (%1): the chip detects strobe polarity positive, the configuration has negative. Program "
                   "anyway? [y/N] "_s), screen.constData());
    if (status == 0) {
        QVERIFY(shows(u"\rprogramming COM1 (%1): setting 4 of 4\x1b[K"_s));
        QVERIFY(screen.contains("Result: PASS"));
        QCOMPARE(chip.setting(7), quint8(0xC1));
        return;
    }
    QVERIFY2(screen.contains("Nothing was written: the chip is as it was."), screen.constData());
    QTRY_COMPARE(chip.received().bytes(), QByteArray("\x1dSh"));
    if (status == 130) {
        QVERIFY2(shows(u"qv12-chip: interrupted; nothing was written to the chip on COM1 (%1)"_s), screen.constData());
        QVERIFY(!screen.contains("partly programmed"));
    }
}

void TestChipTool::powerCommands()
{
    SimulatedChip chip;
    const ToolResult sleep = runChipTool(onChip(chip, u"sleep|--handshake|dtr"_s));
    QCOMPARE(sleep.status, 0);
    QCOMPARE(text(sleep.out), u"Sent sleep to COM1 (%1).\n"_s.arg(chip.devicePath()));
    QTRY_COMPARE(chip.received().bytes(), QByteArray("\x18\x1bS\x18"));
    QTRY_VERIFY(chip.isAsleep());

    chip.clearTranscript();
    const ToolResult wake = runChipTool(onChip(chip, u"wake|--json|--given-ports-only|--handshake|dtr"_s));
    QCOMPARE(wake.status, 0);
    QTRY_COMPARE(chip.received().bytes(), QByteArray("\0\x18", 2));
    QVERIFY(!chip.isAsleep());
    compareFields(jsonLines(wake.out).value(0), {{u"port"_s, 1}, {u"woken"_s, QJsonArray{1}}});

    chip.clearTranscript();
    const ToolResult reset = runChipTool(onChip(chip, u"reset|--handshake|dtr"_s));
    QCOMPARE(reset.status, 0);
    QCOMPARE(text(reset.out), u"Sent reset to COM1 (%1).\n"_s.arg(chip.devicePath()));
    QTRY_COMPARE(chip.received().bytes(), QByteArray("\x1b@"));
}

// The wake-up names the ports it reached and those it could not, with why: a file that
// is no serial device (root can't open it either) and a device that isn't there. One that
// reached no port is a port error.
void TestChipTool::wakeSaysWhereItWent()
{
    SimulatedChip chip;
    const QString notATty = m_dir.filePath(u"not-a-tty"_s);
    QVERIFY(put(notATty, "text\n"));
    const QString gone = m_dir.filePath(u"ttyUSB7"_s);
    const QString notReached = u"qv12-chip: the wake-up byte did not reach "_s;
    const QString notReached2 = u"COM2 (%1): "_s.arg(notATty);
    const QString notReached3 = u"COM3 (%1): the device is not there; check that the serial adapter is plugged in and "
                                "that COM3 is its number (qv12-chip ports lists them, --port N=DEVICE sets one)"_s.arg(gone);
    // Both ports' reasons, one line each.
    const auto saysWhy = [&](const QByteArray &err) {
        const QStringList notes = text(err).split(u'\n');
        QCOMPARE(notes.size(), 3);
        QVERIFY2(notes.at(0).startsWith(notReached + notReached2), qPrintable(notes.at(0)));
        QCOMPARE(notes.at(1), notReached + notReached3);
    };
    const QString ports = u"--port|2=%1|--port|3=%2|--given-ports-only|wake"_s.arg(notATty, gone);
    const QStringList withChip{u"--port"_s, u"1="_s + chip.devicePath()};

    const ToolResult some = runChipTool(withChip + words(ports));
    QCOMPARE(some.status, 0);
    QCOMPARE(text(some.out), u"Sent the wake-up byte to COM1 (%1).\n"_s.arg(chip.devicePath()));
    saysWhy(some.err);
    QTRY_COMPARE(chip.received().bytes(), QByteArray(1, '\0'));

    const ToolResult json = runChipTool(withChip + words(ports + u"|--json"_s));
    QCOMPARE(json.status, 0);
    const QJsonObject o = jsonLines(json.out).value(0);
    QCOMPARE(o[u"woken"_s].toArray(), QJsonArray{1});
    const QJsonArray missed = o[u"not_reached"_s].toArray();
    QCOMPARE(missed.size(), 2);
    compareFields(missed.at(0).toObject(), {{u"port"_s, 2}, {u"device"_s, notATty}});
    QVERIFY(missed.at(0)[u"error"_s].toString().startsWith(notReached2));
    compareFields(missed.at(1).toObject(), {{u"port"_s, 3}, {u"error"_s, notReached3}});

    // Nothing reached: no claim on stdout, status 4, and every port's reason.
    const ToolResult none = runChipTool(words(ports + u"|--json"_s));
    QCOMPARE(none.status, 4);
    const QJsonObject failed = jsonLines(none.out).value(0);
    QCOMPARE(failed[u"woken"_s].toArray(), QJsonArray());
    QCOMPARE(failed[u"not_reached"_s].toArray().size(), 2);
    QCOMPARE(failed[u"error"_s].toString(), notReached.mid(11) + notReached3);
    saysWhy(none.err);

    const ToolResult quiet = runChipTool(words(u"--port|2=%1|--given-ports-only|wake|-q"_s.arg(notATty)));
    QCOMPARE(quiet.status, 4);
    QCOMPARE(quiet.out, QByteArray());
    QCOMPARE(quiet.err.count('\n'), 1);
}

// --simulate asks for no hardware: the system's serial ports stay out (they would get
// the wake-up byte and the probes), a device given with --port still goes beside it.
void TestChipTool::simulateLeavesSystemPortsAlone()
{
    SimulatedChip other;
    const ToolResult listed = runChipTool(words(u"--simulate|--port|3=%1|ports|--json"_s.arg(other.devicePath())));
    const ToolResult woken = runChipTool(words(u"--simulate|wake|--json"_s));
    const ToolResult detected = runChipTool(words(u"--simulate|detect"_s));
    for (const ToolResult &run : {listed, woken, detected}) {
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
    }
    QList<int> numbers;
    for (const QJsonObject &o : jsonLines(listed.out))
        numbers.append(o[u"port"_s].toInt());
    QCOMPARE(numbers, (QList<int>{1, 3}));
    QCOMPARE(jsonLines(woken.out).value(0)[u"woken"_s].toArray(), QJsonArray{1});
    QVERIFY(detected.out.startsWith("port:       COM1 ("));
}

void TestChipTool::log()
{
    // Each run appends to the log: what was there stays.
    SimulatedChip chip;
    const QString path = m_dir.filePath(u"traffic.log"_s);
    QVERIFY(put(path, "kept\n"));
    for (int run = 0; run < 2; ++run)
        QCOMPARE(runChipTool(onChip(chip, u"identify|--handshake|xon|--log|%1"_s.arg(path))).status, 0);
    const QString logged = textOf(path);
    QVERIFY(logged.startsWith(u"kept\n"_s));
    const QStringList lines = logged.mid(5).split(u'\n');
    const QString device = QRegularExpression::escape(chip.devicePath());
    const QStringList run{
        u"^ +\\d+\\.\\d{3}  COM1 9600    opened %1, Xon-Xoff$"_s.arg(device),
        u"^ +\\d+\\.\\d{3}  COM1 9600    -> 1B 49 {44}\\.I$"_s,
        u"^ +\\d+\\.\\d{3}  COM1 9600    <- 4B 54 20 36 31 30 2D 53 54 20 20 20 20 20 20 20  KT 610-ST {7}$"_s,
        u"^ +\\d+\\.\\d{3}  COM1 9600    <- 51 56 31 32 20 46 57 20 32 2E 30 37 {14}QV12 FW 2.07$"_s,
        u"^ +\\d+\\.\\d{3}  COM1 9600    closed$"_s};
    const QStringList patterns = run + run + QStringList{u"^$"_s};
    QCOMPARE(lines.size(), patterns.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(QRegularExpression(patterns.at(i)).match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
}

// The support report: the chip's connection and identity, and the bytes of asking it.
void TestChipTool::report()
{
    SimulatedChip chip;
    const QString file = m_dir.filePath(u"report.txt"_s);
    const ToolResult run = runChipTool(onChip(chip, u"report|%1|--given-ports-only|--handshake|dtr"_s.arg(file)));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, "qv12-chip: support report written to " + file.toUtf8() + '\n');
    const QString written = textOf(file);
    QVERIFY(written.startsWith(u"QV12 Configurator support report\n\n"_s));
    QVERIFY(written.contains(u"\nProgram:      qv12-chip 2.4\n"_s));
    QVERIFY(written.contains(u"\n  COM1  %1  present\n  COM2  -\n"_s.arg(chip.devicePath())));
    QVERIFY(written.contains(u"\nConnection\n  COM1 at 9600 bauds, DSR/DTR Mode, chip found\n"
                             "  Identity: KT 610-ST       QV12 FW 2.07\n"_s));
    QVERIFY2(QRegularExpression(u"\n +\\d+\\.\\d{3}  COM1 9600    -> 1B 49 +\\.I\n"
                                " +\\d+\\.\\d{3}  COM1 9600    <- 4B 54 20 36 31 30 2D 53 54 20 20 20 20 20 20 20  KT 610-ST       \n"_s)
                 .match(written).hasMatch(), qPrintable(written));
}

void TestChipTool::interrupted()
{
    // Ctrl-C during programming: the job stops at its next wait, the port is closed, and
    // what was written is said.
    SimulatedChip chip;
    WatchedProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL),
               onChip(chip, u"program|--db|%1|--entry|KT 620-ST|--identity|KT 620-ST|--handshake|dtr"_s.arg(m_db)));
    QVERIFY(QTest::qWaitFor([&] { return settingWrites(chip) >= 2; }, 30000));
    tool.signal(SIGINT);
    QVERIFY(tool.waitForEnd());
    QCOMPARE(tool.status(), 130);
    QCOMPARE(text(tool.err()), u"qv12-chip: interrupted; the chip on COM1 (%1) may be partly programmed: program it "
                               "again\n"_s.arg(chip.devicePath()));
    // The setting in flight when the job stopped has no echo.
    const QRegularExpression partly(u"^Wrote (\\d+) of 13 settings before it stopped: the chip is partly "
                                    "programmed.\n(  setting \\d+: wrote 0x[0-9A-F]{2}, no echo\n)?Result: FAIL\n$"_s);
    const QRegularExpressionMatch match = partly.match(text(tool.out()));
    QVERIFY2(match.hasMatch(), tool.out().constData());
    QCOMPARE(match.captured(1).toInt(), settingWrites(chip));
    QVERIFY(settingWrites(chip) < 13);
}

void TestChipTool::heldUnderAnotherName()
{
    // One device, one user, whatever name each gives it, as root too: the second is told
    // who has it. A terminal program (Qt's lock file and an exclusive open) is met too.
    SimulatedChip chip;
    const QString link = m_dir.filePath(u"held-link"_s);
    QVERIFY(chip.createLink(link));
    auto refused = [&](const QString &used) {
        const ToolResult run = runChipTool(words(u"--port|1=%1|--given-ports-only|identify|--com|1|--speed|9600"_s.arg(used)));
        QCOMPARE(run.status, 4);
        QCOMPARE(text(run.err), u"qv12-chip: COM1 (%1): held by another program (process %2); close the program that "
                                "holds the port, such as a terminal program or ModemManager, and try again\n"_s
                                    .arg(used).arg(QCoreApplication::applicationPid()));
    };
    for (const auto &[held, used] : {std::pair{link, chip.devicePath()}, std::pair{chip.devicePath(), link}}) {
        PortMap ports;
        ports.assign(1, held);
        SerialLink holder(ports);
        QVERIFY(holder.open(1, 9600, Handshake::DsrDtr));
        refused(used);
        holder.close();
    }
    QSerialPort terminal(chip.devicePath());
    QVERIFY(terminal.open(QIODevice::ReadWrite));
    refused(chip.devicePath());
    terminal.close();
    QCOMPARE(chip.received().bytes(), QByteArray());
    // Given back, it is free under either name.
    const ToolResult free = runChipTool(words(u"--port|1=%1|identify|--com|1|--speed|9600|--handshake|dtr"_s.arg(link)));
    QCOMPARE(free.status, 0);
    QCOMPARE(free.out, Factory + '\n');
}

void TestChipTool::lateReplyIsDropped()
{
    // The chip answers the serial-setting read after the identification has given up on
    // it and closed the port; the byte waits in the driver. It must not answer the
    // polarity request that comes next, and the log shows it dropped.
    SimulatedChip chip;
    ChipFaults faults;
    faults.lateSettingMs.insert(28, 130);
    chip.setFaults(faults);
    const QString log = m_dir.filePath(u"late.log"_s);
    const ToolResult run = runChipTool(
        onChip(chip, u"program|--db|%1|--entry|KT 620-ST|--identity|KT 620-ST|--log|%2"_s.arg(m_db, log)));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QVERIFY(run.out.endsWith("Result: PASS\n"));
    const QString logged = textOf(log);
    // Where the byte came depends on the machine's load: in time for the read, while the
    // port was being closed (and gone with it), or after the port was opened again. Wherever
    // it came, it came once and answered nothing else: after the new open it is dropped,
    // and the polarity request is answered by the chip's own reply.
    const QStringList lines = logged.split(u'\n');
    QVERIFY2(logged.count(u"<- 83 "_s) <= 1, qPrintable(logged));
    const qsizetype polarity = lines.indexOf(QRegularExpression(u".*-> 1D 53 68 .*"_s));
    const qsizetype reopened = lines.lastIndexOf(QRegularExpression(u".* opened .*"_s), polarity);
    QVERIFY2(reopened > 0 && polarity > reopened && polarity + 1 < lines.size(), qPrintable(logged));
    for (qsizetype i = reopened; i < polarity; ++i) {
        if (lines.at(i).contains(u"<- "_s))
            QVERIFY2(lines.at(i).endsWith(u"(dropped)"_s), qPrintable(logged));
    }
    QVERIFY2(lines.at(polarity + 1).contains(u"<- 00 "_s), qPrintable(logged));
}

void TestChipTool::bytesFromBeforeAreDropped()
{
    // Bytes that reached the driver before the port was opened (noise, a reply nobody
    // waited for) are no part of the identity...
    SimulatedChip chip;
    chip.sendUnasked("\xaa\x55 noise");
    QTRY_COMPARE(chip.sent().size(), 8);
    // ...and the tail of an identity longer than one read is no answer to the probe.
    SimulatedChip talkative;
    ChipFaults faults;
    faults.identityReply = QByteArray(100, 'A') + QByteArray(20, '\x03');
    talkative.setFaults(faults);
    const QString log = m_dir.filePath(u"tail.log"_s);
    const QList<ToolResult> runs = runChipTools({onChip(chip, u"detect|--json"_s),
                                                 onChip(talkative, u"identify|--json|--log|%1"_s.arg(log))});
    QCOMPARE(runs.at(0).status, 0);
    compareFields(jsonLines(runs.at(0).out).value(0), {{u"identity"_s, QString::fromLatin1(Factory)},
                                                       {u"handshake"_s, u"DSR/DTR Mode"_s}});
    QCOMPARE(runs.at(1).status, 0);
    QCOMPARE(jsonLines(runs.at(1).out).value(0)[u"handshake"_s].toString(), u"DSR/DTR Mode"_s);
    const QStringList lines = textOf(log).split(u'\n');
    const qsizetype probe = lines.indexOf(QRegularExpression(u".*-> 1B 76 .*"_s));
    QVERIFY(probe > 1);
    QVERIFY2(lines.at(probe - 1).endsWith(u"(dropped)"_s), qPrintable(lines.at(probe - 1)));
    QVERIFY2(QRegularExpression(u"<- 01 {47}\\.$"_s).match(lines.value(probe + 1)).hasMatch(),
             qPrintable(lines.value(probe + 1)));
}

void TestChipTool::entryAsStored()
{
    // A name is stored as ISO 8859-1, 16 characters at most, without trailing blanks: a
    // name typed otherwise finds the entry it is stored as, and the note says which.
    SimulatedChip chip;
    SimulatedChip other;
    const QString verify = u"verify|--db|%1|--handshake|dtr|--entry|"_s.arg(m_db);
    const QStringList typed{u"KT 620-ST   "_s, u"KT 620-ST       and more"_s};
    const QList<ToolResult> runs = runChipTools({onChip(chip, verify + typed.at(0)), onChip(other, verify + typed.at(1))});
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(runs.at(i).status, 3);
        QVERIFY2(text(runs.at(i).err).startsWith(u"qv12-chip: %1: took the entry \"KT 620-ST\" for the name given, "
                                                 "\"%2\"\n"_s.arg(m_db, typed.at(i))),
                 runs.at(i).err.constData());
    }
}

void TestChipTool::floodedLogIsBounded()
{
    // A chip that never stops sending: the reply is read up to its bound, and the log
    // holds the first bytes of the run and a line for the rest.
    SimulatedChip chip(115200);
    ChipFaults faults;
    faults.endlessStream = true;
    chip.setFaults(faults);
    const QString path = m_dir.filePath(u"flood.log"_s);
    const ToolResult run = runChipTool(onChip(chip, u"identify|--handshake|dtr|--log|%1"_s.arg(path), 115200));
    QCOMPARE(run.status, 0);
    chip.setFaults({});
    const QStringList lines = textOf(path).split(u'\n');
    int logged = 0;
    QStringList summaries;
    const QRegularExpression received(u"^ +\\d+\\.\\d{3}  COM1 115200  <- ((?:[0-9A-F]{2} ?)+)  "_s);
    const QRegularExpression summary(u"^ +\\d+\\.\\d{3}  COM1 115200  <- \\.\\.\\. (.+) more bytes$"_s);
    for (const QString &line : lines) {
        if (const QRegularExpressionMatch m = received.match(line); m.hasMatch())
            logged += int(m.captured(1).trimmed().split(u' ').size());
        else if (const QRegularExpressionMatch m = summary.match(line); m.hasMatch())
            summaries << m.captured(1);
    }
    QCOMPARE(logged, 512);
    QCOMPARE(summaries, QStringList{u"3,584"_s});  // 4,096 read in all
    QVERIFY(lines.at(lines.size() - 2).endsWith(u"closed"_s));
}

void TestChipTool::deleteInHex()
{
    // DEL is a control character: in the log and the report it is hex beside a ".".
    ChipFaults faults;
    faults.identityReply = QByteArray("KT\x7f 610");
    SimulatedChip chip;
    chip.setFaults(faults);
    const QString log = m_dir.filePath(u"del.log"_s);
    const QString report = m_dir.filePath(u"del-report.txt"_s);
    QCOMPARE(runChipTool(onChip(chip, u"identify|--handshake|xon|--log|%1"_s.arg(log))).status, 0);
    QCOMPARE(runChipTool(onChip(chip, u"report|%1|--handshake|xon"_s.arg(report))).status, 0);
    for (const QString &path : {log, report}) {
        const QByteArray written = contents(path);
        QVERIFY2(written.contains("<- 4B 54 7F 20 36 31 30                             KT. 610\n"), written.constData());
        QVERIFY(!written.contains('\x7f'));
    }
}

QTEST_GUILESS_MAIN(TestChipTool)
#include "tst_chiptool.moc"
