#include "protocol/commands.h"
#include "serial/seriallink.h"
#include "sim/simulatedchip.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray b(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

// Modes in which the test binary runs again as a child process.
constexpr char ChildMode[] = "QV12_LINK_TEST_CHILD";

QString kindName(LinkFailure::Kind kind)
{
    switch (kind) {
    case LinkFailure::Kind::NoDevice: return u"NoDevice"_s;
    case LinkFailure::Kind::PermissionDenied: return u"PermissionDenied"_s;
    case LinkFailure::Kind::Busy: return u"Busy"_s;
    case LinkFailure::Kind::Unplugged: return u"Unplugged"_s;
    case LinkFailure::Kind::Other: return u"Other"_s;
    }
    return {};
}

QStringList kinds(const QList<LinkFailure> &failures)
{
    QStringList out;
    for (const LinkFailure &f : failures)
        out << kindName(f.kind);
    return out;
}

// "open:DEVICE" tries OpenPort on COM1 = DEVICE and prints the failures;
// "hold:DEVICE" keeps DEVICE open until its standard input closes.
int childMain(const QByteArray &mode)
{
    const QString device = QString::fromLocal8Bit(mode.mid(5));
    if (mode.startsWith("open:")) {
        PortMap ports;
        ports.assign(1, device);
        SerialLink link(ports);
        const bool opened = link.OpenPort(1, u"9600"_s, 0);
        std::printf("opened=%d failures=%s\n", int(opened),
                    qPrintable(kinds(link.takeFailures()).join(u',')));
        return 0;
    }
    if (mode.startsWith("hold:")) {
        QSerialPort port(device);
        if (!port.open(QIODevice::ReadWrite)) {
            std::printf("failed\n");
            return 1;
        }
        std::printf("held\n");
        std::fflush(stdout);
        char c;
        while (::read(0, &c, 1) > 0) {
        }
        return 0;
    }
    return 2;
}

} // namespace

class TestSerialLink final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Reading
    void readTextJoinsBursts();
    void readTextOnSilence();
    void readByteTakesFirstOfThree();
    void readByteOnSilence();
    void readByteLeavesBytesBeyondReadLimit();
    void readTextStopsAtByteBound();
    void readTextStopsAtTimeBound();

    // Opening
    void openPortSettles();
    void openPortOnOpenPortChangesNothing();
    void handshakeCodes_data();
    void handshakeCodes();
    void silentAtWrongSpeed_data();
    void silentAtWrongSpeed();
    void writtenSettingReadsBack();
    void bytesSentJustBeforeCloseKeepTheirSpeed();
    void closePortOnClosedPort();
    void portExists();
    void nothingSentWhenNotOpen();
    void openDirectReopensWithNewSettings();
    void detectionPrimitives();

    // Port failures
    void vanishedDevice();
    void unpluggedDuringExchange();
    void permissionDenied();
    void portHeldByAnotherProgram();
    void abortMakesLinkInert();

private:
    QString chipDevice() const { return m_chip->devicePath(); }

    std::unique_ptr<SimulatedChip> m_chip;
    std::unique_ptr<PortMap> m_ports;
    std::unique_ptr<SerialLink> m_link;
};

void TestSerialLink::init()
{
    m_chip = std::make_unique<SimulatedChip>(9600);
    QVERIFY2(m_chip->isValid(), qPrintable(m_chip->errorString()));
    m_ports = std::make_unique<PortMap>();
    m_ports->assign(1, m_chip->devicePath());
    m_link = std::make_unique<SerialLink>(*m_ports);
}

void TestSerialLink::cleanup()
{
    m_link.reset();
    m_ports.reset();
    m_chip.reset();
}

