// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// What a screen reader announces for the frames, lists and menus under root. Qt names a
// frame without a name of its own after the frame around it, so that every option group
// of a column would be announced by the column's caption; a list has no caption to be
// named by, and a pop-up menu is announced by its window title, which is empty.
// Names each frame by its own caption, a list without a name by its frame's caption, and
// each menu by its title. Call it once the controls are built.
void nameByOwnCaptions(QWidget &root);
