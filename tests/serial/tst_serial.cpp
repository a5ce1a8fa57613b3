// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The serial link through the real QSerialPort on a pseudo-terminal with a simulated chip
// at the far end (reads, opening, waits, port failures), and the COM numbering.
#include "protocol/commands.h"
#include "opencounter.h"
#include "serial/portdetails.h"
#include "serial/portlock.h"
#include "serial/seriallink.h"
#include "serial/traffictext.h"
#include "sim/simulatedchip.h"
#include "tests/common/bytes.h"
#include "tests/common/traffic.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Faults name only the knobs they turn; the others keep their healthy defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// Generous upper bounds: the machine is shared with builds.
#define QVERIFY_BETWEEN(value, low, high) \
    QVERIFY2((value) >= (low) && (value) < (high), qPrintable(QString::number(value)))

namespace {

// A simulated chip on COM1 and the link that talks to it.
struct Rig
{
    explicit Rig(int speed = 9600) : chip(speed)
    {
        ports.assign(1, chip.devicePath());
        link.setPorts(ports);
    }
    SimulatedChip chip;
    PortMap ports;
    SerialLink link{ports};
};

double msSince(qint64 ns)
{
    return double(SimulatedChip::nowNs() - ns) / 1e6;
}

double cpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The failures as "Kind COMn device", for exact comparison.
QStringList described(const QList<LinkFailure> &failures)
{
    static const char *const kinds[] = {"NoDevice", "PermissionDenied", "Busy", "Unplugged", "Other"};
    QStringList out;
    for (const LinkFailure &f : failures)
        out << u"%1 COM%2 %3"_s.arg(QLatin1String(kinds[int(f.kind)])).arg(f.port).arg(f.device);
    return out;
}

// The failures of the job so far; the link starts a new job, with none.
QList<LinkFailure> endJob(SerialLink &link)
{
    const QList<LinkFailure> failures = link.failures();
    link.startJob();
    return failures;
}

// The devices behind COM1..COM6.
QStringList devices(const PortMap &map)
{
    QStringList out;
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
        out << map.device(n);
    return out;
}

} // namespace

class TestSerial final : public QObject
{
    Q_OBJECT

private slots:
    void readTextJoinsBurstsAndEndsAfterSilence();
    void readByteTakesFirstOfThreeAndGivesZeroOnSilence();
    void endlessStreamIsBounded();
    void openPortOnOpenPortChangesNothing();
    void linePace_data();
    void linePace();
    void lineSettings_data();
    void lineSettings();
    void writtenSettingReadsBack();
    void waitsRunEventsWithoutCpu();
    void unpluggedThenVanished();
    void portThatCannotBeOpened();
    void oneUserUnderTwoNames();
    void reusedDeviceNumberIsFree();
    void portAssignment_data();
    void portAssignment();
    void portNumbering();
    void trafficText();
    void trafficRing();
    void portDetailsSummary();
};

void TestSerial::readTextJoinsBurstsAndEndsAfterSilence()
{
    Rig r;
    r.chip.setFaults({.burstSize = 10, .burstGapMs = 300});  // under the 500 ms that end a reply
    QVERIFY(r.link.open(1, 9600, Handshake::DsrDtr));
    r.link.send(Commands::identify());
    QCOMPARE(r.link.readReply(), r.chip.identity());
    // The last burst taken two gaps after the request; the silence after it.
    const QList<TrafficEvent> taken = eventsOf(r.link.traffic(), TrafficEvent::Kind::Received);
    QCOMPARE(gapError(sentEvents(r.link.traffic()).last(), taken.last(), 600, 1500), QString());
    QVERIFY_BETWEEN(msSince(taken.last().timeNs), 500, 1500);

    r.chip.setSilent(true);
    r.link.send(Commands::identify());
    const qint64 start = SimulatedChip::nowNs();
    const double cpu = cpuMs();
    QCOMPARE(r.link.readReply(), QByteArray());
    QVERIFY_BETWEEN(msSince(start), 490, 1500);
    QVERIFY_BETWEEN(cpuMs() - cpu, 0, 50);  // the polls sleep
}