void TestSerialLink::readTextJoinsBursts()
{
    ChipFaults f;
    f.burstSize = 10;
    f.burstGapMs = 300;  // under the 500 ms of silence that ends a reply
    m_chip->setFaults(f);
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::Identify());
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = m_link->ReadText();
    const qint64 returned = SimulatedChip::nowNs();
    QCOMPARE(reply, m_chip->identity());
    QVERIFY(clock.elapsed() >= 600);  // two gaps at least
    // It returns about 500 ms after the last byte.
    const double silenceMs = double(returned - m_chip->sent().entries().last().timeNs) / 1e6;
    QVERIFY2(silenceMs >= 490 && silenceMs < 1500, qPrintable(QString::number(silenceMs)));
    QCOMPARE(m_link->takeFailures().size(), 0);
}

void TestSerialLink::readTextOnSilence()
{
    m_chip->setSilent(true);
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::Identify());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_link->ReadText(), QByteArray());
    QVERIFY2(clock.elapsed() >= 495 && clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
}

void TestSerialLink::readByteTakesFirstOfThree()
{
    ChipFaults f;
    f.configReplyLength = 3;  // 65, 0xFC, 0x20
    m_chip->setFaults(f);
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::ReadConfiguration());
    QVERIFY(m_chip->waitForSent(3));
    QTRY_COMPARE(m_link->bytesWaiting(), 3);
    QCOMPARE(m_link->ReadByte(), quint8(65));
    // The other two went with the same read.
    QCOMPARE(m_link->bytesWaiting(), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_link->ReadByte(), quint8(0));
    QVERIFY(clock.elapsed() >= 495);
}

void TestSerialLink::readByteOnSilence()
{
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_link->ReadByte(), quint8(0));
    QVERIFY2(clock.elapsed() >= 495 && clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
}

void TestSerialLink::readByteLeavesBytesBeyondReadLimit()
{
    QByteArray text;
    for (int i = 0; i < 150; ++i)
        text.append(char('A' + i % 26));
    ChipFaults f;
    f.identityReply = text;
    m_chip->setFaults(f);
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::Identify());
    QVERIFY(m_chip->waitForSent(150));
    QTRY_COMPARE(m_link->bytesWaiting(), 150);
    QCOMPARE(m_link->ReadByte(), quint8('A'));
    QCOMPARE(m_link->ReadText(), text.mid(SerialLink::ReadLimit));
}

void TestSerialLink::readTextStopsAtByteBound()
{
    SimulatedChip fast(115200);
    m_ports->assign(2, fast.devicePath());
    ChipFaults f;
    f.endlessStream = true;
    fast.setFaults(f);
    QVERIFY(m_link->OpenPort(2, u"115200"_s, 2));
    m_link->SendText(Commands::Identify());
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = m_link->ReadText();
    QCOMPARE(reply.size(), SerialLink::MaxReplyBytes);
    QVERIFY(reply.startsWith(fast.identity()));
    QVERIFY(clock.elapsed() < SerialLink::MaxReplyMs);
    m_link->ClosePort();
}

void TestSerialLink::readTextStopsAtTimeBound()
{
    SimulatedChip slow(1200);
    m_ports->assign(2, slow.devicePath());
    ChipFaults f;
    f.endlessStream = true;
    slow.setFaults(f);
    m_link->setReplyBounds(SerialLink::MaxReplyBytes, 1000);
    QVERIFY(m_link->OpenPort(2, u"1200"_s, 2));
    m_link->SendText(Commands::Identify());
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = m_link->ReadText();
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 1000 && elapsed < 2000, qPrintable(QString::number(elapsed)));
    QVERIFY2(reply.size() > 80 && reply.size() < 200, qPrintable(QString::number(reply.size())));
    m_link->ClosePort();
}

void TestSerialLink::openPortSettles()
{
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    QVERIFY(clock.elapsed() >= SerialLink::SettleMs - 1);
    QVERIFY(m_link->isOpen());
    QCOMPARE(m_link->openedPort(), 1);
}

void TestSerialLink::openPortOnOpenPortChangesNothing()
{
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 0));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_link->OpenPort(1, u"19200"_s, 1));
    QVERIFY(clock.elapsed() < SerialLink::SettleMs);  // not even the settling wait
    m_link->SendText(Commands::Probe());
    QCOMPARE(m_link->ReadByte(), ChipEmulator::ProbeReply);
    const auto entries = m_chip->received().entries();
    QCOMPARE(entries.size(), 2);
    for (const TranscriptEntry &e : entries)
        QCOMPARE(e.line.toString(), u"9600,N,8,1"_s);
}

