#include "sim/chipemulator.h"

#include <QTest>

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
const QByteArray Probe = b({27, 'v'});
const QByteArray Reset = b({27, '@'});
const QByteArray Sleep = b({27, 'S'});
const QByteArray ReadConfig = b({29, 'S', 'C'});
QByteArray readSetting(int n) { return b({29, 'S', 'f', n}); }
QByteArray writeSetting(int n, int v) { return b({29, 'S', 'F', n, v}); }

// Writes an identity the way the configurator does: one setting per character, then 0.
void writeIdentity(ChipEmulator &chip, const QByteArray &name, qint64 now)
{
    for (int i = 0; i < name.size() && i < 16; ++i)
        chip.receive(writeSetting(9 + i, quint8(name.at(i))), 9600, now);
    if (name.size() < 16)
        chip.receive(writeSetting(9 + int(name.size()), 0), 9600, now);
}

} // namespace

Q_DECLARE_METATYPE(ChipFaults)

class TestChipEmulator final : public QObject
{
    Q_OBJECT

private slots:
    void startsAsPlausibleChip();
    void serialSetting_data();
    void serialSetting();
    void identity_data();
    void identity();
    void writtenSettingsTakeEffectAtReset();
    void resetIsSilentWhileRestarting();
    void readAndWriteSettings();
    void configurationInForce();
    void detectedPolarity();
    void queries();
    void cancelClearsHalfCommand();
    void parameterBytesAreRaw();
    void wrongSpeedIsGarbage();
    void sleepAndWake();
    void sleepSequenceKeepsChipAsleep();
    void restartAdoptsSpeedOfSetting28();
    void faults_data();
    void faults();
    void probeFaultFromNthProbe();
    void settingsImage();
};

void TestChipEmulator::startsAsPlausibleChip()
{
    ChipEmulator chip;
    QCOMPARE(chip.speed(), 9600);
    QCOMPARE(chip.setting(6), quint8(1));
    QCOMPARE(chip.setting(7), quint8(0xFC));
    QCOMPARE(chip.setting(8), quint8(0x20));
    QCOMPARE(chip.identity(), QByteArray("KT 610-ST       QV12 FW 2.07"));
    QCOMPARE(chip.receive(Identify, 9600, 0), chip.identity());
    QCOMPARE(chip.receive(ReadConfig, 9600, 0), b({0xFC, 0x20}));
    QCOMPARE(chip.receive(Probe, 9600, 0), b({ChipEmulator::ProbeReply}));
}

void TestChipEmulator::serialSetting_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("dsrDtr");
    QTest::addColumn<int>("setting28");
    QTest::newRow("9600 dtr") << 9600 << true << 0x83;
    QTest::newRow("9600 xon") << 9600 << false << 0x03;
    QTest::newRow("1200 dtr") << 1200 << true << 0x80;
    QTest::newRow("19200 xon") << 19200 << false << 0x04;
    QTest::newRow("28800 shares 38400's code") << 28800 << true << 0x85;
    QTest::newRow("38400 dtr") << 38400 << true << 0x85;
    QTest::newRow("115200 xon") << 115200 << false << 0x07;
}

void TestChipEmulator::serialSetting()
{
    QFETCH(int, speed);
    QFETCH(bool, dsrDtr);
    QFETCH(int, setting28);
    ChipEmulator chip(speed, dsrDtr);
    QCOMPARE(int(chip.setting(28)), setting28);
    QCOMPARE(chip.receive(readSetting(28), speed, 0), b({setting28}));
    chip.restart();
    QCOMPARE(chip.speed(), speed);  // 28800 survives a restart although code 5 says 38400
}

