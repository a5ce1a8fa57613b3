// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated chip's behaviour that the chip tests rely on, and the qv12-chipsim tool
// as a separate process talked to by a plain POSIX client (no QSerialPort, no code of
// the configurator).
#include "sim/chipemulator.h"
#include "tests/common/bytes.h"

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Rows name only the faults they switch on; the others keep their healthy defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(ChipFaults)

namespace {

const QByteArray Identify = bytes({27, 'I'});
const QByteArray Probe = bytes({27, 'v'});
const QByteArray ReadConfig = bytes({29, 'S', 'C'});
const QByteArray Reset = bytes({27, '@'});
const QByteArray DefaultIdentity("KT 610-ST       QV12 FW 2.07");

QByteArray readSetting(int n)
{
    return bytes({29, 'S', 'f', n});
}

// writeSetting commands for the (setting, value) pairs, in order.
QByteArray writes(std::initializer_list<std::pair<int, int>> settings)
{
    QByteArray out;
    for (const auto &[n, value] : settings)
        out += bytes({29, 'S', 'F', n, value});
    return out;
}

// 8N1 without flow control at speed, as a terminal program sets a line.
bool setSpeed(int fd, speed_t speed)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Writes the bytes and collects the answer until 300 ms pass without a byte.
QByteArray exchange(int fd, const QByteArray &out)
{
    if (::write(fd, out.constData(), size_t(out.size())) != out.size())
        return "write failed";
    QByteArray reply;
    pollfd p{fd, POLLIN, 0};
    char buffer[256];
    ssize_t n = 0;
    while (::poll(&p, 1, 300) > 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        reply.append(buffer, n);
    return reply;
}

} // namespace

class TestSim final : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void sleepAndWake();
    void resetRestartsWithWrittenSettings_data();
    void resetRestartsWithWrittenSettings();
    void toolAnswersAnIndependentClient();
};

void TestSim::answers_data()
{
    QTest::addColumn<ChipFaults>("faults");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    const ChipFaults healthy;
    QTest::newRow("write echoes, read") << healthy << writes({{9, 65}}) + readSetting(9) << bytes({65, 65});
    QTest::newRow("value 24 is no CAN") << healthy << writes({{24, 24}}) + readSetting(24) << bytes({24, 24});
    QTest::newRow("CAN inside GS S f") << healthy << bytes({29, 'S', 24, 'f', 9}) << QByteArray();
    QTest::newRow("CAN, then a command") << healthy << bytes({29, 24}) + Identify << DefaultIdentity;
    // The knobs the chip tests turn.
    QTest::newRow("silent") << ChipFaults{.silent = true} << Identify + Probe << QByteArray();
    QTest::newRow("no echo, stored") << ChipFaults{.noEcho = {9}} << writes({{9, 65}, {10, 66}}) + readSetting(9)
                                     << bytes({66, 65});
    QTest::newRow("wrong echo, stored") << ChipFaults{.wrongEcho = {{7, 0}}} << writes({{7, 0xFC}}) + readSetting(7)
                                        << bytes({0, 0xFC});
    QTest::newRow("configuration in 3") << ChipFaults{.configReplyLength = 3} << ReadConfig << bytes({65, 0xFC, 0x20});
    QTest::newRow("configuration in 4") << ChipFaults{.configReplyLength = 4} << ReadConfig
                                        << bytes({65, 66, 0xFC, 0x20});
    QTest::newRow("second probe unanswered") << ChipFaults{.probeReplyBytes = 0, .probeFaultFrom = 2}
                                             << Probe + Probe << bytes({1});
    QTest::newRow("identity replaced") << ChipFaults{.identityReply = "<b>KT</b> 610"} << Identify
                                       << QByteArray("<b>KT</b> 610");
    QTest::newRow("identity unanswered") << ChipFaults{.identityReply = QByteArray()} << Identify + Probe << bytes({1});
    QTest::newRow("one identity reply missed") << ChipFaults{.missedIdentityReplies = 1} << Identify + Identify
                                               << DefaultIdentity;
    // Late: the same answer, held back by the host (SimulatedChip) for the time given.
    QTest::newRow("a setting answered late") << ChipFaults{.lateSettingMs = {{28, 150}}} << readSetting(28)
                                             << bytes({0x83});
}

