// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/wordmeaning.h"

#include "config/configword.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

struct Field
{
    QString label;
    int first;  // positions in the word, from 1
    int last;
    QStringList codes;  // meaning of code 0, 1, ...
};

FieldMeaning meaning(QStringView word, const Field &f)
{
    const QString text = word.mid(f.first - 1, f.last - f.first + 1).toString();
    if (text.size() < f.last - f.first + 1)
        return {f.label, u"missing (the word is too short)"_s};
    static const QRegularExpression binaryDigits(u"^[01]+$"_s);
    if (!binaryDigits.match(text).hasMatch())
        return {f.label, u"unknown code \"%1\""_s.arg(escapeControls(text))};
    const int code = text.toInt(nullptr, 2);
    if (code >= f.codes.size())
        return {f.label, u"unknown code %1"_s.arg(text)};
    return {f.label, f.codes.at(code), true};
}

} // namespace

QList<FieldMeaning> wordMeaning(QStringView word)
{
    static const Field fields[] = {
        {u"logic voltage"_s, 2, 2, {u"3.3 V"_s, u"5 V"_s}},
        {u"mechanism"_s, 3, 3, {u"TAV"_s, u"Standard"_s}},
        {u"motor steps"_s, 4, 4, {u"2 steps per dot line"_s, u"1 step per dot line"_s}},
        {u"motor rotation"_s, 5, 5, {u"normal"_s, u"inverted"_s}},
        {u"head type"_s, 6, 7, {u"LV (low voltage)"_s, u"HS (high speed)"_s, u"ST (standard)"_s}},
        {u"strobe polarity"_s, 8, 8, {u"positive"_s, u"negative"_s}},
        {u"head width"_s, 9, 11,
         {u"1 inch, 192 pixels"_s, u"2 inch normal, 384 pixels"_s, u"2 inch wide, 448 pixels"_s,
          u"3 inch, 576 pixels"_s, u"4 inch, 832 pixels"_s}},
        {u"head-up polarity"_s, 12, 12, {u"normal"_s, u"inverted"_s}},
    };
    QList<FieldMeaning> out;
    for (const Field &f : fields)
        out.append(meaning(word, f));
    return out;
}

QList<FieldMeaning> wordMeaning(ConfigWord word)
{
    return wordMeaning(word.text());
}

QString fieldLines(QStringView word)
{
    QString text;
    for (const FieldMeaning &field : wordMeaning(word))
        text += u"  %1%2\n"_s.arg(field.label + u':', -19).arg(field.meaning);
    return text;
}

QString fieldLines(ConfigWord word)
{
    return fieldLines(word.text());
}

QString escapeControls(const QString &text)
{
    QString out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += u"\\x"_s;
            out += QLatin1Char(hex[u >> 4]);
            out += QLatin1Char(hex[u & 0xF]);
        } else {
            out += c;
        }
    }
    return out;
}