void TestSerial::readByteTakesFirstOfThreeAndGivesZeroOnSilence()
{
    Rig r;
    r.chip.setFaults({.configReplyLength = 3});  // 65, 0xFC, 0x20
    QVERIFY(r.link.open(1, 9600, Handshake::DsrDtr));
    r.link.send(Commands::readConfiguration());
    QVERIFY(r.chip.waitForSent(3));
    QTRY_COMPARE(r.link.bytesWaiting(), 3);
    QCOMPARE(r.link.readReplyByte(), quint8(65));
    // The other two went with the same read: nothing is left but silence.
    const qint64 start = SimulatedChip::nowNs();
    QCOMPARE(r.link.readReplyByte(), quint8(0));
    QVERIFY_BETWEEN(msSince(start), 490, 1500);
}

void TestSerial::endlessStreamIsBounded()
{
    Rig r(115200);
    r.chip.setFaults({.endlessStream = true});
    QVERIFY(r.link.open(1, 115200, Handshake::DsrDtr));
    r.link.send(Commands::identify());
    const QByteArray reply = r.link.readReply();
    QCOMPARE(reply.size(), SerialLink::MaxReplyBytes);
    QVERIFY(reply.startsWith(r.chip.identity()));
}

void TestSerial::openPortOnOpenPortChangesNothing()
{
    Rig r;
    QElapsedTimer clock;
    clock.start();
    OpenCounter::watch(QFile::encodeName(r.chip.devicePath()));
    QVERIFY(r.link.open(1, 9600, Handshake::None));
    QVERIFY(clock.elapsed() >= 50);  // the settling wait
    QCOMPARE(OpenCounter::opens(), 1);  // once: each open and close drops DTR and RTS
    QVERIFY(r.link.open(1, 19200, Handshake::XonXoff));
    // Not opened again, so no settling wait either.
    QCOMPARE(OpenCounter::opens(), 1);
    QCOMPARE(eventsOf(r.link.traffic(), TrafficEvent::Kind::Opened).size(), 1);
    r.link.send(Commands::probe());
    QCOMPARE(r.link.readReplyByte(), ChipEmulator::ProbeReply);
    const auto entries = r.chip.received().entries();
    QCOMPARE(entries.size(), 2);
    for (const TranscriptEntry &e : entries)
        QCOMPARE(e.line.toString(), u"9600,N,8,1"_s);
}

void TestSerial::linePace_data()
{
    QTest::addColumn<int>("speed");
    QTest::newRow("1200") << 1200;
    QTest::newRow("9600") << 9600;
}

// A UART still shifts the bytes out after the write has returned: a wait that follows
// them counts from when they have left the line, and the close lets them leave first,
// under the settings they were sent with.
void TestSerial::linePace()
{
    QFETCH(int, speed);
    const double byteMs = 10000.0 / speed;
    Rig r(speed);
    QVERIFY(r.link.open(1, speed, Handshake::None));
    r.link.send(Commands::cancelByte());  // Sleep's bytes
    r.link.send(Commands::sleepCommand());
    r.link.pause(10);
    r.link.send(Commands::cancelByte());
    r.link.send(Commands::writeSetting(9, 0));
    r.link.close();
    const QList<TrafficEvent> sent = sentEvents(r.link.traffic());
    QCOMPARE(gapError(sent[0], sent[2], 3 * byteMs + 10, 3 * byteMs + 300), QString());
    const TrafficEvent closed = eventsOf(r.link.traffic(), TrafficEvent::Kind::Closed).last();
    // The close waits for the last six bytes' time on the line: from the first of them,
    // or from the last write when the line had gone quiet before it.
    QCOMPARE(gapError(sent[2], closed, 6 * byteMs, 6 * byteMs + 300), QString());
    QCOMPARE(gapError(sent[3], closed, 5 * byteMs, 5 * byteMs + 300), QString());
    QVERIFY(r.chip.waitForReceived(3 + 1 + 5));
    for (const TranscriptEntry &e : r.chip.received().entries())
        QCOMPARE(e.line.toString(), u"%1,N,8,1"_s.arg(speed));
}

void TestSerial::lineSettings_data()
{
    QTest::addColumn<int>("chipSpeed");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("handshake");
    QTest::addColumn<QString>("line");  // as the chip sees it
    QTest::addColumn<bool>("answers");
    QTest::newRow("9600, no handshake") << 9600 << 9600 << 0 << u"9600,N,8,1"_s << true;
    QTest::newRow("9600, XON/XOFF") << 9600 << 9600 << 1 << u"9600,N,8,1 xon/xoff"_s << true;
    QTest::newRow("9600, RTS/CTS") << 9600 << 9600 << 2 << u"9600,N,8,1 rts/cts"_s << true;
    QTest::newRow("9600 chip at 19200") << 9600 << 19200 << 0 << u"19200,N,8,1"_s << false;
    QTest::newRow("28800") << 28800 << 28800 << 0 << u"28800,N,8,1"_s << true;
    QTest::newRow("28800 chip at 38400") << 28800 << 38400 << 0 << u"38400,N,8,1"_s << false;
}

