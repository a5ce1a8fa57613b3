#include "protocol/commands.h"

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

} // namespace

class TestCommands final : public QObject
{
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
    void speedList();
    void speedCode_data();
    void speedCode();
    void speedForCode();
};

void TestCommands::bytes_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("Identify") << Commands::Identify() << b({27, 73});
    QTest::newRow("Probe") << Commands::Probe() << b({27, 118});
    QTest::newRow("ReadSetting 6") << Commands::ReadSetting(6) << b({29, 83, 102, 6});
    QTest::newRow("ReadSetting 9") << Commands::ReadSetting(9) << b({29, 83, 102, 9});
    QTest::newRow("ReadSetting 28") << Commands::ReadSetting(28) << b({29, 83, 102, 28});
    QTest::newRow("WriteSetting 9 0") << Commands::WriteSetting(9, 0) << b({29, 83, 70, 9, 0});
    QTest::newRow("WriteSetting 6 1") << Commands::WriteSetting(6, 1) << b({29, 83, 70, 6, 1});
    QTest::newRow("WriteSetting 7 252") << Commands::WriteSetting(7, 252) << b({29, 83, 70, 7, 252});
    QTest::newRow("WriteSetting 8 128") << Commands::WriteSetting(8, 128) << b({29, 83, 70, 8, 128});
    QTest::newRow("WriteSetting 24 255") << Commands::WriteSetting(24, 255) << b({29, 83, 70, 24, 255});
    QTest::newRow("WriteSetting 200 27") << Commands::WriteSetting(200, 27) << b({29, 83, 70, 200, 27});
    QTest::newRow("ReadConfiguration") << Commands::ReadConfiguration() << b({29, 83, 67});
    QTest::newRow("ReadDetectedPolarity") << Commands::ReadDetectedPolarity() << b({29, 83, 104});
    QTest::newRow("SleepCommand") << Commands::SleepCommand() << b({27, 83});
    QTest::newRow("ResetCommand") << Commands::ResetCommand() << b({27, 64});
    QTest::newRow("CancelByte") << Commands::CancelByte() << b({24});
    QTest::newRow("WakeByte") << Commands::WakeByte() << b({0});
    QTest::newRow("GetOpto") << Commands::GetOpto() << b({27, 29, 79});
    QTest::newRow("GetAd") << Commands::GetAd() << b({27, 29, 65});
}

void TestCommands::bytes()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    QCOMPARE(command, expected);
}

void TestCommands::speedList()
{
    QCOMPARE(Commands::SpeedList(),
             (QStringList{u"1200"_s, u"2400"_s, u"4800"_s, u"9600"_s, u"19200"_s, u"28800"_s,
                          u"38400"_s, u"57600"_s, u"115200"_s}));
}

void TestCommands::speedCode_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<int>("code");
    QTest::newRow("1200") << u"1200"_s << 0;
    QTest::newRow("2400") << u"2400"_s << 1;
    QTest::newRow("4800") << u"4800"_s << 2;
    QTest::newRow("9600") << u"9600"_s << 3;
    QTest::newRow("19200") << u"19200"_s << 4;
    QTest::newRow("28800") << u"28800"_s << 5;
    QTest::newRow("38400") << u"38400"_s << 5;
    QTest::newRow("57600") << u"57600"_s << 6;
    QTest::newRow("115200") << u"115200"_s << 7;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("blank after") << u"9600 "_s << 0;
    QTest::newRow("unknown") << u"300"_s << 0;
}

void TestCommands::speedCode()
{
    QFETCH(QString, speed);
    QFETCH(int, code);
    QCOMPARE(Commands::SpeedCode(speed), code);
}

void TestCommands::speedForCode()
{
    for (const QString &speed : Commands::SpeedList()) {
        const int back = Commands::SpeedForCode(Commands::SpeedCode(speed));
        QCOMPARE(back, speed == u"28800"_s ? 38400 : speed.toInt());
    }
    QCOMPARE(Commands::SpeedForCode(0x83), 9600);  // bit 7, the handshake, doesn't count
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