void TestSerialLink::handshakeCodes_data()
{
    QTest::addColumn<int>("handshake");
    QTest::addColumn<QString>("line");
    QTest::newRow("0 none") << 0 << u"9600,N,8,1"_s;
    QTest::newRow("1 xon/xoff") << 1 << u"9600,N,8,1 xon/xoff"_s;
    QTest::newRow("2 rts/cts") << 2 << u"9600,N,8,1 rts/cts"_s;
}

void TestSerialLink::handshakeCodes()
{
    QFETCH(int, handshake);
    QFETCH(QString, line);
    QVERIFY(m_link->OpenPort(1, u"9600"_s, handshake));
    m_link->SendText(Commands::Identify());
    QCOMPARE(m_link->ReadText(), m_chip->identity());
    QCOMPARE(m_chip->received().entries().first().line.toString(), line);
}

void TestSerialLink::silentAtWrongSpeed_data()
{
    QTest::addColumn<int>("chipSpeed");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<bool>("answers");
    QTest::newRow("9600 at 9600") << 9600 << u"9600"_s << true;
    QTest::newRow("9600 at 19200") << 9600 << u"19200"_s << false;
    QTest::newRow("9600 at 4800") << 9600 << u"4800"_s << false;
    QTest::newRow("28800 at 28800") << 28800 << u"28800"_s << true;
    QTest::newRow("28800 at 38400") << 28800 << u"38400"_s << false;
    QTest::newRow("115200 at 115200") << 115200 << u"115200"_s << true;
}

void TestSerialLink::silentAtWrongSpeed()
{
    QFETCH(int, chipSpeed);
    QFETCH(QString, speed);
    QFETCH(bool, answers);
    SimulatedChip chip(chipSpeed);
    m_ports->assign(3, chip.devicePath());
    QVERIFY(m_link->OpenPort(3, speed, 0));
    m_link->SendText(Commands::Identify());
    QCOMPARE(m_link->ReadText(), answers ? chip.identity() : QByteArray());
    QCOMPARE(chip.received().entries().first().line.speed, speed.toInt());
    m_link->ClosePort();
}

void TestSerialLink::writtenSettingReadsBack()
{
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::WriteSetting(9, 200));
    QCOMPARE(m_link->ReadByte(), quint8(200));
    m_link->ClosePort();
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::ReadSetting(9));
    QCOMPARE(m_link->ReadByte(), quint8(200));
    QCOMPARE(m_chip->setting(9), quint8(200));
    QCOMPARE(m_chip->received().bytes(), b({29, 83, 70, 9, 200, 29, 83, 102, 9}));
}

void TestSerialLink::bytesSentJustBeforeCloseKeepTheirSpeed()
{
    // Reset and the wake byte are sent and the port closed at once: the chip must still
    // see them at the speed they were sent with, not at whatever the device reverts to.
    SimulatedChip chip(19200);
    m_ports->assign(2, chip.devicePath());
    for (int i = 0; i < 20; ++i) {
        QVERIFY(m_link->OpenPort(2, u"19200"_s, 2));
        m_link->SendText(Commands::WriteSetting(10, quint8(i)));
        m_link->ClosePort();
        QVERIFY(chip.waitForReceived(5 * (i + 1)));
        QCOMPARE(chip.setting(10), quint8(i));
    }
    for (const TranscriptEntry &e : chip.received().entries())
        QCOMPARE(e.line.speed, 19200);
    // The wake byte: its own speed, right before the close, on a chip at another speed.
    QVERIFY(m_link->openDirect(2, u"57600"_s, 0));
    m_link->SendText(Commands::WakeByte());
    m_link->ClosePort();
    QVERIFY(chip.waitForReceived(101));
    QCOMPARE(chip.received().entries().last().line.toString(), u"57600,N,8,1"_s);
}

