// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompter.h"

#include <QPointer>

class QWidget;

// The prompter of the running program: message boxes and the platform file dialog,
// modal over the window the user is working in (the traffic monitor's "Save as...", say),
// else over the main window once it is set as their parent.
class DialogPrompter final : public Prompter
{
public:
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer message(const QString &text, Icon icon, Buttons buttons) override;
    QString chooseFile(const FileRequest &request) override;
    void beep() override;

    // The title every message box carries: the application's own.
    static QString applicationTitle();

private:
    QWidget *owner() const;

    QPointer<QWidget> m_parent;
};
