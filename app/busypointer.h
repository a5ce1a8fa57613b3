// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCursor>
#include <QGuiApplication>

// The busy (hourglass) pointer over the program while a chip action works. show() and
// restore() may each be called more than once; only the first of each counts, and the
// destructor restores, so the pointer never stays busy after an action.
class BusyPointer final
{
public:
    BusyPointer() = default;
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
    ~BusyPointer() { restore(); }

    void show()
    {
        if (m_shown)
            return;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_shown = true;
    }
    void restore()
    {
        if (!m_shown)
            return;
        QGuiApplication::restoreOverrideCursor();
        m_shown = false;
    }

private:
    bool m_shown = false;
};
