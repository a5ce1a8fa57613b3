#include "sim/simulatedchip.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

QByteArray b(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

const QByteArray Identify = b({27, 'I'});

// Opens the chip's device with QSerialPort as the configurator does.
bool openPort(QSerialPort &port, const SimulatedChip &chip, int speed,
              QSerialPort::FlowControl flow = QSerialPort::NoFlowControl,
              QSerialPort::Parity parity = QSerialPort::NoParity)
{
    port.setPortName(chip.devicePath());
    port.setBaudRate(speed);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(parity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(flow);
    return port.open(QIODevice::ReadWrite);
}

// Everything that arrives until 300 ms pass without a byte.
QByteArray readReply(QSerialPort &port)
{
    QByteArray reply;
    while (port.waitForReadyRead(300))
        reply += port.readAll();
    return reply + port.readAll();
}

} // namespace

class TestSimulatedChip final : public QObject
{
    Q_OBJECT

private slots:
    void answersThroughQSerialPort();
    void transcriptRecordsLineSettings_data();
    void transcriptRecordsLineSettings();
    void answersOnlyAtItsOwnSpeed_data();
    void answersOnlyAtItsOwnSpeed();
    void repliesArePacedAtLineSpeed();
    void burstsHaveGaps();
    void answersWhileOpenerIsBusy();
    void openCloseCyclesKeepLineQuiet();
    void severalChipsInOneProcess();
    void unplugRemovesDevice();
    void unplugAfterBytes();
    void endlessStreamAndItsEnd();
    void symbolicLink();
    void settingsChangedSignal();
};

void TestSimulatedChip::answersThroughQSerialPort()
{
    SimulatedChip chip(9600);
    QVERIFY2(chip.isValid(), qPrintable(chip.errorString()));
    QVERIFY(chip.devicePath().startsWith(u"/dev/pts/"_s));
    QSerialPort port;
    QVERIFY2(openPort(port, chip, 9600), qPrintable(port.errorString()));
    port.write(Identify);
    QCOMPARE(readReply(port), chip.identity());
    QCOMPARE(chip.received().bytes(), Identify);
    QCOMPARE(chip.sent().bytes(), chip.identity());
}

void TestSimulatedChip::transcriptRecordsLineSettings_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<QSerialPort::FlowControl>("flow");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QString>("expected");
    QTest::newRow("9600 none") << 9600 << QSerialPort::NoFlowControl << QSerialPort::NoParity << u"9600,N,8,1"_s;
    QTest::newRow("57600 xon") << 57600 << QSerialPort::SoftwareControl << QSerialPort::NoParity
                               << u"57600,N,8,1 xon/xoff"_s;
    QTest::newRow("19200 rts") << 19200 << QSerialPort::HardwareControl << QSerialPort::NoParity
                               << u"19200,N,8,1 rts/cts"_s;
    QTest::newRow("28800 custom speed") << 28800 << QSerialPort::NoFlowControl << QSerialPort::NoParity
                                        << u"28800,N,8,1"_s;
    // A pseudo-terminal keeps 8 data bits without parity whatever is asked (Linux).
    QTest::newRow("2400 even asked") << 2400 << QSerialPort::NoFlowControl << QSerialPort::EvenParity
                                     << u"2400,N,8,1"_s;
}

void TestSimulatedChip::transcriptRecordsLineSettings()
{
    QFETCH(int, speed);
    QFETCH(QSerialPort::FlowControl, flow);
    QFETCH(QSerialPort::Parity, parity);
    QFETCH(QString, expected);
    SimulatedChip chip(9600);
    QSerialPort port;
    QVERIFY(openPort(port, chip, speed, flow, parity));
    port.write(b({24, 0}));
    port.flush();
    QVERIFY(chip.waitForReceived(2));
    const auto entries = chip.received().entries();
    QCOMPARE(entries.at(0).line.toString(), expected);
    QCOMPARE(entries.at(1).line.toString(), expected);
    QCOMPARE(chip.lineSettings().toString(), expected);
}

