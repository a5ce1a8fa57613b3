#include "protocol/detection.h"
#include "protocol/exchanges.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Settings = QList<std::pair<quint8, quint8>>;

// The pure parts of the exchanges: what a reply means and what a name becomes.
class TestExchanges final : public QObject
{
    Q_OBJECT

private slots:
    void configurationWord_data();
    void configurationWord();
    void mechanismIdentity_data();
    void mechanismIdentity();
    void identitySettings_data();
    void identitySettings();
    void handshakeIndex_data();
    void handshakeIndex();
    void chipName_data();
    void chipName();
};

void TestExchanges::configurationWord_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("word");   // empty: no word

    QTest::newRow("252 32") << QByteArray("\xfc\x20") << u"1111110000100000"_s;
    QTest::newRow("65 66 252 32") << QByteArray("AB\xfc\x20") << u"1111110000100000"_s;
    QTest::newRow("0 0") << QByteArray(2, '\0') << u"0000000000000000"_s;
    QTest::newRow("255 255") << QByteArray("\xff\xff") << u"1111111111111111"_s;
    QTest::newRow("nothing") << QByteArray() << QString();
    QTest::newRow("one byte") << QByteArray("\xfc") << QString();
    QTest::newRow("three bytes") << QByteArray("A\xfc\x20") << QString();
    QTest::newRow("five bytes") << QByteArray("ABC\xfc\x20") << QString();
}

void TestExchanges::configurationWord()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, word);
    const std::optional<QString> result = Exchanges::configurationWord(reply);
    QCOMPARE(result.has_value(), !word.isEmpty());
    if (result)
        QCOMPARE(*result, word);
}

void TestExchanges::mechanismIdentity_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");

    QTest::newRow("PNX after the name") << QByteArray("  KT 610-ST PNX QV12 FW 2.07") << u"KT 610-ST"_s;
    QTest::newRow("lower case stays") << QByteArray("  KT 610-ST pnx QV12 FW 2.07") << u"KT 610-ST pnx"_s;
    QTest::newRow("PNX alone") << QByteArray("PNX") << QString();
    QTest::newRow("PNX only at the end") << QByteArray("PNX KT 610") << u"PNX KT 610"_s;
    QTest::newRow("PNX beyond 16") << QByteArray("ABCDEFGHIJKLMNOPNX") << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("20 characters") << QByteArray("ABCDEFGHIJKLMNOPQRST") << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("only spaces are stripped") << QByteArray("\tKT \r") << u"\tKT \r"_s;
    QTest::newRow("Latin-1") << QByteArray("Caf\xe9") << u"Caf\u00e9"_s;
}

void TestExchanges::mechanismIdentity()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    QCOMPARE(Exchanges::mechanismIdentity(reply), name);
}

void TestExchanges::identitySettings_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Settings>("settings");

    QTest::newRow("empty") << QString() << Settings{{9, 0}};
    QTest::newRow("5 characters") << u"AB CD"_s
                                  << Settings{{9, 'A'}, {10, 'B'}, {11, ' '}, {12, 'C'}, {13, 'D'}, {14, 0}};
    Settings sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.append({quint8(9 + i), quint8('a' + i)});
    QTest::newRow("16 characters") << u"abcdefghijklmnop"_s << sixteen;
    QTest::newRow("20 characters") << u"abcdefghijklmnopqrst"_s << sixteen;
    QTest::newRow("Latin-1 and beyond")
        << u"\u00e9\u20ac\U0001F600"_s
        << Settings{{9, 0xE9}, {10, '?'}, {11, '?'}, {12, 0}};
}

void TestExchanges::identitySettings()
{
    QFETCH(QString, name);
    QFETCH(Settings, settings);
    QCOMPARE(Exchanges::identitySettings(name), settings);
}

void TestExchanges::handshakeIndex_data()
{
    QTest::addColumn<int>("setting");   // -1: no byte came
    QTest::addColumn<QString>("speed");
    QTest::addColumn<int>("index");

    QTest::newRow("9600 Xon-Xoff") << 0x03 << u"9600"_s << 0;
    QTest::newRow("9600 DSR/DTR") << 0x83 << u"9600"_s << 1;
    QTest::newRow("other speed") << 0x04 << u"9600"_s << 1;
    QTest::newRow("5 for 38400") << 0x05 << u"38400"_s << 0;
    QTest::newRow("5 for 28800") << 0x05 << u"28800"_s << 0;
    QTest::newRow("bits 3-6 ignored") << 0x7B << u"9600"_s << 0;
    QTest::newRow("1200 is code 0") << 0x00 << u"1200"_s << 0;
    QTest::newRow("no byte") << -1 << u"9600"_s << 1;
}

void TestExchanges::handshakeIndex()
{
    QFETCH(int, setting);
    QFETCH(QString, speed);
    QFETCH(int, index);
    const std::optional<quint8> byte = setting < 0 ? std::nullopt : std::optional(quint8(setting));
    QCOMPARE(Detection::handshakeIndexFor(byte, speed), index);
}

void TestExchanges::chipName_data()
{
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QString>("name");

    QTest::newRow("firmware") << QByteArray("KT 610-ST       QV12 FW 2.07") << u"KT 610-ST"_s;
    QTest::newRow("cut before stripping") << QByteArray("  ABCDEFGHIJKL  XYZ") << u"ABCDEFGHIJKL"_s;
    QTest::newRow("PNX is kept here") << QByteArray("KT 610-ST PNX   QV12") << u"KT 610-ST PNX"_s;
}

void TestExchanges::chipName()
{
    QFETCH(QByteArray, identity);
    QFETCH(QString, name);
    QCOMPARE(Detection::chipName(identity), name);
}

QTEST_GUILESS_MAIN(TestExchanges)
#include "tst_exchanges.moc"
