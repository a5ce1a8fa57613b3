// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/busypointer.h"
#include "app/chipaction.h"
#include "app/chipmodes.h"
#include "config/configword.h"

#include <QGroupBox>
#include <QList>
#include <QPointer>

#include <memory>

class AppContext;
class EditorPanel;
namespace Ui { class ChipPanelForm; }

// The "Chipset" column of the main window: detection and identification, reading and
// programming the configuration, sleep, wake-up and reset. Every handler is a chip
// action: one runs at a time (another is refused with a beep), each shows the busy
// pointer while it works, and each opens the port with ConnectionSettings and closes it
// again. The configuration mode and the identity determination chosen here decide what
// the editor lets the user change; programming writes what the editor holds. The
// handlers start their jobs on the chip worker and return; each action goes on when its
// job's result comes back, so the window never waits for the chip.
class ChipPanel final : public QGroupBox
{
    Q_OBJECT

public:
    ChipPanel(AppContext &context, const EditorPanel &editor, QWidget *parent = nullptr);
    ~ChipPanel() override;

    // True while a chip action runs.
    bool isBusy() const { return m_action.isRunning(); }

    // True when all eight editor fields are defined; otherwise says which is not (the
    // first in the order of the checks) and gives false.
    bool editorFieldsDefined();

    // The configuration mode and identity determination selected, each unchosen or not.
    ChipModes modes() const;
    // The chip's identity as shown.
    QString firmwareIdentity() const;
    // The start texts and the chip buttons disabled, as no chip has been found yet.
    void showNoChipYet();
    // The controls the keyboard reaches, in their order; the first has the focus at start.
    QList<QWidget *> tabChain() const;

public slots:
    // "Detect Chipset", and the "Detect a printer" menu entry.
    void detectChipset();
    // The program is ending and its chip jobs have stopped: the action running ends now,
    // without prompts, and what its jobs would still bring back is dropped.
    void endForProgramEnd();
    // The production line owns the ports while it runs: the chip actions wait for it.
    void setLineRunning(bool running);
    // What "Analyse current entry" does after analysing: Software and User selected, so
    // the whole editor and the identity box become editable.
    void selectSoftwareAndUser();

signals:
    // A chip action has ended: its result is shown and its messages closed.
    void actionEnded();
    // A mode option was selected, by the user or from the chip.
    void modesChanged(const ChipModes &modes);
    // The chip's configuration word and the mechanism identity were read: they go to the
    // editor. The word comes first.
    void configurationRead(ConfigWord word);
    void mechanismIdentityRead(const QString &name);
    void statusMessage(const QString &text);

private slots:
    void checkConfiguration();
    void configureChipset();
    void sleepChip();
    void wakeUpChip();
    void resetChip();

private:
    // Detection and identification, inside an action already running: the port selection
    // dialog, then the identity of the chip it found.
    void identify();
    void identifyFound();
    // Starts the action called name (for the log), or refuses it while another runs.
    bool beginAction(const char *name);
    // Runs job on the chip worker with the ports as they are now; done gets its result,
    // and the job's listener its calls, while the action runs.
    template<class Job, class Done>
    void startJob(Job job, Done done);
    void endAction();
    // The two arrangements of the chip buttons.
    void setChipButtonsEnabled(bool enabled);
    void exclaim(const QString &text);

    // Selects a mode option and says so, as a user's click does.
    void selectMode(bool software);
    void selectIdentityMethod(bool user);

    std::unique_ptr<Ui::ChipPanelForm> m_ui;
    AppContext &m_context;
    const EditorPanel &m_editor;
    ChipAction m_action;
    BusyPointer m_busy;
    // What the running action's jobs report to; gone with the action.
    QPointer<QObject> m_actionContext;
    bool m_lineRunning = false;
    QList<bool> m_enabledBeforeLine;  // the chip buttons' states when the line started
};