void TestChipEmulator::identity_data()
{
    QTest::addColumn<int>("mode");         // setting 6
    QTest::addColumn<int>("first");        // setting 7
    QTest::addColumn<QByteArray>("name");  // written to 9..; empty: automatic
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("user") << 1 << 0xFC << QByteArray("KT 610-ST") << QByteArray("KT 610-ST       QV12 FW 2.07");
    QTest::newRow("user, 16 characters") << 1 << 0xFC << QByteArray("ABCDEFGHIJKLMNOP")
                                         << QByteArray("ABCDEFGHIJKLMNOPQV12 FW 2.07");
    QTest::newRow("user, PNX mode") << 1 << 0x7C << QByteArray("KT 610-ST")
                                    << QByteArray("KT 610-ST PNX   QV12 FW 2.07");
    QTest::newRow("user, PNX mode, long name") << 1 << 0x7C << QByteArray("LONGMECHANISMNAM")
                                               << QByteArray("LONGMECHANIS PNXQV12 FW 2.07");
    QTest::newRow("automatic") << 1 << 0xFC << QByteArray() << QByteArray("AUTO ST 2IN 5V  QV12 FW 2.07");
    QTest::newRow("automatic, 3.3 V LV head") << 1 << 0xB0 << QByteArray()
                                              << QByteArray("AUTO LV 2IN 3V3 QV12 FW 2.07");
    QTest::newRow("automatic, hardware strapped") << 0 << 0xFC << QByteArray()
                                                  << QByteArray("AUTO ST 2INW 5V QV12 FW 2.07");
}

void TestChipEmulator::identity()
{
    QFETCH(int, mode);
    QFETCH(int, first);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, expected);

    ChipEmulator chip;
    chip.receive(writeSetting(6, mode) + writeSetting(7, first), 9600, 0);
    writeIdentity(chip, name, 0);
    chip.receive(Reset, 9600, 0);
    QCOMPARE(chip.identity(), expected);
    QCOMPARE(chip.receive(Identify, 9600, 1000), expected);
    QCOMPARE(chip.isPnxMode(), mode != 0 && (first & 0x80) == 0);
}

void TestChipEmulator::writtenSettingsTakeEffectAtReset()
{
    ChipEmulator chip;
    const QByteArray before = chip.identity();
    writeIdentity(chip, "NEW", 0);
    chip.receive(writeSetting(7, 0xF0), 9600, 0);
    QCOMPARE(chip.receive(Identify, 9600, 10), before);
    QCOMPARE(chip.receive(ReadConfig, 9600, 10), b({0xFC, 0x20}));
    QCOMPARE(chip.receive(readSetting(7), 9600, 10), b({0xF0}));  // stored at once

    chip.receive(Reset, 9600, 100);
    QCOMPARE(chip.receive(Identify, 9600, 500), QByteArray("NEW             QV12 FW 2.07"));
    QCOMPARE(chip.receive(ReadConfig, 9600, 500), b({0xF0, 0x20}));
}

void TestChipEmulator::resetIsSilentWhileRestarting()
{
    ChipEmulator chip;
    chip.receive(Reset, 9600, 1000);
    QVERIFY(chip.isRestarting(1000));
    QCOMPARE(chip.receive(Identify, 9600, 1100), QByteArray());
    QCOMPARE(chip.receive(Identify, 9600, 1000 + ChipEmulator::ResetPauseMs - 1), QByteArray());
    QVERIFY(!chip.isRestarting(1000 + ChipEmulator::ResetPauseMs));
    QCOMPARE(chip.receive(Identify, 9600, 1000 + ChipEmulator::ResetPauseMs), chip.identity());
}

void TestChipEmulator::readAndWriteSettings()
{
    ChipEmulator chip;
    QCOMPARE(chip.receive(writeSetting(9, 65), 9600, 0), b({65}));
    QCOMPARE(chip.receive(readSetting(9), 9600, 0), b({65}));
    QCOMPARE(chip.receive(writeSetting(7, 200), 9600, 0), b({200}));
    QCOMPARE(chip.receive(readSetting(7), 9600, 0), b({200}));
    QCOMPARE(chip.receive(writeSetting(9, 0), 9600, 0), b({0}));
    QCOMPARE(chip.setting(9), quint8(0));
    QCOMPARE(chip.settingsVersion(), quint64(3));
    QCOMPARE(chip.receive(readSetting(200), 9600, 0), b({0}));
}

void TestChipEmulator::configurationInForce()
{
    ChipEmulator chip;
    chip.setStrappedConfiguration(0xA4, 0x60);
    chip.receive(writeSetting(6, 0), 9600, 0);
    QCOMPARE(chip.receive(ReadConfig, 9600, 0), b({0xFC, 0x20}));  // until the reset
    chip.receive(Reset, 9600, 0);
    QCOMPARE(chip.receive(ReadConfig, 9600, 1000), b({0xA4, 0x60}));
    QCOMPARE(chip.receive(readSetting(6), 9600, 1000), b({0}));
}

