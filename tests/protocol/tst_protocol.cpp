// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of the commands, what replies mean, and the queries against a simulated chip.
#include "protocol/commands.h"
#include "protocol/detection.h"
#include "protocol/exchanges.h"
#include "protocol/powercommands.h"
#include "protocol/queries.h"
#include "serial/seriallink.h"
#include "serial/timerout.h"
#include "sim/simulatedchip.h"
#include "tests/common/bytes.h"
#include "tests/common/traffic.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Rows name only the faults they switch on; the others keep their healthy defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(ChipFaults)

class TestProtocol final : public QObject
{
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void configurationWord_data();
    void configurationWord();
    void mechanismIdentity_data();
    void mechanismIdentity();
    void queries();
    void getString_data();
    void getString();
    void powerCommands();
    void wakeUpReach();
    void lateAnswerAnswersNothing_data();
    void lateAnswerAnswersNothing();
};

void TestProtocol::commandBytes_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");
    using namespace Commands;
    QTest::newRow("identify") << identify() << bytes({27, 73});
    QTest::newRow("probe") << probe() << bytes({27, 118});
    QTest::newRow("readSetting 28") << readSetting(28) << bytes({29, 83, 102, 28});
    QTest::newRow("writeSetting 9 0") << writeSetting(9, 0) << bytes({29, 83, 70, 9, 0});
    QTest::newRow("writeSetting 8 128") << writeSetting(8, 128) << bytes({29, 83, 70, 8, 128});
    QTest::newRow("writeSetting 200 255") << writeSetting(200, 255) << bytes({29, 83, 70, 200, 255});
    QTest::newRow("readConfiguration") << readConfiguration() << bytes({29, 83, 67});
    QTest::newRow("readDetectedPolarity") << readDetectedPolarity() << bytes({29, 83, 104});
    QTest::newRow("sleepCommand") << sleepCommand() << bytes({27, 83});
    QTest::newRow("resetCommand") << resetCommand() << bytes({27, 64});
    QTest::newRow("cancelByte") << cancelByte() << bytes({24});
    QTest::newRow("wakeByte") << wakeByte() << bytes({0});
    QTest::newRow("getOpto") << getOpto() << bytes({27, 29, 79});
    QTest::newRow("getAd") << getAd() << bytes({27, 29, 65});
    // The speed code as it goes into setting 28.
    const QList<std::pair<const char *, int>> codes{
        {"1200", 0}, {"2400", 1}, {"4800", 2}, {"9600", 3}, {"19200", 4}, {"28800", 5},
        {"38400", 5}, {"57600", 6}, {"115200", 7}, {"300", 0}, {"9600 ", 0}};
    // A text that is no speed's own spelling stands for no speed (0).
    auto speedOf = [](const QByteArray &text) { return QByteArray::number(text.toInt()) == text ? text.toInt() : 0; };
    for (const auto &[speed, code] : codes)
        QTest::addRow("speed code %s", speed) << writeSetting(28, speedCode(speedOf(speed)))
                                              << bytes({29, 83, 70, 28, code});
}

void TestProtocol::commandBytes()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    QCOMPARE(command, expected);
}

void TestProtocol::configurationWord_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("word");
    QTest::newRow("2 bytes") << bytes({0xFC, 0x20}) << u"1111110000100000"_s;
    QTest::newRow("4 bytes: the first two ignored") << bytes({65, 66, 0xFC, 0x20}) << u"1111110000100000"_s;
    QTest::newRow("3 bytes") << bytes({65, 0xFC, 0x20}) << u"none"_s;
    QTest::newRow("nothing") << QByteArray() << u"none"_s;
}

void TestProtocol::configurationWord()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, word);
    const std::optional<ConfigWord> read = Exchanges::configurationWord(reply);
    QCOMPARE(read ? read->text() : u"none"_s, word);
}

void TestProtocol::mechanismIdentity_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");
    QTest::newRow("PNX after the name") << QByteArray("  KT 610-ST PNX QV12 FW 2.07") << u"KT 610-ST"_s;
    QTest::newRow("lower case stays") << QByteArray("  KT 610-ST pnx QV12 FW 2.07") << u"KT 610-ST pnx"_s;
    QTest::newRow("PNX alone") << QByteArray("PNX") << QString();
    QTest::newRow("PNX only at the end") << QByteArray("PNX KT 610") << u"PNX KT 610"_s;
    QTest::newRow("PNX beyond 16") << QByteArray("ABCDEFGHIJKLMNOPNX") << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("only spaces are stripped") << QByteArray("\tKT \r") << u"\tKT \r"_s;
    QTest::newRow("Latin-1") << QByteArray("Caf\xe9") << u"Caf\u00e9"_s;
}

void TestProtocol::mechanismIdentity()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    QCOMPARE(Exchanges::mechanismIdentity(reply), name);
}

