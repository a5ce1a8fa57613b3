// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/configword.h"

namespace {

// Width of each field in the word, in word order after position 1.
constexpr int HeadTypeWidth = 2;
constexpr int HeadWidthWidth = 3;

// The numeric value of one character as the decoder reads it: a digit counts its
// value, anything else (and a missing position) 0.
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') ? int(u - u'0') : 0;
}

// Positions first..last (counted from 1) of word; positions past its end are empty.
QStringView positions(QStringView word, qsizetype first, qsizetype last)
{
    if (first > word.size())
        return {};
    return word.sliced(first - 1, qMin(last, word.size()) - first + 1);
}

// The code a field value takes in the word. A one-position field tests only for zero.
// A wider field writes its value in its width; a value that doesn't fit (including -1,
// not defined) becomes all ones, a code with no meaning, so it can never pass for a
// valid option and never spills into a neighbouring field.
int fieldCode(qint16 value, int width)
{
    if (width == 1)
        return value == 0 ? 0 : 1;
    const int allOnes = (1 << width) - 1;
    return (value >= 0 && value <= allOnes) ? value : allOnes;
}

QString bits(int code, int width)
{
    QString text(width, u'0');
    for (int i = 0; i < width; ++i) {
        if (code & (1 << (width - 1 - i)))
            text[i] = u'1';
    }
    return text;
}

// Zero/non-zero selection of a one-position field.
qint16 selectBit(int value)
{
    return value != 0 ? 1 : 0;
}

// Exact selection: the value when the field's table has it, otherwise none.
qint16 selectExact(int value, int largestCode)
{
    return (value >= 0 && value <= largestCode) ? qint16(value) : EditorFields::Undefined;
}

} // namespace

quint8 binary_value(QStringView text)
{
    // Each digit doubles what came before; a text longer than eight digits wraps.
    unsigned sum = 0;
    for (QChar c : text)
        sum = sum * 2 + unsigned(digitValue(c));
    return quint8(sum);
}

QString binary(quint8 value)
{
    return bits(value, 8);
}

DecodedConfig DecodeConfig(QStringView word)
{
    auto single = [&](qsizetype position) {
        const QStringView c = positions(word, position, position);
        return c.isEmpty() ? 0 : digitValue(c.front());
    };

    DecodedConfig d;
    EditorFields &v = d.values;
    EditorFields &s = d.selected;

    v.PrinterMode = qint16(single(1));
    v.LogicVoltage = qint16(single(2));
    v.Mechanism = qint16(single(3));
    v.MotorSteps = qint16(single(4));
    v.MotorRotation = qint16(single(5));
    v.HeadType = binary_value(positions(word, 6, 7));
    v.StrobePolarity = qint16(single(8));
    v.HeadWidth = binary_value(positions(word, 9, 11));
    v.HeadUpPolarity = binary_value(positions(word, 12, 12));

    s.PrinterMode = selectBit(v.PrinterMode);
    s.LogicVoltage = selectBit(v.LogicVoltage);
    s.Mechanism = selectBit(v.Mechanism);
    s.MotorSteps = selectBit(v.MotorSteps);
    s.MotorRotation = selectBit(v.MotorRotation);
    s.HeadType = selectExact(v.HeadType, 2);
    s.StrobePolarity = selectBit(v.StrobePolarity);
    s.HeadWidth = selectExact(v.HeadWidth, 4);
    s.HeadUpPolarity = selectExact(v.HeadUpPolarity, 1);
    return d;
}

QString EncodeConfig(const EditorFields &f)
{
    QString word;
    word.reserve(16);
    word += u'1';  // the editor always produces Chipset mode
    word += bits(fieldCode(f.LogicVoltage, 1), 1);
    word += bits(fieldCode(f.Mechanism, 1), 1);
    word += bits(fieldCode(f.MotorSteps, 1), 1);
    word += bits(fieldCode(f.MotorRotation, 1), 1);
    word += bits(fieldCode(f.HeadType, HeadTypeWidth), HeadTypeWidth);
    word += bits(fieldCode(f.StrobePolarity, 1), 1);
    word += bits(fieldCode(f.HeadWidth, HeadWidthWidth), HeadWidthWidth);
    word += bits(fieldCode(f.HeadUpPolarity, 1), 1);
    word += u"0000";
    return word;
}

ConfigurationBytes configurationBytes(const EditorFields &f)
{
    ConfigurationBytes b;
    b.high = quint8(128 + 64 * fieldCode(f.LogicVoltage, 1) + 32 * fieldCode(f.Mechanism, 1)
                    + 16 * fieldCode(f.MotorSteps, 1) + 8 * fieldCode(f.MotorRotation, 1)
                    + 2 * fieldCode(f.HeadType, HeadTypeWidth)
                    + fieldCode(f.StrobePolarity, 1));
    b.low = quint8(32 * fieldCode(f.HeadWidth, HeadWidthWidth)
                   + 16 * fieldCode(f.HeadUpPolarity, 1));
    return b;
}