void TestSimulatedChip::answersOnlyAtItsOwnSpeed_data()
{
    QTest::addColumn<int>("chipSpeed");
    QTest::addColumn<int>("lineSpeed");
    QTest::addColumn<bool>("answers");
    QTest::newRow("9600 at 9600") << 9600 << 9600 << true;
    QTest::newRow("9600 at 19200") << 9600 << 19200 << false;
    QTest::newRow("28800 at 28800") << 28800 << 28800 << true;
    QTest::newRow("38400 at 28800") << 38400 << 28800 << false;
    QTest::newRow("28800 at 38400") << 28800 << 38400 << false;
    QTest::newRow("115200 at 115200") << 115200 << 115200 << true;
}

void TestSimulatedChip::answersOnlyAtItsOwnSpeed()
{
    QFETCH(int, chipSpeed);
    QFETCH(int, lineSpeed);
    QFETCH(bool, answers);
    SimulatedChip chip(chipSpeed);
    QSerialPort port;
    QVERIFY(openPort(port, chip, lineSpeed));
    port.write(Identify);
    QCOMPARE(readReply(port), answers ? chip.identity() : QByteArray());
    QCOMPARE(chip.received().entries().at(0).line.speed, lineSpeed);
}

void TestSimulatedChip::repliesArePacedAtLineSpeed()
{
    SimulatedChip chip(1200);
    QSerialPort port;
    QVERIFY(openPort(port, chip, 1200));
    port.write(Identify);
    port.flush();
    const int length = int(chip.identity().size());
    QVERIFY(chip.waitForSent(length));
    // 10 bits a byte at 1200 bit/s: 8.33 ms a byte. The last byte can't have left before
    // the whole reply had time to cross the line (the chip sends up to 1 ms ahead).
    const double spanMs =
        double(chip.sent().entries().last().timeNs - chip.received().entries().last().timeNs) / 1e6;
    const double expected = length * 10000.0 / 1200;
    QVERIFY2(spanMs > expected - 1.5 && spanMs < expected + 150, qPrintable(QString::number(spanMs)));
    QCOMPARE(readReply(port), chip.identity());
}

void TestSimulatedChip::burstsHaveGaps()
{
    SimulatedChip chip(115200);
    ChipFaults f;
    f.burstSize = 8;
    f.burstGapMs = 150;
    chip.setFaults(f);
    QSerialPort port;
    QVERIFY(openPort(port, chip, 115200));
    port.write(Identify);
    port.flush();
    QVERIFY(chip.waitForSent(int(chip.identity().size())));
    const auto sent = chip.sent().entries();
    for (int i = 1; i < sent.size(); ++i) {
        const double gapMs = double(sent.at(i).timeNs - sent.at(i - 1).timeNs) / 1e6;
        // The chip's thread may be late for one byte and send the next ones at once,
        // which shortens a gap by as much; bursts stay well apart all the same.
        if (i % 8 == 0)
            QVERIFY2(gapMs >= 110, qPrintable(u"gap %1 before byte %2"_s.arg(gapMs).arg(i)));
        else
            QVERIFY2(gapMs < 40, qPrintable(u"gap %1 before byte %2"_s.arg(gapMs).arg(i)));
    }
}

void TestSimulatedChip::answersWhileOpenerIsBusy()
{
    SimulatedChip chip(9600);
    QSerialPort port;
    QVERIFY(openPort(port, chip, 9600));
    port.write(Identify);
    port.flush();
    // The opener's thread does not return to its event loop: the chip answers anyway.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QCOMPARE(chip.sent().size(), int(chip.identity().size()));
}

void TestSimulatedChip::openCloseCyclesKeepLineQuiet()
{
    SimulatedChip chip(9600);
    QByteArray expected;
    for (int i = 0; i < 5; ++i) {
        QSerialPort port;
        QVERIFY(openPort(port, chip, 9600));
        port.write(Identify);
        QCOMPARE(readReply(port), chip.identity());
        port.close();
        expected += Identify;
    }
    // No reply was echoed back into the chip by the closing restore of settings.
    QCOMPARE(chip.received().bytes(), expected);
}

