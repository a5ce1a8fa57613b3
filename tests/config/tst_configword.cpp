#include "config/configword.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(EditorFields)

// Shows the nine values when a comparison fails.
char *toString(const EditorFields &f)
{
    return qstrdup(QByteArray::number(f.PrinterMode) + ' ' + QByteArray::number(f.LogicVoltage)
                   + ' ' + QByteArray::number(f.Mechanism) + ' ' + QByteArray::number(f.MotorSteps)
                   + ' ' + QByteArray::number(f.MotorRotation) + ' '
                   + QByteArray::number(f.HeadType) + ' ' + QByteArray::number(f.StrobePolarity)
                   + ' ' + QByteArray::number(f.HeadWidth) + ' '
                   + QByteArray::number(f.HeadUpPolarity));
}

namespace {

constexpr qint16 U = EditorFields::Undefined;

EditorFields fields(qint16 mode, qint16 voltage, qint16 mechanism, qint16 steps, qint16 rotation,
                    qint16 headType, qint16 strobe, qint16 headWidth, qint16 headUp)
{
    EditorFields f;
    f.PrinterMode = mode;
    f.LogicVoltage = voltage;
    f.Mechanism = mechanism;
    f.MotorSteps = steps;
    f.MotorRotation = rotation;
    f.HeadType = headType;
    f.StrobePolarity = strobe;
    f.HeadWidth = headWidth;
    f.HeadUpPolarity = headUp;
    return f;
}

// What the window's fields hold after decoding: selecting an option stores its code,
// a frame that selects nothing keeps the decoded number.
EditorFields windowFields(const DecodedConfig &d)
{
    auto pick = [](qint16 selected, qint16 value) { return selected != U ? selected : value; };
    const EditorFields &s = d.selected;
    const EditorFields &v = d.values;
    return fields(pick(s.PrinterMode, v.PrinterMode), pick(s.LogicVoltage, v.LogicVoltage),
                  pick(s.Mechanism, v.Mechanism), pick(s.MotorSteps, v.MotorSteps),
                  pick(s.MotorRotation, v.MotorRotation), pick(s.HeadType, v.HeadType),
                  pick(s.StrobePolarity, v.StrobePolarity), pick(s.HeadWidth, v.HeadWidth),
                  pick(s.HeadUpPolarity, v.HeadUpPolarity));
}

QString wordOf(quint16 value)
{
    return binary(quint8(value >> 8)) + binary(quint8(value & 0xFF));
}

} // namespace

class TestConfigWord final : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void encode_data();
    void encode();
    void binaryText_data();
    void binaryText();
    void binaryValue_data();
    void binaryValue();
    void everyBinaryWordKeepsPositions2To12();
    void validFieldsSurviveEncodeThenDecode();
    void bytesAreTheHalvesOfTheWordForEveryValidChoice();
    void outOfTableValuesStayInTheirField_data();
    void outOfTableValuesStayInTheirField();
};