void TestSerial::lineSettings()
{
    QFETCH(int, chipSpeed);
    QFETCH(int, speed);
    QFETCH(int, handshake);
    QFETCH(QString, line);
    QFETCH(bool, answers);
    Rig r(chipSpeed);
    QVERIFY(r.link.open(1, speed, Handshake(handshake)));
    r.link.send(Commands::identify());
    QCOMPARE(r.link.readReply(), answers ? r.chip.identity() : QByteArray());
    QCOMPARE(r.chip.received().entries().first().line.toString(), line);
}

void TestSerial::writtenSettingReadsBack()
{
    Rig r;
    QVERIFY(r.link.open(1, 9600, Handshake::DsrDtr));
    r.link.send(Commands::writeSetting(9, 200));
    QCOMPARE(r.link.readReplyByte(), quint8(200));
    r.link.close();
    QVERIFY(r.link.open(1, 9600, Handshake::DsrDtr));
    r.link.send(Commands::readSetting(9));
    QCOMPARE(r.link.readReplyByte(), quint8(200));
    r.link.close();
    QCOMPARE(r.chip.received().bytes(), bytes({29, 83, 70, 9, 200, 29, 83, 102, 9}));
}

void TestSerial::waitsRunEventsWithoutCpu()
{
    PortMap ports;
    SerialLink link(ports);
    QElapsedTimer clock;
    clock.start();
    qint64 firedAt = -1;
    QTimer::singleShot(50, &link, [&] { firedAt = clock.elapsed(); });
    link.pause(200);
    QVERIFY_BETWEEN(firedAt, 49, 200);
    QVERIFY_BETWEEN(clock.elapsed(), 199, 400);
    const double cpu = cpuMs();
    link.pause(2000);
    QVERIFY_BETWEEN(cpuMs() - cpu, 0, 50);
}

void TestSerial::unpluggedThenVanished()
{
    Rig r;
    // Behind a link that goes with the cable: the pseudo-terminal's number, once free, may
    // go to another program's terminal at once, which must not stand in for the chip.
    const QTemporaryDir dir;
    const QString device = dir.filePath(u"qv12-com1"_s);
    QVERIFY(r.chip.createLink(device));
    r.ports.assign(1, device);
    r.link.setPorts(r.ports);
    QVERIFY(r.link.open(1, 9600, Handshake::DsrDtr));
    r.chip.setFaults({.unplugAfterBytes = 2});
    r.link.send(Commands::identify());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(r.link.readReply(), QByteArray());  // unanswered, without waiting out the silence
    QCOMPARE(r.link.readReplyByte(), quint8(0));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(described(endJob(r.link)), QStringList{u"Unplugged COM1 "_s + device});

    // The device is gone: opening fails at once, recorded once however often it is tried.
    r.chip.removeLink();
    r.link.close();
    QVERIFY(!r.link.portExists(1));
    QVERIFY(!r.link.open(1, 9600, Handshake::DsrDtr));
    clock.restart();
    r.link.send(Commands::identify());
    QCOMPARE(r.link.readReply(), QByteArray());
    QCOMPARE(r.link.readReplyByte(), quint8(0));
    QVERIFY(clock.elapsed() < 400);  // no silence sat out
    QVERIFY(!r.link.open(1, 9600, Handshake::DsrDtr));
    QVERIFY(!r.link.open(4, 9600, Handshake::DsrDtr));  // nothing assigned
    QCOMPARE(described(endJob(r.link)),
             (QStringList{u"NoDevice COM1 "_s + device, u"NoDevice COM4 "_s}));
}