void TestChipEmulator::detectedPolarity()
{
    ChipEmulator chip;
    QCOMPARE(chip.receive(b({29, 'S', 'h'}), 9600, 0), b({0}));
    chip.setDetectedPolarity(1);
    QCOMPARE(chip.receive(b({29, 'S', 'h'}), 9600, 0), b({1}));
}

void TestChipEmulator::queries()
{
    ChipEmulator chip;
    QCOMPARE(chip.receive(b({27, 29, 'O'}), 9600, 0), b({ChipEmulator::OptoReply}));
    QCOMPARE(chip.receive(b({27, 29, ChipEmulator::AdQueryLetter}), 9600, 0), b({ChipEmulator::AdReply}));
    QCOMPARE(chip.receive(b({27, 29, 'Z'}), 9600, 0), QByteArray());
    QCOMPARE(chip.receive(b({0, 'I', 'v', 27, 'x'}), 9600, 0), QByteArray());  // stray bytes
}

void TestChipEmulator::cancelClearsHalfCommand()
{
    ChipEmulator chip;
    QCOMPARE(chip.receive(b({27, 24, 'I'}), 9600, 0), QByteArray());
    QCOMPARE(chip.receive(b({29, 'S', 24, 'f', 9}), 9600, 0), QByteArray());
    QCOMPARE(chip.receive(b({29, 24}) + Identify, 9600, 0), chip.identity());
    QCOMPARE(chip.receive(b({24}), 9600, 0), QByteArray());
}

void TestChipEmulator::parameterBytesAreRaw()
{
    ChipEmulator chip;
    // The last identity character lives in setting 24, the code of CAN.
    QCOMPARE(chip.receive(writeSetting(24, 24), 9600, 0), b({24}));
    QCOMPARE(chip.setting(24), quint8(24));
    QCOMPARE(chip.receive(readSetting(24), 9600, 0), b({24}));
    QCOMPARE(chip.receive(writeSetting(27, 29), 9600, 0), b({29}));
    QCOMPARE(chip.receive(writeSetting(255, 255), 9600, 0), b({255}));
}

void TestChipEmulator::wrongSpeedIsGarbage()
{
    ChipEmulator chip(9600);
    QCOMPARE(chip.receive(Identify, 19200, 0), QByteArray());
    QCOMPARE(chip.receive(writeSetting(9, 65), 4800, 0), QByteArray());
    QCOMPARE(chip.setting(9), quint8('K'));
    // A half command is lost when garbage comes in between.
    chip.receive(b({27}), 9600, 0);
    chip.receive(b({'I'}), 19200, 0);
    QCOMPARE(chip.receive(b({'I'}), 9600, 0), QByteArray());
    QCOMPARE(chip.receive(Identify, 9600, 0), chip.identity());
}

void TestChipEmulator::sleepAndWake()
{
    ChipEmulator chip;
    chip.receive(Sleep, 9600, 1000);
    QVERIFY(!chip.isAsleep(1000));
    QVERIFY(chip.isAsleep(1000 + ChipEmulator::SleepDelayMs));
    // Asleep: the first byte wakes it and is lost, so the command is not understood.
    QCOMPARE(chip.receive(Identify, 9600, 2000), QByteArray());
    QVERIFY(!chip.isAsleep(2000));
    QCOMPARE(chip.receive(Identify, 9600, 2001), chip.identity());

    // Any speed wakes it, the wake byte at 57600 as the configurator sends it.
    chip.receive(Sleep, 9600, 3000);
    QCOMPARE(chip.receive(Identify, 9600, 3100), QByteArray());  // the ESC woke it
    chip.receive(Sleep, 9600, 4000);
    QCOMPARE(chip.receive(b({0}), 57600, 4100), QByteArray());
    QVERIFY(!chip.isAsleep(4100));
    QCOMPARE(chip.receive(b({24}) + Identify, 9600, 5100), chip.identity());
}

void TestChipEmulator::sleepSequenceKeepsChipAsleep()
{
    // CAN, ESC "S", 10 ms, CAN: the trailing CAN comes before the chip has gone to sleep.
    ChipEmulator chip;
    chip.receive(b({24}) + Sleep, 9600, 0);
    chip.receive(b({24}), 9600, 10);
    QVERIFY(chip.isAsleep(100));
}

