// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/configword.h"

namespace {

// Where each field sits in the word: its lowest bit and its width. Position 1 of the
// text is bit 15.
struct Place
{
    int shift;
    int width;
};
constexpr Place PrinterModePlace{15, 1};
constexpr Place LogicVoltagePlace{14, 1};
constexpr Place MechanismPlace{13, 1};
constexpr Place MotorStepsPlace{12, 1};
constexpr Place MotorRotationPlace{11, 1};
constexpr Place HeadTypePlace{9, 2};
constexpr Place StrobePolarityPlace{8, 1};
constexpr Place HeadWidthPlace{5, 3};
constexpr Place HeadUpPolarityPlace{4, 1};

// The first position (counted from 1) of a field in the word's text.
constexpr qsizetype firstPosition(Place p)
{
    return 16 - (p.shift + p.width) + 1;
}

// The bits a field value takes in its place. A one-position field tests only for zero
// (not defined sets it); a wider field writes its code, and a code that doesn't fit (not
// defined included) becomes all ones, a code with no meaning, so it can never pass for a
// valid option and never spills into a neighbouring field.
template<class Field>
quint16 bitsOf(const std::optional<Field> &value, Place p)
{
    const int allOnes = (1 << p.width) - 1;
    int code = allOnes;
    if (value) {
        const int given = fieldCode(*value);
        code = p.width == 1 ? (given != 0 ? 1 : 0) : (given <= allOnes ? given : allOnes);
    }
    return quint16(code << p.shift);
}

// The value of a field whose options show every code but the ones past largest.
template<class Field>
std::optional<Field> shownValue(int code, Field largest)
{
    return code <= fieldCode(largest) ? std::optional<Field>(Field(code)) : std::nullopt;
}

// A one-position field's option for a decoded number: zero or not.
template<class Field>
Field bitValue(int code)
{
    return Field(code != 0 ? 1 : 0);
}

// The numeric value of one character as a file's word is read: a digit counts its value,
// anything else (and a missing position) 0.
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') ? int(u - u'0') : 0;
}

// The number a field's positions of text spell, each digit doubling what came before;
// positions past the end of the text are missing, not 0: a field cut short is the number
// of the digits present.
int spelledCode(QStringView text, Place p)
{
    const qsizetype first = firstPosition(p);
    if (first > text.size())
        return 0;
    const QStringView digits = text.sliced(first - 1, qMin<qsizetype>(p.width, text.size() - first + 1));
    unsigned sum = 0;
    for (QChar c : digits)
        sum = sum * 2 + unsigned(digitValue(c));
    return int(quint8(sum));
}

// The selections follow from the numbers the same way for a word and a file's text.
EditorFields selectionOf(const EditorFields &v)
{
    EditorFields s;
    s.printerMode = bitValue<PrinterMode>(fieldCode(v.printerMode));
    s.logicVoltage = bitValue<LogicVoltage>(fieldCode(*v.logicVoltage));
    s.mechanism = bitValue<Mechanism>(fieldCode(*v.mechanism));
    s.motorSteps = bitValue<MotorSteps>(fieldCode(*v.motorSteps));
    s.motorRotation = bitValue<MotorRotation>(fieldCode(*v.motorRotation));
    s.headType = shownValue(fieldCode(*v.headType), HeadType::St);
    s.strobePolarity = bitValue<StrobePolarity>(fieldCode(*v.strobePolarity));
    s.headWidth = shownValue(fieldCode(*v.headWidth), HeadWidth::FourInch);
    s.headUpPolarity = shownValue(fieldCode(*v.headUpPolarity), HeadUpPolarity::Inverted);
    return s;
}

// Every field from the code that codeAt gives for its place.
template<class CodeAt>
DecodedFields decode(CodeAt codeAt)
{
    DecodedFields d;
    EditorFields &v = d.values;
    v.printerMode = PrinterMode(codeAt(PrinterModePlace));
    v.logicVoltage = LogicVoltage(codeAt(LogicVoltagePlace));
    v.mechanism = Mechanism(codeAt(MechanismPlace));
    v.motorSteps = MotorSteps(codeAt(MotorStepsPlace));
    v.motorRotation = MotorRotation(codeAt(MotorRotationPlace));
    v.headType = HeadType(codeAt(HeadTypePlace));
    v.strobePolarity = StrobePolarity(codeAt(StrobePolarityPlace));
    v.headWidth = HeadWidth(codeAt(HeadWidthPlace));
    v.headUpPolarity = HeadUpPolarity(codeAt(HeadUpPolarityPlace));
    d.selected = selectionOf(v);
    return d;
}

} // namespace

std::optional<ConfigWord> ConfigWord::fromText(QStringView text)
{
    if (text.size() != 16)
        return std::nullopt;
    quint16 value = 0;
    for (QChar c : text) {
        if (c != u'0' && c != u'1')
            return std::nullopt;
        value = quint16(value << 1 | (c == u'1' ? 1 : 0));
    }
    return ConfigWord(value);
}

ConfigWord ConfigWord::fromFields(const EditorFields &f)
{
    return ConfigWord(quint16((1 << PrinterModePlace.shift)  // the editor always makes Chipset mode
                              | bitsOf(f.logicVoltage, LogicVoltagePlace) | bitsOf(f.mechanism, MechanismPlace)
                              | bitsOf(f.motorSteps, MotorStepsPlace) | bitsOf(f.motorRotation, MotorRotationPlace)
                              | bitsOf(f.headType, HeadTypePlace) | bitsOf(f.strobePolarity, StrobePolarityPlace)
                              | bitsOf(f.headWidth, HeadWidthPlace) | bitsOf(f.headUpPolarity, HeadUpPolarityPlace)));
}

QString ConfigWord::text() const
{
    QString text(16, u'0');
    for (int i = 0; i < 16; ++i) {
        if (m_value & (1 << (15 - i)))
            text[i] = u'1';
    }
    return text;
}

DecodedFields ConfigWord::decoded() const
{
    return decode([this](Place p) { return (m_value >> p.shift) & ((1 << p.width) - 1); });
}

DecodedFields decodeWordText(QStringView text)
{
    return decode([text](Place p) { return spelledCode(text, p); });
}
