// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/wordmeaning.h"

#include "config/configword.h"

#include <QCoreApplication>
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

QString en(const char *english)
{
    return QString::fromUtf8(english);
}

FieldMeaning meaning(QStringView word, const Field &f)
{
    const QString text = word.mid(f.first - 1, f.last - f.first + 1).toString();
    if (text.size() < f.last - f.first + 1)
        return {f.label, en(QT_TRANSLATE_NOOP("ReadBack", "missing (the word is too short)"))};
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
    // Marked for the catalogue, kept in English: records and JSON hold these words.
    static const Field fields[] = {
        {en(QT_TRANSLATE_NOOP("ReadBack", "logic voltage")), 2, 2,
         {en(QT_TRANSLATE_NOOP("ReadBack", "3.3 V")), en(QT_TRANSLATE_NOOP("ReadBack", "5 V"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "mechanism")), 3, 3,
         {en(QT_TRANSLATE_NOOP("ReadBack", "TAV")), en(QT_TRANSLATE_NOOP("ReadBack", "Standard"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "motor steps")), 4, 4,
         {en(QT_TRANSLATE_NOOP("ReadBack", "2 steps per dot line")),
          en(QT_TRANSLATE_NOOP("ReadBack", "1 step per dot line"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "motor rotation")), 5, 5,
         {en(QT_TRANSLATE_NOOP("ReadBack", "normal")), en(QT_TRANSLATE_NOOP("ReadBack", "inverted"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "head type")), 6, 7,
         {en(QT_TRANSLATE_NOOP("ReadBack", "LV (low voltage)")), en(QT_TRANSLATE_NOOP("ReadBack", "HS (high speed)")),
          en(QT_TRANSLATE_NOOP("ReadBack", "ST (standard)"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "strobe polarity")), 8, 8,
         {en(QT_TRANSLATE_NOOP("ReadBack", "positive")), en(QT_TRANSLATE_NOOP("ReadBack", "negative"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "head width")), 9, 11,
         {en(QT_TRANSLATE_NOOP("ReadBack", "1 inch, 192 pixels")),
          en(QT_TRANSLATE_NOOP("ReadBack", "2 inch normal, 384 pixels")),
          en(QT_TRANSLATE_NOOP("ReadBack", "2 inch wide, 448 pixels")),
          en(QT_TRANSLATE_NOOP("ReadBack", "3 inch, 576 pixels")),
          en(QT_TRANSLATE_NOOP("ReadBack", "4 inch, 832 pixels"))}},
        {en(QT_TRANSLATE_NOOP("ReadBack", "head-up polarity")), 12, 12,
         {en(QT_TRANSLATE_NOOP("ReadBack", "normal")), en(QT_TRANSLATE_NOOP("ReadBack", "inverted"))}},
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
        text += u"  %1%2\n"_s.arg(readBackText(field.label) + u':', -19).arg(readBackText(field.meaning));
    return text;
}

QString fieldLines(ConfigWord word)
{
    return fieldLines(word.text());
}

QString readBackText(const QString &text)
{
    return QCoreApplication::translate("ReadBack", text.toUtf8().constData());
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