void TestChipEmulator::restartAdoptsSpeedOfSetting28()
{
    ChipEmulator chip(9600);
    QCOMPARE(chip.receive(writeSetting(28, 0x84), 9600, 0), b({0x84}));
    QCOMPARE(chip.speed(), 9600);
    chip.receive(Reset, 9600, 0);
    QCOMPARE(chip.speed(), 19200);
    QCOMPARE(chip.receive(Identify, 9600, 1000), QByteArray());
    QCOMPARE(chip.receive(Identify, 19200, 1000), chip.identity());
}

void TestChipEmulator::faults_data()
{
    QTest::addColumn<ChipFaults>("faults");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");

    ChipFaults silent;
    silent.silent = true;
    QTest::newRow("silent identity") << silent << Identify << QByteArray();
    QTest::newRow("silent write") << silent << writeSetting(9, 65) << QByteArray();

    ChipFaults noEcho;
    noEcho.noEcho = {9};
    QTest::newRow("no echo for 9") << noEcho << writeSetting(9, 65) << QByteArray();
    QTest::newRow("echo for 10 intact") << noEcho << writeSetting(10, 66) << b({66});

    ChipFaults wrong;
    wrong.wrongEcho.insert(7, 0);
    QTest::newRow("wrong echo for 7") << wrong << writeSetting(7, 0xFC) << b({0});

    ChipFaults three;
    three.configReplyLength = 3;
    QTest::newRow("configuration in 3 bytes") << three << ReadConfig << b({65, 0xFC, 0x20});
    ChipFaults four;
    four.configReplyLength = 4;
    QTest::newRow("configuration in 4 bytes") << four << ReadConfig << b({65, 66, 0xFC, 0x20});
    ChipFaults none;
    none.configReplyLength = 0;
    QTest::newRow("configuration not answered") << none << ReadConfig << QByteArray();

    ChipFaults twoBytes;
    twoBytes.probeReplyBytes = 2;
    QTest::newRow("probe answered twice") << twoBytes << Probe << b({1, 1});

    ChipFaults markup;
    markup.identityReply = QByteArray("<b>KT</b> 610 PNX   QV12");
    QTest::newRow("identity with markup") << markup << Identify << QByteArray("<b>KT</b> 610 PNX   QV12");
    ChipFaults mute;
    mute.identityReply = QByteArray();
    QTest::newRow("identity not answered") << mute << Identify << QByteArray();
    QTest::newRow("probe still answered") << mute << Probe << b({1});
}

void TestChipEmulator::faults()
{
    QFETCH(ChipFaults, faults);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    ChipEmulator chip;
    chip.setFaults(faults);
    QCOMPARE(chip.receive(sent, 9600, 0), expected);
    if (!faults.silent && sent.startsWith(b({29, 'S', 'F'})))
        QCOMPARE(chip.setting(quint8(sent.at(3))), quint8(sent.at(4)));  // stored all the same
}

void TestChipEmulator::probeFaultFromNthProbe()
{
    ChipEmulator chip;
    chip.receive(Probe, 9600, 0);  // before the fault: not counted
    ChipFaults f;
    f.probeReplyBytes = 0;
    f.probeFaultFrom = 2;
    chip.setFaults(f);
    QCOMPARE(chip.receive(Probe, 9600, 0), b({1}));
    QCOMPARE(chip.receive(b({24}) + Probe, 9600, 0), QByteArray());
    QCOMPARE(chip.receive(Probe, 9600, 0), QByteArray());
    QCOMPARE(chip.receive(Probe, 19200, 0), QByteArray());  // garbage isn't a probe
}

void TestChipEmulator::settingsImage()
{
    ChipEmulator chip;
    QByteArray image = chip.settings();
    QCOMPARE(image.size(), ChipEmulator::SettingCount);
    QCOMPARE(quint8(image.at(7)), quint8(0xFC));
    image[9] = 'Q';
    image[10] = 0;
    QVERIFY(!chip.setSettings(image.left(255)));
    QVERIFY(chip.setSettings(image));
    chip.restart();
    QCOMPARE(chip.identity().left(16), QByteArray("Q               "));
}

QTEST_GUILESS_MAIN(TestChipEmulator)
#include "tst_chipemulator.moc"