void TestSerial::portThatCannotBeOpened()
{
    Rig r;
    const QString device = r.chip.devicePath();
    {
        QSerialPort holder(device);  // held as another program holds it
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QVERIFY(!r.link.open(1, 9600, Handshake::DsrDtr));
        QCOMPARE(described(endJob(r.link)), QStringList{u"Busy COM1 "_s + device});
    }
    // No permission: root opens anything, so it tries as nobody for the moment.
    const bool root = ::getuid() == 0;
    QVERIFY(::chmod(QFile::encodeName(device).constData(), root ? 0600 : 0) == 0);
    QVERIFY(r.link.portExists(1));  // without opening it
    if (root && ::setresuid(65534, 65534, 0) != 0)
        QSKIP("cannot drop privileges here");
    const bool opened = r.link.open(1, 9600, Handshake::DsrDtr);
    QVERIFY(!root || ::setresuid(0, 0, 0) == 0);
    QVERIFY(!opened);
    QCOMPARE(described(endJob(r.link)), QStringList{u"PermissionDenied COM1 "_s + device});
}

// The same device under two names (a link and the device itself) is one port: its
// second user is refused, as root too, and told which process has it; once it is given
// back, either name opens it, and no lock file is left.
void TestSerial::oneUserUnderTwoNames()
{
    Rig r;
    const QString device = r.chip.devicePath();
    QTemporaryDir dir;
    const QString link = dir.filePath(u"com1"_s);
    QVERIFY(r.chip.createLink(link));
    PortMap viaLink;
    viaLink.assign(1, link);
    SerialLink other(viaLink);
    for (const auto &[first, second, secondName] :
         {std::tuple{&r.link, &other, link}, std::tuple{&other, &r.link, device}}) {
        QVERIFY(first->open(1, 9600, Handshake::DsrDtr));
        QVERIFY(!second->open(1, 9600, Handshake::DsrDtr));
        const QList<LinkFailure> failures = endJob(*second);
        QCOMPARE(described(failures), QStringList{u"Busy COM1 "_s + secondName});
        QCOMPARE(failures.first().holder, std::optional<qint64>(QCoreApplication::applicationPid()));
        QCOMPARE(failures.first().describe(), u"COM1 (%1): held by another program (process %2)"_s
                                                  .arg(secondName).arg(QCoreApplication::applicationPid()));
        first->close();
        QVERIFY(second->open(1, 9600, Handshake::DsrDtr));
        second->close();
    }
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(device).constData(), &info) == 0);
    QVERIFY(!QFile::exists(u"%1/qv12-device-%2-%3.lock"_s.arg(SerialLocks::directory())
                               .arg(major(info.st_rdev)).arg(minor(info.st_rdev))));
}

// A pseudo-terminal's number goes to the next one made as soon as its last user closes
// it. The lock named after that number must be gone by then: else the station whose new
// chip got the number is told that its port is held by another program, and stops.
void TestSerial::reusedDeviceNumberIsFree()
{
    auto gone = std::make_unique<SimulatedChip>(9600);
    const QString goneDevice = PortLock::resolve(gone->devicePath());
    PortMap ports;
    ports.assign(1, goneDevice);
    SerialLink link(ports);
    QVERIFY(link.open(1, 9600, Handshake::None));
    gone.reset();  // taken away; the link still holds the number

    std::unique_ptr<SimulatedChip> next;
    QString nextDevice;
    bool opened = false;
    QList<LinkFailure> failures;
    connect(&link, &SerialLink::openChanged, &link, [&](bool open) {
        // Told too when the device is found gone, before the port is closed.
        const QList<TrafficEvent> events = link.traffic().eventsSince(0);
        if (open || next || events.isEmpty() || events.last().kind != TrafficEvent::Kind::Closed)
            return;
        // The kernel frees the number a moment after the close; the lowest free one is
        // given out, so the next terminals made get it then.
        for (int attempt = 0; attempt < 200 && nextDevice != goneDevice; ++attempt) {
            next.reset();
            QThread::msleep(1);
            next = std::make_unique<SimulatedChip>(9600);
            nextDevice = PortLock::resolve(next->devicePath());
        }
        PortMap nextPorts;
        nextPorts.assign(2, nextDevice);
        SerialLink station(nextPorts);
        opened = station.open(2, 9600, Handshake::None);
        failures = endJob(station);
        station.close();
    });
    link.close();
    QVERIFY(next);
    if (nextDevice != goneDevice)
        QSKIP(qPrintable(u"another program's terminal took the number first (%1, then %2)"_s.arg(goneDevice, nextDevice)));
    QVERIFY2(opened, qPrintable(described(failures).join(u", "_s)));
}

