// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/timerout.h"

#include <QByteArray>
#include <QObject>

class AppContext;
class ChipAction;
class EditorPanel;
class QLabel;
class QWidget;
namespace Ui { class Form1; }

// The "Chipset" column of the main window: detection and identification, reading and
// programming the configuration, sleep, wake-up and reset, and the chip queries that
// no control uses. Every handler is a chip action: one runs at a time (another is
// refused with a beep), each shows the busy pointer while it works, and each opens the
// port with ConnectionSettings and closes it again.
class ChipPanel final : public QObject
{
    Q_OBJECT

public:
    ChipPanel(Ui::Form1 &ui, AppContext &context, EditorPanel &editor, QLabel &status,
              QWidget *window, QObject *parent = nullptr);

    // True while a chip action runs (inside one of its waits, for anyone else).
    bool isBusy() const { return m_running; }

    // True when all eight editor fields are defined; otherwise says which is not (the
    // first in the order of the checks) and gives false.
    bool ValidateEditorFields();
    // Writes one chip setting, checks its echo (a message when it differs) and waits
    // 100 ms. The port must be open.
    void ProgramSetting(int setting, int value);

    // The queries: the port is used as the caller left it (open it first).
    quint8 get_value();
    quint8 get_opto();
    quint8 get_ad();
    QByteArray get_string();

    TimerOut &timerOut() { return m_timerOut; }

public slots:
    // The "Detect a printer" menu entry: the same as "Detect Chipset".
    void Detect_Click();

private slots:
    void GetID_Click();
    void GetSettings_Click();
    void ConfigPrinter_Click();
    void SleepButton_Click();
    void Wakeup_Click();
    void Reset_Click();

private:
    // Detection and identification, inside an action already running.
    void identify(ChipAction &action);
    // The two arrangements of the chip buttons.
    void setChipButtonsEnabled(bool enabled);
    void exclaim(const QString &text);

    Ui::Form1 &m_ui;
    AppContext &m_context;
    EditorPanel &m_editor;
    QLabel &m_status;
    QWidget *m_window;
    TimerOut m_timerOut;
    bool m_running = false;
};
