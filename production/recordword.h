// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A record keeps the configuration word as its 16 bits, position 1 the highest; its
// text, 16 characters of 0 and 1, only where it is shown or written out.
inline quint16 recordWord(const QString &text)
{
    return quint16(text.toUInt(nullptr, 2));
}

inline QString wordText(quint16 word)
{
    return QString::number(word, 2).rightJustified(16, u'0');
}