void TestProtocol::queries()
{
    SimulatedChip chip(115200);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    TimerOut timer(link);
    QVERIFY(link.open(1, 115200, Handshake::DsrDtr));
    QCOMPARE(Queries::readOptoSensor(link, timer), ChipEmulator::OptoReply);
    QCOMPARE(Queries::readAnalogue(link, timer), ChipEmulator::AdReply);
    QCOMPARE(chip.received().bytes(), bytes({27, 29, 'O', 27, 29, 'A'}));
    chip.setSilent(true);
    for (auto query : {Queries::readValue, Queries::readOptoSensor, Queries::readAnalogue}) {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(query(link, timer), quint8(0));
        QVERIFY2(clock.elapsed() >= 499 && clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }
}

void TestProtocol::getString_data()
{
    QTest::addColumn<ChipFaults>("faults");  // what the chip sends for ESC "I"
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("minMs");
    // One byte each 100 ms: the piece that is the 0 ends it.
    QTest::newRow("ends with the 0") << ChipFaults{.identityReply = bytes({'H', 'E', 'L', 0, 'X', 'Y'}),
                                                   .burstSize = 1, .burstGapMs = 100}
                                     << bytes({'H', 'E', 'L', 0}) << 300;
    // Pieces of three bytes 100 ms apart: a 0 inside a piece or at its end goes on.
    const QByteArray pieces = bytes({'A', 0, 'B', 'C', 'D', 0, 0, 'E', 'F'});
    QTest::newRow("a 0 inside or at the end of a piece")
        << ChipFaults{.identityReply = pieces + "GH", .burstSize = 3, .burstGapMs = 100} << pieces << 200;
    QTest::newRow("nothing: a lone 0") << ChipFaults{.identityReply = QByteArray()} << bytes({0}) << 499;
    // No piece begins with 0: the time-out after the last ends it, with what came, once.
    QTest::newRow("time-out after pieces")
        << ChipFaults{.identityReply = "HELLO WORLD", .burstSize = 4, .burstGapMs = 200}
        << QByteArray("HELLO WORLD") << 400 + 499;
    QTest::newRow("endless stream") << ChipFaults{.endlessStream = true} << QByteArray() << 0;
}

void TestProtocol::getString()
{
    QFETCH(ChipFaults, faults);
    QFETCH(QByteArray, text);
    QFETCH(int, minMs);
    SimulatedChip chip(115200);
    chip.setFaults(faults);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    TimerOut timer(link);
    QVERIFY(link.open(1, 115200, Handshake::DsrDtr));
    link.send(Commands::identify());
    const QByteArray got = Queries::readString(link, timer);
    // From when the request was handed to the port: a busy machine can only add to it.
    const qint64 sentNs = sentEvents(link.traffic()).last().timeNs;
    const double elapsed = double(TrafficRecord::nowNs() - sentNs) / 1e6;
    QVERIFY2(elapsed >= minMs && elapsed < minMs + 1500, qPrintable(QString::number(elapsed)));
    if (!faults.endlessStream)
        QCOMPARE(got, text);
    else  // bounded as readReply is, to within the last piece
        QVERIFY2(got.size() >= SerialLink::MaxReplyBytes && got.size() < SerialLink::MaxReplyBytes + SerialLink::ReadLimit,
                 qPrintable(QString::number(got.size())));
}

// The power commands as whole jobs: their bytes, and the pauses that must hold. The
// smallest of several Sleep gaps is taken, so that a timer woken late can't hide a
// shortened wait.
void TestProtocol::powerCommands()
{
    SimulatedChip chip(115200);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    const ConnectionSettings connection{1, 115200, Handshake::DsrDtr, true};
    double shortest = 1e9;
    for (int i = 0; i < 5; ++i) {
        QVERIFY(PowerCommands::sleep(link, connection).hasValue());
        const QList<TrafficEvent> sent = sentEvents(link.traffic());
        shortest = std::min(shortest, double(sent.last().timeNs - sent.at(sent.size() - 2).timeNs) / 1e6);
    }
    QVERIFY2(shortest >= 10 && shortest < 300, qPrintable(QString::number(shortest)));
    JobListener quiet;
    const JobResult<PowerCommands::WakeUp> woken = PowerCommands::wakeUp(link, &connection, quiet);
    QVERIFY(woken && !woken->chipPortFailed);
    QCOMPARE(woken->ports.reached, QList<int>{1});
    QVERIFY(woken->ports.unreached.isEmpty());
    QVERIFY(PowerCommands::reset(link, connection).hasValue());
    const QList<TrafficEvent> sent = sentEvents(link.traffic());
    QCOMPARE(gapError(sent.at(sent.size() - 3), sent.at(sent.size() - 2), 1000, 1600), QString());
    QTRY_COMPARE(chip.received().bytes(), bytes({24, 27, 83, 24}).repeated(5) + bytes({0, 24, 27, 64}));
    // A port that can't be opened ends the job as the port's failure.
    ports.assign(1, u"/nonexistent/qv12"_s);
    link.setPorts(ports);
    const JobResult<void> failed = PowerCommands::reset(link, connection);
    QVERIFY(!failed && failed.error().kind == JobError::Kind::PortFailed);
    QCOMPARE(failed.error().failures.size(), 1);
}

// The wake-up says where its byte went: a chip's port, not a file that is no serial
// device (root can't open it either), not a device that was named but isn't there; the
// failures stay on the link for the window's one message.
void TestProtocol::wakeUpReach()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString plainFile = dir.filePath(u"not-a-tty"_s);
    QFile file(plainFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString missing = dir.filePath(u"unplugged"_s);

    SimulatedChip first;
    SimulatedChip last;
    PortMap ports;
    ports.assign(1, first.devicePath());
    ports.assign(2, plainFile);
    ports.assign(4, missing);
    ports.assign(6, last.devicePath());
    SerialLink link(ports);
    const Detection::WakeupResult woken = Detection::wakeUpPrinter(link);
    QCOMPARE(woken.reached, (QList<int>{1, 6}));
    QVERIFY(woken.reachedAny());
    QCOMPARE(woken.unreached.size(), 2);
    QCOMPARE(woken.unreached.at(0).port, 2);
    QCOMPARE(woken.unreached.at(0).device, plainFile);
    QCOMPARE(woken.unreached.at(0).kind, LinkFailure::Kind::Other);
    QVERIFY(!woken.unreached.at(0).systemText.isEmpty());
    QCOMPARE(woken.unreached.at(1).port, 4);
    QCOMPARE(woken.unreached.at(1).device, missing);
    QCOMPARE(woken.unreached.at(1).kind, LinkFailure::Kind::NoDevice);
    QCOMPARE(link.failures().size(), 1);  // the open that failed; the missing device was not tried
    QTRY_COMPARE(first.received().bytes(), bytes({0}));
    QTRY_COMPARE(last.received().bytes(), bytes({0}));

    // None reached; a failure already on the link's list is named again.
    ports.assign(1, QString());
    ports.assign(6, QString());
    link.setPorts(ports);
    link.openDirect(2, 9600, Handshake::None);
    const Detection::WakeupResult none = Detection::wakeUpPrinter(link);
    QVERIFY(!none.reachedAny());
    QCOMPARE(none.unreached.size(), 2);
    QCOMPARE(none.unreached.at(0).port, 2);
}

void TestProtocol::lateAnswerAnswersNothing_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("a setting read") << 0 << bytes({1});
    QTest::newRow("the detected polarity") << 1 << bytes({0});
    QTest::newRow("a setting written") << 2 << QByteArray("K");
    QTest::newRow("the configuration") << 3 << bytes({0xFC, 0x20});
    QTest::newRow("the identity") << 4 << QByteArray("KT 610-ST       QV12 FW 2.07");
}