void TestSim::answers()
{
    QFETCH(ChipFaults, faults);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    ChipEmulator chip;
    chip.setFaults(faults);
    QCOMPARE(chip.receive(sent, 9600, 0), expected);
    QCOMPARE(chip.takeReplyDelayMs(), faults.lateSettingMs.value(28));
    QCOMPARE(chip.takeReplyDelayMs(), 0);  // once
}

void TestSim::sleepAndWake()
{
    ChipEmulator chip;
    // The configurator's sleep: CAN, ESC "S", 10 ms, CAN. Asleep once the delay has passed.
    chip.receive(bytes({24, 27, 'S'}), 9600, 1000);
    chip.receive(bytes({24}), 9600, 1010);
    QVERIFY(!chip.isAsleep(1000 + ChipEmulator::SleepDelayMs - 1));
    QVERIFY(chip.isAsleep(1000 + ChipEmulator::SleepDelayMs));
    // Any byte wakes it, at any speed, and is lost.
    QCOMPARE(chip.receive(Identify, 9600, 2000), QByteArray());
    QCOMPARE(chip.receive(Identify, 9600, 2001), DefaultIdentity);
    chip.receive(bytes({27, 'S'}), 9600, 3000);
    QCOMPARE(chip.receive(bytes({0}), 57600, 4000), QByteArray());
    QVERIFY(!chip.isAsleep(4000));
    QCOMPARE(chip.receive(Identify, 9600, 4001), DefaultIdentity);
}

void TestSim::resetRestartsWithWrittenSettings_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("speed");  // after the restart
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QByteArray>("configuration");
    QTest::newRow("user identity, PNX") << writes({{7, 0x7C}, {9, 'N'}, {10, 'E'}, {11, 'W'}, {12, 0}}) << 9600
                                        << QByteArray("NEW PNX         QV12 FW 2.07") << bytes({0x7C, 0x20});
    QTest::newRow("automatic identity") << writes({{9, 0}}) << 9600 << QByteArray("AUTO ST 2IN 5V  QV12 FW 2.07")
                                        << bytes({0xFC, 0x20});
    QTest::newRow("hardware mode") << writes({{6, 0}}) << 9600 << DefaultIdentity << bytes({0xE4, 0x40});
    QTest::newRow("speed from setting 28") << writes({{28, 0x84}}) << 19200 << DefaultIdentity << bytes({0xFC, 0x20});
}

void TestSim::resetRestartsWithWrittenSettings()
{
    QFETCH(QByteArray, written);
    QFETCH(int, speed);
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, configuration);
    ChipEmulator chip;
    chip.receive(written, 9600, 0);
    QCOMPARE(chip.receive(Identify + ReadConfig, 9600, 0), DefaultIdentity + bytes({0xFC, 0x20}));
    chip.receive(Reset, 9600, 100);
    const qint64 up = 100 + ChipEmulator::ResetPauseMs;
    QCOMPARE(chip.receive(Identify, speed, up - 1), QByteArray());  // deaf while restarting
    QCOMPARE(chip.receive(Identify + ReadConfig, speed, up), identity + configuration);
}

void TestSim::toolAnswersAnIndependentClient()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"qv12"_s);
    QProcess tool;
    tool.start(QStringLiteral(QV12_CHIPSIM), {u"--speed"_s, u"9600"_s, u"--link"_s, link});
    // Without its ready line, what it wrote on stderr tells why (a sanitizer's report, say).
    QVERIFY2(tool.waitForStarted(5000) && tool.waitForReadyRead(10000),
             tool.readAllStandardError().constData());
    const QByteArray ready = tool.readLine().trimmed();
    QVERIFY2(ready.startsWith("qv12-chipsim: COM link " + QFile::encodeName(link) + " -> /dev/pts/")
                 && ready.endsWith(" at 9600 bauds"), ready.constData());
    const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    QVERIFY(fd >= 0 && setSpeed(fd, B9600));
    QCOMPARE(exchange(fd, Identify), DefaultIdentity);
    QCOMPARE(exchange(fd, writes({{9, 65}})), bytes({65}));
    QCOMPARE(exchange(fd, readSetting(9)), bytes({65}));
    QVERIFY(setSpeed(fd, B19200));
    QCOMPARE(exchange(fd, Identify + writes({{9, 66}}) + readSetting(9)), QByteArray());
    tool.terminate();
    QVERIFY(tool.waitForFinished(5000));
    QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
             tool.readAllStandardError().constData());
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