void TestSerial::portAssignment_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("result");  // "COMn device", or the reason it is refused

    QTest::newRow("plain") << u"2=/dev/ttyUSB0"_s << u"COM2 /dev/ttyUSB0"_s;
    QTest::newRow("COM prefix") << u"COM6=/dev/ttyS1"_s << u"COM6 /dev/ttyS1"_s;
    QTest::newRow("short device name") << u"1=ttyACM0"_s << u"COM1 /dev/ttyACM0"_s;
    QTest::newRow("device with =") << u"4=/tmp/a=b"_s << u"COM4 /tmp/a=b"_s;
    QTest::newRow("port 0") << u"0=/dev/ttyUSB0"_s << u"the port number in \"0=/dev/ttyUSB0\" must be 1 to 6"_s;
    QTest::newRow("port 7") << u"7=/dev/ttyUSB0"_s << u"the port number in \"7=/dev/ttyUSB0\" must be 1 to 6"_s;
    QTest::newRow("not a number") << u"x=/dev/ttyUSB0"_s
                                  << u"the port number in \"x=/dev/ttyUSB0\" must be 1 to 6"_s;
    QTest::newRow("empty device") << u"2="_s << u"no device given for COM2 in \"2=\""_s;
    QTest::newRow("missing =") << u"/dev/ttyUSB0"_s
                               << u"\"/dev/ttyUSB0\" is not of the form N=DEVICE, for example 2=/dev/ttyUSB0"_s;
}

void TestSerial::portAssignment()
{
    QFETCH(QString, value);
    QFETCH(QString, result);
    const auto parsed = parsePortAssignment(value);
    QCOMPARE(parsed ? u"COM%1 %2"_s.arg(parsed->port).arg(parsed->device) : parsed.error(), result);
}

void TestSerial::portNumbering()
{
    const QString usb0 = u"/dev/ttyUSB0"_s, usb1 = u"/dev/ttyUSB1"_s, s2 = u"/dev/ttyS2"_s,
                  s10 = u"/dev/ttyS10"_s, acm0 = u"/dev/ttyACM0"_s;
    PortMap map;
    map.refreshFrom({usb1});
    // Numbers stay for the run; new devices follow in system order, digits as numbers.
    map.refreshFrom({usb0, s10, usb1, s2});
    QCOMPARE(devices(map), (QStringList{usb1, s2, s10, usb0, {}, {}}));
    // A vanished device leaves a gap, and gets its number back while that is free...
    map.refreshFrom({usb0, s10, usb1});
    QCOMPARE(devices(map), (QStringList{usb1, {}, s10, usb0, {}, {}}));
    map.refreshFrom({usb0, s10, usb1, s2});
    QCOMPARE(devices(map), (QStringList{usb1, s2, s10, usb0, {}, {}}));
    // ...else a device takes the lowest free number.
    map.refreshFrom({usb0, usb1});
    map.refreshFrom({usb0, usb1, acm0});
    map.refreshFrom({usb0, usb1, acm0, s2});
    QCOMPARE(devices(map), (QStringList{usb1, acm0, s2, usb0, {}, {}}));
    // A pinned number is never given to a system port, even when all are gone.
    map.assign(5, u"/tmp/qv12"_s);
    map.refreshFrom({usb0, usb1, acm0, s2, u"/dev/ttyUSB7"_s, u"/dev/ttyUSB8"_s});
    QCOMPARE(devices(map), (QStringList{usb1, acm0, s2, usb0, u"/tmp/qv12"_s, u"/dev/ttyUSB7"_s}));
    map.refreshFrom({});
    QCOMPARE(devices(map), (QStringList{{}, {}, {}, {}, u"/tmp/qv12"_s, {}}));
    QVERIFY(map.isPinned(5) && !map.isPinned(1));
}