void TestSerialLink::closePortOnClosedPort()
{
    m_link->ClosePort(1);
    QVERIFY(!m_link->isOpen());
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->ClosePort(5);  // the argument is ignored: there is one port
    QVERIFY(!m_link->isOpen());
    m_link->ClosePort();
    QCOMPARE(m_link->takeFailures().size(), 0);
}

void TestSerialLink::portExists()
{
    QVERIFY(m_link->PortExists(1));
    QVERIFY(!m_link->PortExists(2));
    QVERIFY(!m_link->PortExists(0));
    QVERIFY(!m_link->PortExists(7));
    m_ports->assign(7, m_chip->devicePath());  // only 1..6 can be mapped
    QVERIFY(!m_link->PortExists(7));
    QVERIFY(!m_link->isOpen());
    QCOMPARE(m_chip->received().size(), 0);
}

void TestSerialLink::nothingSentWhenNotOpen()
{
    m_link->SendText(Commands::Identify());
    QCOMPARE(m_link->ReadText(), QByteArray());
    QCOMPARE(m_link->ReadByte(), quint8(0));
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::Probe());
    QVERIFY(m_chip->waitForReceived(2));
    QCOMPARE(m_chip->received().bytes(), Commands::Probe());
}

void TestSerialLink::openDirectReopensWithNewSettings()
{
    QVERIFY(m_link->OpenPort(1, u"19200"_s, 2));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_link->openDirect(1, u"9600"_s, 1));
    QVERIFY(clock.elapsed() < SerialLink::SettleMs);
    m_link->SendText(Commands::Probe());
    QVERIFY(m_chip->waitForReceived(2));
    QCOMPARE(m_chip->received().entries().first().line.toString(), u"9600,N,8,1 xon/xoff"_s);
}

void TestSerialLink::detectionPrimitives()
{
    QVERIFY(m_link->openDirect(1, u"9600"_s, 0));
    m_link->SendText(Commands::Identify());
    QVERIFY(m_chip->waitForSent(int(m_chip->identity().size())));
    QTRY_COMPARE(m_link->bytesWaiting(), int(m_chip->identity().size()));
    m_link->discardInput();
    QCOMPARE(m_link->bytesWaiting(), 0);
    m_link->SendText(Commands::Probe());
    m_link->WaitMs(100);
    QCOMPARE(m_link->bytesWaiting(), 1);
    QCOMPARE(m_link->readWaiting(), b({ChipEmulator::ProbeReply}));
    QCOMPARE(m_link->readWaiting(), QByteArray());
}

void TestSerialLink::vanishedDevice()
{
    m_ports->assign(3, u"/dev/qv12-no-such-device"_s);
    QVERIFY(!m_link->PortExists(3));
    QVERIFY(!m_link->OpenPort(3, u"9600"_s, 2));
    QVERIFY(!m_link->isOpen());
    QElapsedTimer clock;
    clock.start();
    m_link->SendText(Commands::Identify());
    QCOMPARE(m_link->ReadText(), QByteArray());
    QCOMPARE(m_link->ReadByte(), quint8(0));
    QVERIFY(clock.elapsed() < 100);  // nothing to wait for on a port that isn't open
    QVERIFY(!m_link->OpenPort(3, u"9600"_s, 2));
    const auto failures = m_link->takeFailures();
    QCOMPARE(kinds(failures), QStringList{u"NoDevice"_s});  // once, not per attempt
    QCOMPARE(failures.first().port, 3);
    QCOMPARE(failures.first().device, u"/dev/qv12-no-such-device"_s);
    QVERIFY(!failures.first().systemText.isEmpty());

    QVERIFY(!m_link->OpenPort(4, u"9600"_s, 2));  // nothing assigned
    QCOMPARE(kinds(m_link->takeFailures()), QStringList{u"NoDevice"_s});
}