void TestSimulatedChip::severalChipsInOneProcess()
{
    SimulatedChip quiet(9600);
    quiet.setSilent(true);
    SimulatedChip chip(9600);
    QVERIFY(quiet.devicePath() != chip.devicePath());
    QSerialPort a;
    QSerialPort c;
    QVERIFY(openPort(a, quiet, 9600));
    QVERIFY(openPort(c, chip, 9600));
    a.write(Identify);
    c.write(Identify);
    QCOMPARE(readReply(c), chip.identity());
    QCOMPARE(readReply(a), QByteArray());
    QCOMPARE(quiet.received().bytes(), Identify);
}

void TestSimulatedChip::unplugRemovesDevice()
{
    SimulatedChip chip(9600);
    const QString device = chip.devicePath();
    QVERIFY(QFileInfo::exists(device));
    chip.unplug();
    QVERIFY(chip.isUnplugged());
    QVERIFY(!QFileInfo::exists(device));
    QSerialPort port;
    QVERIFY(!openPort(port, chip, 9600));
}

void TestSimulatedChip::unplugAfterBytes()
{
    SimulatedChip chip(9600);
    QSerialPort port;
    QVERIFY(openPort(port, chip, 9600));
    ChipFaults f;
    f.unplugAfterBytes = 2;
    chip.setFaults(f);
    QSignalSpy errors(&port, &QSerialPort::errorOccurred);
    port.write(Identify);
    port.flush();
    QTRY_VERIFY(chip.isUnplugged());
    QTRY_VERIFY(!errors.isEmpty());
    QCOMPARE(chip.sent().size(), 0);
    QCOMPARE(chip.received().bytes(), Identify);
}

void TestSimulatedChip::endlessStreamAndItsEnd()
{
    SimulatedChip chip(115200);
    ChipFaults f;
    f.endlessStream = true;
    chip.setFaults(f);
    QSerialPort port;
    QVERIFY(openPort(port, chip, 115200));
    port.write(Identify);
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < 3000 && clock.elapsed() < 5000) {
        port.waitForReadyRead(100);
        got += port.readAll();
    }
    QVERIFY(got.size() >= 3000);
    QVERIFY(got.startsWith(chip.identity()));

    chip.setFaults({});
    port.readAll();
    const int sentWhenStopped = chip.sent().size();
    QCOMPARE(readReply(port), QByteArray());
    QVERIFY(chip.sent().size() <= sentWhenStopped + 64);
}

void TestSimulatedChip::symbolicLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"qv12"_s);
    {
        SimulatedChip chip(9600);
        QVERIFY(chip.createLink(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), chip.devicePath());
        SimulatedChip second(9600);
        QVERIFY(second.createLink(link));  // a link is replaced
        QCOMPARE(QFileInfo(link).symLinkTarget(), second.devicePath());
        QSerialPort port;
        port.setPortName(link);
        port.setBaudRate(9600);
        QVERIFY(port.open(QIODevice::ReadWrite));
        port.write(Identify);
        QCOMPARE(readReply(port), second.identity());
    }
    QVERIFY(!QFileInfo(link).isSymLink());  // removed with its chip

    QFile plain(dir.filePath(u"plain"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    SimulatedChip chip(9600);
    QString error;
    QVERIFY(!chip.createLink(plain.fileName(), &error));
    QVERIFY(error.contains(u"not a symbolic link"_s));
    QVERIFY(QFileInfo(plain.fileName()).isFile());
}

void TestSimulatedChip::settingsChangedSignal()
{
    SimulatedChip chip(9600);
    QSignalSpy changed(&chip, &SimulatedChip::settingsChanged);
    QSerialPort port;
    QVERIFY(openPort(port, chip, 9600));
    port.write(b({29, 'S', 'F', 9, 65}));
    QCOMPARE(readReply(port), b({65}));
    QTRY_COMPARE(changed.size(), 1);
    QCOMPARE(chip.setting(9), quint8(65));
    port.write(b({29, 'S', 'f', 9}));
    QCOMPARE(readReply(port), b({65}));
    QCOMPARE(changed.size(), 1);
}

QTEST_GUILESS_MAIN(TestSimulatedChip)
#include "tst_simulatedchip.moc"
