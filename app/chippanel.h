// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/busypointer.h"
#include "app/chipaction.h"

#include <QList>
#include <QObject>
#include <QPointer>

class AppContext;
class EditorPanel;
class QLabel;
class QWidget;
namespace Ui { class Form1; }

// The "Chipset" column of the main window: detection and identification, reading and
// programming the configuration, sleep, wake-up and reset. Every handler is a chip
// action: one runs at a time (another is refused with a beep), each shows the busy
// pointer while it works, and each opens the port with ConnectionSettings and closes it
// again. The handlers start their jobs on the chip worker and return; each action goes
// on when its job's result comes back, so the window never waits for the chip.
class ChipPanel final : public QObject
{
    Q_OBJECT

public:
    ChipPanel(Ui::Form1 &ui, AppContext &context, EditorPanel &editor, QLabel &status,
              QWidget *window, QObject *parent = nullptr);

    // True while a chip action runs.
    bool isBusy() const { return m_action.isRunning(); }

    // True when all eight editor fields are defined; otherwise says which is not (the
    // first in the order of the checks) and gives false.
    bool ValidateEditorFields();

public slots:
    // The "Detect a printer" menu entry: the same as "Detect Chipset".
    void Detect_Click();
    // The program is ending and its chip jobs have stopped: the action running ends now,
    // without prompts, and what its jobs would still bring back is dropped.
    void endForProgramEnd();
    // The production line owns the ports while it runs: the chip actions wait for it.
    void setLineRunning(bool running);

signals:
    // A chip action has ended: its result is shown and its messages closed.
    void actionEnded();

private slots:
    void GetID_Click();
    void GetSettings_Click();
    void ConfigPrinter_Click();
    void SleepButton_Click();
    void Wakeup_Click();
    void Reset_Click();

private:
    // Detection and identification, inside an action already running: the port selection
    // dialog, then the identity of the chip it found.
    void identify();
    void identifyFound();
    bool beginAction();
    // Runs job on the chip worker with the ports as they are now; done gets its result,
    // and the job's listener its calls, while the action runs.
    template<class Job, class Done>
    void startJob(Job job, Done done);
    void endAction();
    // The two arrangements of the chip buttons.
    void setChipButtonsEnabled(bool enabled);
    void exclaim(const QString &text);

    Ui::Form1 &m_ui;
    AppContext &m_context;
    EditorPanel &m_editor;
    QLabel &m_status;
    QWidget *m_window;
    ChipAction m_action;
    BusyPointer m_busy;
    // What the running action's jobs report to; gone with the action.
    QPointer<QObject> m_actionContext;
    bool m_lineRunning = false;
    QList<bool> m_enabledBeforeLine;  // the chip buttons' states when the line started
};
