// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/accessiblecaptions.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QMenu>

void nameByOwnCaptions(QWidget &root)
{
    for (QGroupBox *frame : root.findChildren<QGroupBox *>())
        frame->setAccessibleName(frame->title());
    for (QAbstractItemView *list : root.findChildren<QAbstractItemView *>()) {
        if (auto *frame = qobject_cast<QGroupBox *>(list->parentWidget());
            frame && list->accessibleName().isEmpty()) {
            list->setAccessibleName(frame->title());
        }
    }
    for (QMenu *menu : root.findChildren<QMenu *>())
        menu->setAccessibleName(menu->title());
}