void TestConfigWord::decode_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<EditorFields>("values");
    QTest::addColumn<EditorFields>("selected");

    QTest::newRow("KT 610-ST") << u"1111110000100000"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 1, 0) << fields(1, 1, 1, 1, 1, 2, 0, 1, 0);
    QTest::newRow("PNX at position 1") << u"0111110000100000"_s
        << fields(0, 1, 1, 1, 1, 2, 0, 1, 0) << fields(0, 1, 1, 1, 1, 2, 0, 1, 0);
    QTest::newRow("positions 13-16 ignored") << u"1111110000101111"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 1, 0) << fields(1, 1, 1, 1, 1, 2, 0, 1, 0);
    QTest::newRow("every code at its largest") << u"1111110110010000"_s
        << fields(1, 1, 1, 1, 1, 2, 1, 4, 1) << fields(1, 1, 1, 1, 1, 2, 1, 4, 1);

    // Codes with no meaning keep their number but select nothing.
    QTest::newRow("head type 11") << u"1111111000100000"_s
        << fields(1, 1, 1, 1, 1, 3, 0, 1, 0) << fields(1, 1, 1, 1, 1, U, 0, 1, 0);
    QTest::newRow("head width 101") << u"1111110010100000"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 5, 0) << fields(1, 1, 1, 1, 1, 2, 0, U, 0);
    QTest::newRow("head width 110") << u"1111110011000000"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 6, 0) << fields(1, 1, 1, 1, 1, 2, 0, U, 0);
    QTest::newRow("head width 111") << u"1111110011100000"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 7, 0) << fields(1, 1, 1, 1, 1, 2, 0, U, 0);

    // Missing positions read as empty.
    QTest::newRow("empty word") << QString()
        << fields(0, 0, 0, 0, 0, 0, 0, 0, 0) << fields(0, 0, 0, 0, 0, 0, 0, 0, 0);
    QTest::newRow("cut inside head type") << u"111111"_s
        << fields(1, 1, 1, 1, 1, 1, 0, 0, 0) << fields(1, 1, 1, 1, 1, 1, 0, 0, 0);
    QTest::newRow("cut inside head width") << u"1111110010"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 2, 0) << fields(1, 1, 1, 1, 1, 2, 0, 2, 0);
    QTest::newRow("cut before head-up") << u"11111100001"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 1, 0) << fields(1, 1, 1, 1, 1, 2, 0, 1, 0);

    // Other characters count by their numeric value.
    QTest::newRow("digit 2 at position 2") << u"1211110000100000"_s
        << fields(1, 2, 1, 1, 1, 2, 0, 1, 0) << fields(1, 1, 1, 1, 1, 2, 0, 1, 0);
    QTest::newRow("digit 2 at position 12") << u"1111110000120000"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 1, 2) << fields(1, 1, 1, 1, 1, 2, 0, 1, U);
    QTest::newRow("digits 9 in every field") << u"9999999999990000"_s
        << fields(9, 9, 9, 9, 9, 27, 9, 63, 9) << fields(1, 1, 1, 1, 1, U, 1, U, U);
    QTest::newRow("digit 2 inside head type") << u"1111102000100000"_s
        << fields(1, 1, 1, 1, 1, 2, 0, 1, 0) << fields(1, 1, 1, 1, 1, 2, 0, 1, 0);
    QTest::newRow("letters and blanks count 0") << u"x1 1a1b0 01c0000"_s
        << fields(0, 1, 0, 1, 0, 2, 0, 1, 0) << fields(0, 1, 0, 1, 0, 2, 0, 1, 0);
    QTest::newRow("non-ASCII digits count 0") << u"\u0661\u0661111\u0661\u0661000100000"_s
        << fields(0, 0, 1, 1, 1, 0, 0, 1, 0) << fields(0, 0, 1, 1, 1, 0, 0, 1, 0);
}

void TestConfigWord::decode()
{
    QFETCH(QString, word);
    QFETCH(EditorFields, values);
    QFETCH(EditorFields, selected);

    const DecodedConfig d = DecodeConfig(word);
    QCOMPARE(d.values, values);
    QCOMPARE(d.selected, selected);
}

