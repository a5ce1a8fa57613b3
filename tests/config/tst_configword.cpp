// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/configword.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The nine field values in word order; -1 where a frame selects nothing.
using Codes = QList<int>;
constexpr int U = EditorFields::Undefined;

Codes codes(const EditorFields &f)
{
    return {f.PrinterMode, f.LogicVoltage, f.Mechanism, f.MotorSteps, f.MotorRotation,
            f.HeadType, f.StrobePolarity, f.HeadWidth, f.HeadUpPolarity};
}

} // namespace

class TestConfigWord final : public QObject
{
    Q_OBJECT

private slots:
    void decodeThenEncode_data();
    void decodeThenEncode();
    void encodeKeepsEachFieldInItsPositions();
};

void TestConfigWord::decodeThenEncode_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<Codes>("values");    // the numbers read
    QTest::addColumn<Codes>("selected");  // the option each frame selects
    QTest::addColumn<int>("bytes");       // configurationBytes(values), high byte first

    auto row = [](const char *name, const QString &word, const Codes &values, int bytes,
                  const Codes &selected = {}) {
        QTest::newRow(name) << word << values << (selected.isEmpty() ? values : selected) << bytes;
    };
    const Codes kt{1, 1, 1, 1, 1, 2, 0, 1, 0};
    row("KT 610-ST, both ways", u"1111110000100000"_s, kt, 0xFC20);
    row("PNX, written as 1", u"0111110000100000"_s, {0, 1, 1, 1, 1, 2, 0, 1, 0}, 0xFC20);
    row("positions 13-16 ignored", u"1111110000101111"_s, kt, 0xFC20);
    row("every largest code", u"1111110110010000"_s, {1, 1, 1, 1, 1, 2, 1, 4, 1}, 0xFD90);
    // Codes with no meaning keep their number, select nothing and are written back as read.
    row("head type 11", u"1111111000100000"_s, {1, 1, 1, 1, 1, 3, 0, 1, 0}, 0xFE20,
        {1, 1, 1, 1, 1, U, 0, 1, 0});
    row("head width 101", u"1111110010100000"_s, {1, 1, 1, 1, 1, 2, 0, 5, 0}, 0xFCA0,
        {1, 1, 1, 1, 1, 2, 0, U, 0});
    row("head width 110", u"1111110011000000"_s, {1, 1, 1, 1, 1, 2, 0, 6, 0}, 0xFCC0,
        {1, 1, 1, 1, 1, 2, 0, U, 0});
    row("head width 111, head-up 1", u"1111110011110000"_s, {1, 1, 1, 1, 1, 2, 0, 7, 1}, 0xFCF0,
        {1, 1, 1, 1, 1, 2, 0, U, 1});
    // Missing positions read as empty: a cut field is the number its digits spell.
    row("empty word", QString(), {0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x8000);
    row("cut inside head width", u"1111110010"_s, {1, 1, 1, 1, 1, 2, 0, 2, 0}, 0xFC40);
    // Other characters count by their numeric value: a digit its value, anything else 0.
    row("digit 2 at position 2", u"1211110000100000"_s, {1, 2, 1, 1, 1, 2, 0, 1, 0}, 0xFC20, kt);
    row("digit 2 at position 12", u"1111110000120000"_s, {1, 1, 1, 1, 1, 2, 0, 1, 2}, 0xFC30,
        {1, 1, 1, 1, 1, 2, 0, 1, U});
    row("letters, blanks, other digits", u"x\u06611 1a1b0 1c0000"_s, {0, 0, 1, 0, 1, 1, 0, 1, 0},
        0xAA20);
}

void TestConfigWord::decodeThenEncode()
{
    QFETCH(QString, word);
    QFETCH(Codes, values);
    QFETCH(Codes, selected);
    QFETCH(int, bytes);

    const DecodedConfig d = DecodeConfig(word);
    QCOMPARE(codes(d.values), values);
    QCOMPARE(codes(d.selected), selected);
    const ConfigurationBytes b = configurationBytes(d.values);
    QCOMPARE(b.high << 8 | b.low, bytes);
    QCOMPARE(EncodeConfig(d.values), binary(b.high) + binary(b.low));
}

void TestConfigWord::encodeKeepsEachFieldInItsPositions()
{
    // Every 0/1 word decodes to values that encode back to its positions 2 to 12, and their
    // bytes are the halves of that word: this covers every valid choice of the fields.
    for (int value = 0; value <= 0xFFFF; ++value) {
        const QString word = binary(quint8(value >> 8)) + binary(quint8(value));
        const EditorFields f = DecodeConfig(word).values;
        const QString again = EncodeConfig(f);
        const ConfigurationBytes b = configurationBytes(f);
        if (again != u"1"_s + word.mid(1, 11) + u"0000"_s || binary(b.high) + binary(b.low) != again)
            QFAIL(qPrintable(u"%1 came back as %2"_s.arg(word, again)));
    }
    // A head type or width outside its table (as the window may hold) is written in its own
    // positions, in the word and in the bytes alike, never spilling into another field.
    for (int value = -1; value <= 99; ++value) {
        const EditorFields f{1, 0, 0, 0, 0, qint16(value), 0, qint16(value), 0};
        const QString word = EncodeConfig(f);
        const ConfigurationBytes b = configurationBytes(f);
        QCOMPARE(binary(b.high) + binary(b.low), word);
        QCOMPARE(word.first(5) + word.at(7) + word.sliced(11), u"10000000000");
    }
}

QTEST_GUILESS_MAIN(TestConfigWord)
#include "tst_configword.moc"
