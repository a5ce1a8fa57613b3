// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chippanel.h"

#include "app/appcontext.h"
#include "app/chippanellistener.h"
#include "app/editorpanel.h"
#include "app/portselectiondialog.h"
#include "app/prompter.h"
#include "protocol/configurationread.h"
#include "protocol/exchanges.h"
#include "protocol/identification.h"
#include "protocol/powercommands.h"
#include "protocol/programming.h"
#include "protocol/relayedlistener.h"

#include "ui_mainwindow.h"

#include <QLabel>

#include <memory>

using namespace Qt::StringLiterals;

ChipPanel::ChipPanel(Ui::Form1 &ui, AppContext &context, EditorPanel &editor, QLabel &status,
                     QWidget *window, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
    , m_context(context)
    , m_editor(editor)
    , m_status(status)
    , m_window(window)
    , m_action(context)
{
    // The identity is the chip's text, of any length: it wraps in the column's width and
    // past four lines it is cut off, rather than stretching the fixed-size window.
    m_ui.Identity->setSizePolicy(QSizePolicy::Ignored, m_ui.Identity->sizePolicy().verticalPolicy());
    m_ui.Identity->setMaximumHeight(m_ui.Identity->fontMetrics().lineSpacing() * 4
                                    + m_ui.Identity->contentsMargins().top()
                                    + m_ui.Identity->contentsMargins().bottom());

    connect(m_ui.GetID, &QPushButton::clicked, this, &ChipPanel::GetID_Click);
    connect(m_ui.Detect, &QAction::triggered, this, &ChipPanel::Detect_Click);
    connect(m_ui.GetSettings, &QPushButton::clicked, this, &ChipPanel::GetSettings_Click);
    connect(m_ui.ConfigPrinter, &QPushButton::clicked, this, &ChipPanel::ConfigPrinter_Click);
    connect(m_ui.SleepButton, &QPushButton::clicked, this, &ChipPanel::SleepButton_Click);
    connect(m_ui.Wakeup, &QPushButton::clicked, this, &ChipPanel::Wakeup_Click);
    connect(m_ui.Reset, &QPushButton::clicked, this, &ChipPanel::Reset_Click);
}

void ChipPanel::exclaim(const QString &text)
{
    m_context.prompter().message(text, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

bool ChipPanel::beginAction()
{
    if (m_lineRunning) {
        m_context.prompter().beep();
        return false;
    }
    if (!m_action.begin())
        return false;
    m_actionContext = new QObject(this);
    return true;
}

template<class Job, class Done>
void ChipPanel::startJob(Job job, Done done)
{
    m_context.chipWorker().start(m_context.ports(), m_actionContext, std::move(job), std::move(done));
}

void ChipPanel::endAction()
{
    delete m_actionContext;
    m_busy.restore();
    m_action.end();
    emit actionEnded();
}

void ChipPanel::endForProgramEnd()
{
    if (m_action.isRunning())
        endAction();
}

void ChipPanel::setLineRunning(bool running)
{
    if (running == m_lineRunning)
        return;
    m_lineRunning = running;
    // Each button gets back the state it had when the line started.
    const QList<QWidget *> buttons{m_ui.GetID, m_ui.GetSettings, m_ui.ConfigPrinter, m_ui.Wakeup,
                                   m_ui.SleepButton, m_ui.Reset};
    if (running) {
        m_enabledBeforeLine.clear();
        for (QWidget *button : buttons) {
            m_enabledBeforeLine.append(button->isEnabled());
            button->setEnabled(false);
        }
    } else {
        for (qsizetype i = 0; i < buttons.size() && i < m_enabledBeforeLine.size(); ++i)
            buttons.at(i)->setEnabled(m_enabledBeforeLine.at(i));
    }
    m_ui.Detect->setEnabled(!running);
    m_status.setText(running ? tr("Production line running: the chip actions wait until it stops")
                             : tr("Production line stopped"));
}

void ChipPanel::setChipButtonsEnabled(bool enabled)
{
    m_ui.GetSettings->setEnabled(enabled);
    m_ui.ConfigPrinter->setEnabled(enabled);
    m_ui.Wakeup->setEnabled(enabled);
    m_ui.SleepButton->setEnabled(enabled);
    m_ui.Reset->setEnabled(enabled);
}

// ---- Detection and identification ----

void ChipPanel::Detect_Click()
{
    GetID_Click();
}

void ChipPanel::GetID_Click()
{
    if (!beginAction())
        return;
    identify();
}

void ChipPanel::identify()
{
    m_ui.GetID->setEnabled(false);
    // Modal, as it always was, but shown rather than run: the window's own event loop
    // serves it, and the action goes on when it closes.
    auto *dialog = new PortSelectionDialog(m_context, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->Form_Load();
    connect(dialog, &QDialog::finished, this, &ChipPanel::identifyFound);
    dialog->show();
}

void ChipPanel::identifyFound()
{
    if (!m_action.isRunning())
        return;  // ended with the program while the dialog was open
    if (m_action.ending()) {
        endAction();
        return;
    }
    const ConnectionSettings connection = m_context.connection();
    if (!connection.ChipFound) {
        m_ui.Identity->setText(u"No chipset found"_s);
        m_ui.LabelCom->setText(u"No chipset found, please"_s);
        m_ui.LabelBauds->setText(u"Perform a chipset detection"_s);
        setChipButtonsEnabled(false);
        m_ui.GetID->setEnabled(true);
        m_ui.GetID->setFocus();
        endAction();
        return;
    }

    setChipButtonsEnabled(true);
    m_busy.show();
    startJob([connection](SerialLink &link, const JobChannel &) { return Identification::identify(link, connection); },
             [this, connection](const JobResult<QByteArray> &identity) {
                 if (!identity && identity.error().kind == JobError::Kind::ProgramEnding) {
                     endAction();
                     return;
                 }
                 if (!identity)
                     m_action.addFailures(identity.error().failures);
                 m_ui.Identity->setText(QString::fromLatin1(identity.valueOr(QByteArray())));
                 m_ui.LabelCom->setText(u"Port: COM"_s + QChar(u'0' + connection.PortNumber));
                 m_ui.LabelBauds->setText(u"Baudrate: "_s + connection.Speed);
                 m_busy.restore();
                 m_ui.GetID->setEnabled(true);
                 m_ui.GetSettings->setFocus();
                 endAction();
             });
}

// ---- Reading the configuration ----

void ChipPanel::GetSettings_Click()
{
    if (!beginAction())
        return;

    if (!m_context.connection().ChipFound) {
        exclaim(u"Please detect the printer first"_s);
        identify();
        return;
    }

    m_busy.show();
    m_ui.GetSettings->setEnabled(false);
    auto finish = [this] {
        m_ui.GetSettings->setEnabled(true);
        m_ui.GetSettings->setFocus();
        m_busy.restore();
    };

    // Each selection runs its click handler, so the mode rules apply as the answers come.
    auto listener = std::make_shared<ChipPanelListener>(m_context.prompter(), m_context.chipWorker());
    listener->onModeRead = [this](bool software) { m_editor.selectOption(software ? m_ui.ConfUser : m_ui.ConfRes); };
    listener->onIdentityMethodRead = [this](bool user) { m_editor.selectOption(user ? m_ui.IdUser : m_ui.IdAuto); };
    listener->onConfigurationRead = [this, finish](const std::optional<QString> &word) {
        if (word) {
            m_editor.DecodeConfig(*word);
            return;
        }
        m_context.prompter().message(u"Error while reading printer parameters !"_s,
                                     Prompter::Icon::Critical, Prompter::Buttons::Ok);
        finish();
    };
    const ConnectionSettings connection = m_context.connection();
    startJob(
        [connection, listener](SerialLink &link, const JobChannel &channel) {
            RelayedListener relayed(listener, channel);
            return ConfigurationRead::read(link, connection, relayed);
        },
        [this, finish](const JobResult<ConfigurationReading> &reading) {
            if (reading)
                m_ui.ConfigName->setText(reading->mechanismIdentity());
            else
                m_action.addFailures(reading.error().failures);
            finish();
            endAction();
        });
}

// ---- Programming ----

bool ChipPanel::ValidateEditorFields()
{
    const EditorFields &f = m_editor.fields();
    const std::pair<qint16, const char *> checks[] = {
        {f.LogicVoltage, "Logic voltage is not defined !"},
        {f.Mechanism, "Mechanism (Standard/TAV) is not defined !"},
        {f.MotorSteps, "Motor steps is not defined !"},
        {f.MotorRotation, "Motor rotation is not defined !"},
        {f.HeadUpPolarity, "Head-up polarity is not defined !"},
        {f.HeadWidth, "Head width is not defined !"},
        {f.HeadType, "Head type is not defined !"},
        {f.StrobePolarity, "Strobe polarity is not defined !"},
    };
    for (const auto &[value, message] : checks) {
        if (value == EditorFields::Undefined) {
            exclaim(QString::fromLatin1(message));
            return false;
        }
    }
    return true;
}

void ChipPanel::ConfigPrinter_Click()
{
    if (!beginAction())
        return;

    auto refuse = [this](const QString &text) {
        exclaim(text);
        endAction();
    };
    if (!m_ui.ConfRes->isChecked() && !m_ui.ConfUser->isChecked())
        return refuse(u"Please select a configuration mode !"_s);
    if (!m_ui.IdAuto->isChecked() && !m_ui.IdUser->isChecked())
        return refuse(u"Please select an identity determination method !"_s);
    if (m_ui.ConfUser->isChecked() && !ValidateEditorFields())
        return endAction();
    if (m_ui.IdUser->isChecked() && m_ui.ConfigName->text().isEmpty())
        return refuse(u"Please specify a mechanism identity !"_s);
    // Pasted or read from a chip, a control character would reach the chip as a raw byte.
    if (m_ui.IdUser->isChecked() && Exchanges::hasControlCharacters(m_ui.ConfigName->text()))
        return refuse(u"The mechanism identity may hold printable characters only !"_s);
    // The inputs as they were checked: options clicked, an identity typed or an entry
    // analysed while it runs do not reach this run.
    ProgrammingInput input;
    input.software = m_ui.ConfUser->isChecked();
    input.userIdentity = m_ui.IdUser->isChecked();
    input.fields = m_editor.fields();
    input.name = m_ui.ConfigName->text();

    m_ui.ConfigPrinter->setEnabled(false);
    m_busy.show();

    auto listener = std::make_shared<ChipPanelListener>(m_context.prompter(), m_context.chipWorker());
    const ConnectionSettings connection = m_context.connection();
    startJob(
        [connection, input, listener](SerialLink &link, const JobChannel &channel) {
            RelayedListener relayed(listener, channel);
            return Programming::program(link, connection, input, relayed);
        },
        [this](const JobResult<ProgrammingResult> &result) {
            if (result) {
                m_ui.Identity->setText(QString::fromLatin1(result->identity));
            } else {
                m_action.addFailures(result.error().failures);
                // A port that failed has its one message next; the identity stays.
                if (result.error().kind == JobError::Kind::Declined)
                    m_status.setText(u"Programming cancelled !"_s);
            }
            m_ui.ConfigPrinter->setEnabled(true);
            m_ui.ConfigPrinter->setFocus();
            endAction();
        });
}

// ---- Sleep, wake-up and reset ----

void ChipPanel::SleepButton_Click()
{
    if (!beginAction())
        return;

    m_ui.SleepButton->setEnabled(false);
    m_busy.show();
    auto finish = [this] {
        m_busy.restore();
        m_ui.SleepButton->setEnabled(false);
        m_ui.Reset->setEnabled(false);
        m_ui.GetSettings->setEnabled(false);
        m_ui.ConfigPrinter->setEnabled(false);
        m_ui.Wakeup->setFocus();
        endAction();
    };
    const ConnectionSettings connection = m_context.connection();
    if (!connection.ChipFound)
        return finish();
    startJob([connection](SerialLink &link, const JobChannel &) { return PowerCommands::sleep(link, connection); },
             [this, finish](const JobResult<void> &slept) {
                 if (!slept)
                     m_action.addFailures(slept.error().failures);
                 finish();
             });
}

void ChipPanel::Wakeup_Click()
{
    if (!beginAction())
        return;

    const bool wasEnabled = m_ui.Wakeup->isEnabled();
    m_ui.Wakeup->setEnabled(false);
    m_busy.show();
    m_context.refreshPorts();

    auto listener = std::make_shared<ChipPanelListener>(m_context.prompter(), m_context.chipWorker());
    listener->onWoken = [this] {
        m_busy.restore();
        m_ui.SleepButton->setEnabled(true);
        m_ui.Reset->setEnabled(true);
        m_ui.GetSettings->setEnabled(true);
        m_ui.ConfigPrinter->setEnabled(true);
    };
    const ConnectionSettings connection = m_context.connection();
    startJob(
        [connection, listener](SerialLink &link, const JobChannel &channel) {
            RelayedListener relayed(listener, channel);
            return PowerCommands::wakeUp(link, connection.ChipFound ? &connection : nullptr, relayed);
        },
        [this, wasEnabled](const JobResult<PowerCommands::WakeUp> &woken) {
            if (!woken && woken.error().kind == JobError::Kind::ProgramEnding) {
                endAction();
                return;
            }
            m_action.addFailures(woken ? woken->failures : woken.error().failures);
            m_ui.Wakeup->setEnabled(wasEnabled);
            endAction();
        });
}

void ChipPanel::Reset_Click()
{
    if (!beginAction())
        return;

    const bool wasEnabled = m_ui.Reset->isEnabled();
    m_ui.Reset->setEnabled(false);
    m_busy.show();
    auto finish = [this, wasEnabled] {
        m_busy.restore();
        m_ui.Reset->setEnabled(wasEnabled);
        endAction();
    };
    const ConnectionSettings connection = m_context.connection();
    if (!connection.ChipFound)
        return finish();
    startJob([connection](SerialLink &link, const JobChannel &) { return PowerCommands::reset(link, connection); },
             [this, finish](const JobResult<void> &reset) {
                 if (!reset)
                     m_action.addFailures(reset.error().failures);
                 finish();
             });
}