void TestConfigWord::encode_data()
{
    QTest::addColumn<EditorFields>("input");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");

    QTest::newRow("KT 610-ST") << fields(1, 1, 1, 1, 1, 2, 0, 1, 0)
                               << u"1111110000100000"_s << 0xFC << 0x20;
    QTest::newRow("every code at its largest") << fields(1, 1, 1, 1, 1, 2, 1, 4, 1)
                                               << u"1111110110010000"_s << 0xFD << 0x90;
    QTest::newRow("every code 0") << fields(1, 0, 0, 0, 0, 0, 0, 0, 0)
                                  << u"1000000000000000"_s << 0x80 << 0x00;
    QTest::newRow("PNX mode still writes 1") << fields(0, 1, 1, 1, 1, 2, 0, 1, 0)
                                             << u"1111110000100000"_s << 0xFC << 0x20;
    QTest::newRow("DW 640-HS") << fields(1, 1, 0, 0, 0, 1, 1, 0, 0)
                               << u"1100001100000000"_s << 0xC3 << 0x00;

    // One-position fields test only for zero.
    QTest::newRow("non-zero one-position codes") << fields(1, 2, 5, 9, 3, 0, 7, 0, 4)
                                                 << u"1111100100010000"_s << 0xF9 << 0x10;

    // Codes outside their table keep the field's width.
    QTest::newRow("head type 3") << fields(1, 1, 1, 1, 1, 3, 0, 1, 0)
                                 << u"1111111000100000"_s << 0xFE << 0x20;
    QTest::newRow("head width 5") << fields(1, 1, 1, 1, 1, 2, 0, 5, 0)
                                  << u"1111110010100000"_s << 0xFC << 0xA0;
    QTest::newRow("head width 6") << fields(1, 1, 1, 1, 1, 2, 0, 6, 0)
                                  << u"1111110011000000"_s << 0xFC << 0xC0;
    QTest::newRow("head width 7, head-up 1") << fields(1, 1, 1, 1, 1, 2, 0, 7, 1)
                                             << u"1111110011110000"_s << 0xFC << 0xF0;
    QTest::newRow("head-up 9 from a decoded digit") << fields(1, 1, 1, 1, 1, 2, 0, 7, 9)
                                                    << u"1111110011110000"_s << 0xFC << 0xF0;
    QTest::newRow("head type 27, width 63 (digits 9)") << fields(1, 1, 1, 1, 1, 27, 0, 63, 0)
                                                       << u"1111111011100000"_s << 0xFE << 0xE0;

    // Not defined: documented fallback, never a valid multi-position code.
    QTest::newRow("all not defined") << EditorFields()
                                     << u"1111111111110000"_s << 0xFF << 0xF0;
    QTest::newRow("only head type not defined") << fields(1, 0, 0, 0, 0, U, 0, 0, 0)
                                                << u"1000011000000000"_s << 0x86 << 0x00;
}

void TestConfigWord::encode()
{
    QFETCH(EditorFields, input);
    QFETCH(QString, word);
    QFETCH(int, high);
    QFETCH(int, low);

    QCOMPARE(EncodeConfig(input), word);
    const ConfigurationBytes b = configurationBytes(input);
    QCOMPARE(int(b.high), high);
    QCOMPARE(int(b.low), low);
}

void TestConfigWord::binaryText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << u"00000000"_s;
    QTest::newRow("1") << 1 << u"00000001"_s;
    QTest::newRow("0x20") << 0x20 << u"00100000"_s;
    QTest::newRow("0xFC") << 0xFC << u"11111100"_s;
    QTest::newRow("0xFF") << 0xFF << u"11111111"_s;
}

void TestConfigWord::binaryText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(binary(quint8(value)), text);
    QCOMPARE(int(binary_value(text)), value);
}

void TestConfigWord::binaryValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("1") << u"1"_s << 1;
    QTest::newRow("10") << u"10"_s << 2;
    QTest::newRow("101") << u"101"_s << 5;
    QTest::newRow("digit 2 counts 2") << u"2"_s << 2;
    QTest::newRow("digit 2 in the twos") << u"21"_s << 5;
    QTest::newRow("letter counts 0") << u"1a1"_s << 5;
    QTest::newRow("blank counts 0") << u" 1"_s << 1;
}

void TestConfigWord::binaryValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(int(binary_value(text)), value);
}

void TestConfigWord::everyBinaryWordKeepsPositions2To12()
{
    for (int value = 0; value <= 0xFFFF; ++value) {
        const QString word = wordOf(quint16(value));
        const DecodedConfig d = DecodeConfig(word);
        for (const EditorFields &f : {d.values, windowFields(d)}) {
            const QString again = EncodeConfig(f);
            QCOMPARE(again.size(), 16);
            if (again.mid(1, 11) != word.mid(1, 11))
                QFAIL(qPrintable(u"%1 came back as %2"_s.arg(word, again)));
            QCOMPARE(again.front(), u'1');
            QCOMPARE(again.last(4), u"0000");
        }
    }
}

