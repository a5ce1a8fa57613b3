// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QLabel>

// What the production window's parts share in how they look: the colours of PASS and
// FAIL (always beside the word), and labels that show chip and device text as it is.
namespace ProductionLook {

inline const QColor PassColour(0, 128, 0);
inline const QColor FailColour(192, 0, 0);

inline QLabel *plainLabel(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    // Chip text and device names are shown as they are, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace ProductionLook
