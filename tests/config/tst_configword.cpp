// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/configword.h"
#include "database/entryword.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The nine field values in word order; -1 where a frame selects nothing.
using Codes = QList<int>;
constexpr int U = -1;

template<class Field>
int code(const std::optional<Field> &value)
{
    return value ? fieldCode(*value) : U;
}

Codes codes(const EditorFields &f)
{
    return {fieldCode(f.printerMode), code(f.logicVoltage), code(f.mechanism), code(f.motorSteps),
            code(f.motorRotation), code(f.headType), code(f.strobePolarity), code(f.headWidth),
            code(f.headUpPolarity)};
}

// The text of a 16-bit number as the chip's two bytes spell it, written out independently
// of ConfigWord.
QString bitsText(int value)
{
    return QString::number(value, 2).rightJustified(16, u'0');
}

} // namespace

class TestConfigWord final : public QObject
{
    Q_OBJECT

private slots:
    void decodeThenEncode_data();
    void decodeThenEncode();
    void everyWordThroughItsText();
    void textThatIsNoWord_data();
    void textThatIsNoWord();
    void encodeKeepsEachFieldInItsPositions();
    void entryWordKeepsWhatAFileHolds_data();
    void entryWordKeepsWhatAFileHolds();
};

void TestConfigWord::decodeThenEncode_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<Codes>("values");    // the numbers read
    QTest::addColumn<Codes>("selected");  // the option each frame selects
    QTest::addColumn<int>("bytes");       // the word the values encode to, high byte first

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

    const DecodedFields d = decodeWordText(word);
    QCOMPARE(codes(d.values), values);
    QCOMPARE(codes(d.selected), selected);
    const ConfigWord encoded = ConfigWord::fromFields(d.values);
    QCOMPARE(encoded.value(), bytes);
    QCOMPARE(encoded.high() << 8 | encoded.low(), bytes);
    QCOMPARE(encoded.text(), bitsText(bytes));
    // A text that spells a word decodes as that word does.
    if (const std::optional<ConfigWord> spelled = ConfigWord::fromText(word)) {
        QCOMPARE(codes(spelled->decoded().values), values);
        QCOMPARE(codes(spelled->decoded().selected), selected);
    }
}

// Every 16-bit word has one text, and that text reads back as the word; its bytes are its
// halves; a file's text of it decodes as the word does.
void TestConfigWord::everyWordThroughItsText()
{
    for (int value = 0; value <= 0xFFFF; ++value) {
        const ConfigWord word{quint16(value)};
        const QString text = word.text();
        if (text != bitsText(value))
            QFAIL(qPrintable(u"%1 has the text %2"_s.arg(value).arg(text)));
        if (ConfigWord::fromText(text) != word || ConfigWord::fromBytes(word.high(), word.low()) != word)
            QFAIL(qPrintable(u"%1 did not come back as itself"_s.arg(text)));
        const DecodedFields lenient = decodeWordText(text);
        const DecodedFields exact = word.decoded();
        if (lenient.values != exact.values || lenient.selected != exact.selected)
            QFAIL(qPrintable(u"%1 decodes otherwise from its text"_s.arg(text)));
    }
}

// Anything but 16 characters of 0 and 1 is no word: the edges refuse it.
void TestConfigWord::textThatIsNoWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("15 characters") << u"111111000010000"_s;
    QTest::newRow("17 characters") << u"11111100001000000"_s;
    QTest::newRow("a digit 2") << u"1111110000100002"_s;
    QTest::newRow("a blank") << u"1111110000 00000"_s;
    QTest::newRow("blanks around") << u" 1111110000100000 "_s;
    QTest::newRow("another script's digits") << u"\u0661\u0660\u0661\u0661\u0661\u0661\u0660\u0660\u0660\u0660\u0661\u0660\u0660\u0660\u0660\u0660"_s;
    QTest::newRow("a control character") << u"111111000010000\n"_s;
}

void TestConfigWord::textThatIsNoWord()
{
    QFETCH(QString, text);
    QCOMPARE(ConfigWord::fromText(text), std::nullopt);
}

void TestConfigWord::encodeKeepsEachFieldInItsPositions()
{
    // Every 0/1 word decodes to values that encode back to its positions 2 to 12, and their
    // bytes are the halves of that word: this covers every valid choice of the fields.
    for (int value = 0; value <= 0xFFFF; ++value) {
        const EditorFields f = ConfigWord(quint16(value)).decoded().values;
        const ConfigWord again = ConfigWord::fromFields(f);
        if (again.value() != ((value | 0x8000) & 0xFFF0))
            QFAIL(qPrintable(u"%1 came back as %2"_s.arg(bitsText(value), again.text())));
    }
    // A head type or width outside its table (as the window may hold), or not defined, is
    // written in its own positions, never spilling into another field; a one-position field
    // not defined writes 1.
    for (int value = U; value <= 255; ++value) {
        EditorFields f{PrinterMode::Chipset, LogicVoltage::Volts3_3, Mechanism::Tav, MotorSteps::TwoPerDotLine,
                       MotorRotation::Normal, std::nullopt, StrobePolarity::Positive, std::nullopt,
                       HeadUpPolarity::Normal};
        if (value != U) {
            f.headType = HeadType(value);
            f.headWidth = HeadWidth(value);
        }
        const QString word = ConfigWord::fromFields(f).text();
        QCOMPARE(word.first(5) + word.at(7) + word.sliced(11), u"10000000000");
        const int typeCode = value == U || value > 3 ? 3 : value;
        const int widthCode = value == U || value > 7 ? 7 : value;
        QCOMPARE(word.sliced(5, 2), bitsText(typeCode).right(2));
        QCOMPARE(word.sliced(8, 3), bitsText(widthCode).right(3));
    }
    QCOMPARE(ConfigWord::fromFields(EditorFields{}).text(), u"1111111111110000"_s);
}

// A list entry holds a word when its characters spell one, and otherwise the characters
// as a file gave them, which it shows the way a file's word is read.
void TestConfigWord::entryWordKeepsWhatAFileHolds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isWord");
    QTest::newRow("a word") << u"1111110000100000"_s << true;
    QTest::newRow("PNX, positions 13-16 set") << u"0111110000101111"_s << true;
    QTest::newRow("odd digits") << u"1200011110120000"_s << false;
    QTest::newRow("letters and a blank") << u"1x0010111111 000"_s << false;
    QTest::newRow("short") << u"111"_s << false;
}

void TestConfigWord::entryWordKeepsWhatAFileHolds()
{
    QFETCH(QString, text);
    QFETCH(bool, isWord);
    const EntryWord entry = EntryWord::fromText(text);
    QCOMPARE(entry.text(), text);
    QCOMPARE(entry.word().has_value(), isWord);
    if (isWord)
        QCOMPARE(entry, EntryWord(*ConfigWord::fromText(text)));
    QCOMPARE(codes(entry.decoded().values), codes(decodeWordText(text).values));
    QCOMPARE(codes(entry.decoded().selected), codes(decodeWordText(text).selected));
}

QTEST_GUILESS_MAIN(TestConfigWord)
#include "tst_configword.moc"