void TestConfigWord::validFieldsSurviveEncodeThenDecode()
{
    int checked = 0;
    for (qint16 lv : {0, 1})
    for (qint16 me : {0, 1})
    for (qint16 st : {0, 1})
    for (qint16 ro : {0, 1})
    for (qint16 ht = 0; ht <= 2; ++ht)
    for (qint16 sp : {0, 1})
    for (qint16 hw = 0; hw <= 4; ++hw)
    for (qint16 hu : {0, 1}) {
        const EditorFields f = fields(1, lv, me, st, ro, ht, sp, hw, hu);
        const DecodedConfig d = DecodeConfig(EncodeConfig(f));
        QCOMPARE(d.values, f);
        QCOMPARE(d.selected, f);
        ++checked;
    }
    QCOMPARE(checked, 2 * 2 * 2 * 2 * 3 * 2 * 5 * 2);
}

void TestConfigWord::bytesAreTheHalvesOfTheWordForEveryValidChoice()
{
    for (qint16 lv : {0, 1})
    for (qint16 me : {0, 1})
    for (qint16 st : {0, 1})
    for (qint16 ro : {0, 1})
    for (qint16 ht = 0; ht <= 2; ++ht)
    for (qint16 sp : {0, 1})
    for (qint16 hw = 0; hw <= 4; ++hw)
    for (qint16 hu : {0, 1}) {
        const EditorFields f = fields(0, lv, me, st, ro, ht, sp, hw, hu);
        const QString word = EncodeConfig(f);
        const ConfigurationBytes b = configurationBytes(f);
        QCOMPARE(binary(b.high) + binary(b.low), word);
        // The documented ranges of the two bytes with every field defined.
        QVERIFY(b.high >= 128 && b.high <= 253);
        QVERIFY(b.low <= 144);
    }
}

void TestConfigWord::outOfTableValuesStayInTheirField_data()
{
    QTest::addColumn<int>("field");  // index into the eight editable fields
    QTest::addColumn<QString>("mask");  // positions the field may change
    const char *names[] = {"LogicVoltage", "Mechanism", "MotorSteps", "MotorRotation",
                           "HeadType", "StrobePolarity", "HeadWidth", "HeadUpPolarity"};
    const char *masks[] = {"0100000000000000", "0010000000000000", "0001000000000000",
                           "0000100000000000", "0000011000000000", "0000000100000000",
                           "0000000011100000", "0000000000010000"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(names[i]) << i << QString::fromLatin1(masks[i]);
}

void TestConfigWord::outOfTableValuesStayInTheirField()
{
    QFETCH(int, field);
    QFETCH(QString, mask);

    const EditorFields base = fields(1, 0, 0, 0, 0, 0, 0, 0, 0);
    qint16 EditorFields::*members[] = {
        &EditorFields::LogicVoltage, &EditorFields::Mechanism, &EditorFields::MotorSteps,
        &EditorFields::MotorRotation, &EditorFields::HeadType, &EditorFields::StrobePolarity,
        &EditorFields::HeadWidth, &EditorFields::HeadUpPolarity};

    for (int value = -1; value <= 99; ++value) {
        EditorFields f = base;
        f.*members[field] = qint16(value);
        const QString word = EncodeConfig(f);
        QCOMPARE(word.size(), 16);
        const ConfigurationBytes b = configurationBytes(f);
        QCOMPARE(binary(b.high) + binary(b.low), word);
        for (int p = 0; p < 16; ++p) {
            if (mask.at(p) == u'0' && p != 0)
                QCOMPARE(word.at(p), u'0');
        }
    }
}

QTEST_GUILESS_MAIN(TestConfigWord)
#include "tst_configword.moc"