void TestSerial::trafficText()
{
    const qint64 origin = 5'000'000'000;
    auto at = [&](double ms) { return origin + qint64(ms * 1e6); };
    const QString usb = u"/dev/ttyUSB0"_s;
    using Kind = TrafficEvent::Kind;
    const QList<TrafficEvent> events{
        {at(1234.5), Kind::Opened, 2, Handshake::DsrDtr, 9600, usb},
        {at(1234.567), Kind::Sent, 2, Handshake::DsrDtr, 9600, usb, bytes({27, 'I'})},
        {at(1234.671), Kind::Received, 2, Handshake::DsrDtr, 9600, usb, QByteArray("KT 610-ST       QV12 FW 2.07\x01<b>\xe9")},
        {at(1500), Kind::Closed, 2, Handshake::DsrDtr, 9600, usb},
        {at(2000.25), Kind::OpenFailed, 3, Handshake::None, 115200, u"/dev/ttyS0"_s, {}, u"Permission denied"_s},
        {at(99999.9996), Kind::Lost, 1, Handshake::XonXoff, 1200, u"/dev/ttyACM0"_s, {}, u"Input/output error"_s},
        // DEL is a control character; bytes no request took say so.
        {at(100001), Kind::Received, 1, Handshake::XonXoff, 1200, u"/dev/ttyACM0"_s, QByteArray("A\x7f~", 3)},
        {at(100002), Kind::Received, 1, Handshake::XonXoff, 1200, u"/dev/ttyACM0"_s, bytes({0x83}), TrafficEvent::DroppedNote},
    };
    QCOMPARE(TrafficText::format(events, origin),
             u"  1234.500  COM2 9600    opened /dev/ttyUSB0, DSR/DTR Mode\n"
             "  1234.567  COM2 9600    -> 1B 49                                            .I\n"
             "  1234.671  COM2 9600    <- 4B 54 20 36 31 30 2D 53 54 20 20 20 20 20 20 20  KT 610-ST       \n"
             "  1234.671  COM2 9600    <- 51 56 31 32 20 46 57 20 32 2E 30 37 01 3C 62 3E  QV12 FW 2.07.<b>\n"
             "  1234.671  COM2 9600    <- E9                                               .\n"
             "  1500.000  COM2 9600    closed\n"
             "  2000.250  COM3 115200  cannot open /dev/ttyS0: Permission denied\n"
             "100000.000  COM1 1200    lost /dev/ttyACM0: Input/output error\n"
             "100001.000  COM1 1200    <- 41 7F 7E                                         A.~\n"
             "100002.000  COM1 1200    <- 83                                               .                 (dropped)\n"_s);
}

void TestSerial::trafficRing()
{
    TrafficRecord record;
    auto numbered = [&](int from, int count) {
        for (int n = from; n < from + count; ++n)
            record.append(TrafficEvent{n, TrafficEvent::Kind::Sent});
    };
    auto times = [](const QList<TrafficEvent> &events) {
        QList<qint64> out;
        for (const TrafficEvent &e : events)
            out << e.timeNs;
        return out;
    };
    const int capacity = TrafficRecord::Capacity;
    numbered(0, capacity + 5);  // the oldest five drop out
    QCOMPARE(record.events().size(), capacity);
    QCOMPARE(record.events().first().timeNs, 5);
    QCOMPARE(record.events().last().timeNs, capacity + 4);
    QCOMPARE(times(record.eventsSince(record.nextSequence() - 2)), (QList<qint64>{capacity + 3, capacity + 4}));
    QCOMPARE(record.eventsSince(0).size(), capacity);  // those dropped are left out
    record.clear();
    QVERIFY(record.events().isEmpty());
    numbered(-7, 3);  // fills from a sequence that is not a multiple of the capacity
    QCOMPARE(times(record.events()), (QList<qint64>{-7, -6, -5}));
    numbered(0, capacity);
    QCOMPARE(record.events().size(), capacity);
    QCOMPARE(record.events().first().timeNs, 0);  // the three before dropped
    QCOMPARE(record.events().last().timeNs, capacity - 1);
}

void TestSerial::portDetailsSummary()
{
    PortDetails usb;
    QCOMPARE(usb.summary(), QString());
    usb.description = u"FT232R USB UART"_s;
    usb.manufacturer = u"FTDI"_s;
    usb.serialNumber = u"A50285BI"_s;
    usb.vendorId = 0x0403;
    usb.productId = 0x6001;
    usb.heldBy = 1234;
    QCOMPARE(usb.summary(), u"FT232R USB UART, FTDI, serial A50285BI, 0403:6001, held by process 1234"_s);
    // A pseudo-terminal has none of it; nothing on a number, nothing at all.
    Rig r;
    const PortDetails pty = PortDetails::of(r.ports, 1);
    QCOMPARE(u"%1 %2 %3"_s.arg(pty.device).arg(pty.present).arg(pty.summary()), r.chip.devicePath() + u" 1 "_s);
    QCOMPARE(PortDetails::of(r.ports, 2).device, QString());
}

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