void TestSerialLink::unpluggedDuringExchange()
{
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    ChipFaults f;
    f.unplugAfterBytes = 2;
    m_chip->setFaults(f);
    m_link->SendText(Commands::Identify());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_link->ReadText(), QByteArray());
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(!m_link->isOpen());
    QCOMPARE(m_link->ReadByte(), quint8(0));
    m_link->SendText(Commands::Identify());
    QCOMPARE(m_link->ReadText(), QByteArray());
    const auto failures = m_link->takeFailures();
    QCOMPARE(kinds(failures), QStringList{u"Unplugged"_s});
    QCOMPARE(failures.first().port, 1);
    QCOMPARE(failures.first().device, chipDevice());

    m_link->ClosePort();
    QVERIFY(!m_link->PortExists(1));
    QVERIFY(!m_link->OpenPort(1, u"9600"_s, 2));
    QCOMPARE(kinds(m_link->takeFailures()), QStringList{u"NoDevice"_s});
}

void TestSerialLink::permissionDenied()
{
    const QByteArray device = QFile::encodeName(chipDevice());
    if (::getuid() != 0) {
        // The pseudo-terminal is ours: without any permission bits we can't open it.
        QVERIFY(::chmod(device.constData(), 0) == 0);
        QVERIFY(!m_link->OpenPort(1, u"9600"_s, 2));
        const auto failures = m_link->takeFailures();
        QCOMPARE(kinds(failures), QStringList{u"PermissionDenied"_s});
        QCOMPARE(failures.first().device, chipDevice());
        return;
    }
    // root opens everything: try it from a child that has dropped to nobody.
    QVERIFY(::chmod(device.constData(), 0600) == 0);
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildMode), u"open:"_s + chipDevice());
    child.setProcessEnvironment(env);
    child.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(97);
    });
    child.start();
    QVERIFY(child.waitForFinished(20000));
    if (child.exitCode() == 97)
        QSKIP("cannot drop privileges to uid 65534 here");
    if (child.error() == QProcess::FailedToStart || child.exitCode() == 127 || child.exitCode() == 126)
        QSKIP("the test binary cannot be run as uid 65534 from here");
    const QByteArray out = child.readAllStandardOutput();
    QCOMPARE(out.trimmed(), QByteArray("opened=0 failures=PermissionDenied"));
}

void TestSerialLink::portHeldByAnotherProgram()
{
    QProcess holder;
    holder.setProgram(QCoreApplication::applicationFilePath());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildMode), u"hold:"_s + chipDevice());
    holder.setProcessEnvironment(env);
    holder.start();
    QVERIFY(holder.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAllStandardOutput()).contains("held")
                                 || holder.state() == QProcess::NotRunning, 20000);
    QVERIFY2(said.contains("held"), said.constData());

    QVERIFY(!m_link->OpenPort(1, u"9600"_s, 2));
    const auto failures = m_link->takeFailures();
    QCOMPARE(kinds(failures), QStringList{u"Busy"_s});
    QCOMPARE(failures.first().port, 1);
    QCOMPARE(m_chip->received().size(), 0);

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    QCOMPARE(m_link->takeFailures().size(), 0);
}

void TestSerialLink::abortMakesLinkInert()
{
    QVERIFY(m_link->OpenPort(1, u"9600"_s, 2));
    QSignalSpy aborted(m_link.get(), &SerialLink::aborted);
    QTimer::singleShot(100, m_link.get(), [this] { m_link->abort(); });
    QElapsedTimer clock;
    clock.start();
    m_link->WaitMs(5000);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(aborted.size(), 1);
    QVERIFY(m_link->isAborted());
    QVERIFY(!m_link->isOpen());
    clock.restart();
    m_link->WaitMs(1000);
    QVERIFY(!m_link->OpenPort(1, u"9600"_s, 2));
    m_link->SendText(Commands::Identify());
    QCOMPARE(m_link->ReadText(), QByteArray());
    QCOMPARE(m_link->ReadByte(), quint8(0));
    QVERIFY(clock.elapsed() < 100);
    QCOMPARE(m_link->takeFailures().size(), 0);  // quietly
    QCOMPARE(m_chip->received().size(), 0);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = qgetenv(ChildMode);
    if (!mode.isEmpty())
        return childMain(mode);
    TestSerialLink test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_seriallink.moc"
