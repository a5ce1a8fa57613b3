// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/banner.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Each letter five rows high, all rows of a letter the same width.
const QStringList &letter(QChar c)
{
    static const QStringList P{u"#### "_s, u"#   #"_s, u"#### "_s, u"#    "_s, u"#    "_s};
    static const QStringList A{u" ### "_s, u"#   #"_s, u"#####"_s, u"#   #"_s, u"#   #"_s};
    static const QStringList S{u" ####"_s, u"#    "_s, u" ### "_s, u"    #"_s, u"#### "_s};
    static const QStringList F{u"#####"_s, u"#    "_s, u"#### "_s, u"#    "_s, u"#    "_s};
    static const QStringList I{u"###"_s, u" # "_s, u" # "_s, u" # "_s, u"###"_s};
    static const QStringList L{u"#    "_s, u"#    "_s, u"#    "_s, u"#    "_s, u"#####"_s};
    switch (c.unicode()) {
    case u'P':
        return P;
    case u'A':
        return A;
    case u'S':
        return S;
    case u'F':
        return F;
    case u'I':
        return I;
    default:
        return L;
    }
}

} // namespace

QString bigVerdict(bool passed, bool colour)
{
    const QString word = passed ? u"PASS"_s : u"FAIL"_s;
    QString text;
    if (colour)
        text += passed ? u"\x1b[1;32m"_s : u"\x1b[1;31m"_s;
    for (int row = 0; row < 5; ++row) {
        QStringList parts;
        for (QChar c : word)
            parts.append(letter(c).at(row));
        QString line = u"  "_s + parts.join(u"  "_s);
        while (line.endsWith(u' '))
            line.chop(1);
        text += line + u'\n';
    }
    if (colour)
        text += u"\x1b[0m"_s;
    return text;
}