// A reply that comes after its exchange has given up waits in the driver; the next
// request must not take it for its own answer, and the record shows it dropped.
void TestProtocol::lateAnswerAnswersNothing()
{
    QFETCH(int, request);
    QFETCH(QByteArray, answer);
    SimulatedChip chip(9600);
    chip.setFaults({.lateSettingMs = {{28, 700}}});
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    QVERIFY(link.open(1, 9600, Handshake::DsrDtr));
    QCOMPARE(Exchanges::readSetting(link, 28), quint8(0));  // 500 ms of silence
    QTRY_COMPARE(chip.sent().bytes(), bytes({0x83}));
    // Written by the chip is not yet there for the program: a loaded machine may take a
    // while to hand the byte over. It waits in the driver before the next request.
    QTRY_VERIFY(link.bytesWaiting() > 0);
    QByteArray got;
    switch (request) {
    case 0:
        got = QByteArray(1, char(Exchanges::readSetting(link, 6)));
        break;
    case 1:
        got = QByteArray(1, char(Exchanges::readDetectedPolarity(link)));
        break;
    case 2:
        got = QByteArray(1, char(Exchanges::writeSetting(link, 9, 'K')));
        break;
    case 3:
        got = Exchanges::readConfiguration(link);
        break;
    default:
        got = Exchanges::identify(link);
        break;
    }
    QCOMPARE(got, answer);
    QList<TrafficEvent> dropped;
    for (const TrafficEvent &e : link.traffic().events()) {
        if (e.kind == TrafficEvent::Kind::Received && e.note == TrafficEvent::DroppedNote)
            dropped.append(e);
    }
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.first().bytes, bytes({0x83}));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
