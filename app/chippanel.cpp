// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chippanel.h"

#include "app/appcontext.h"
#include "app/chippanellistener.h"
#include "app/editorpanel.h"
#include "app/portselectiondialog.h"
#include "app/prompter.h"
#include "core/logging.h"
#include "protocol/configurationread.h"
#include "protocol/exchanges.h"
#include "protocol/identification.h"
#include "protocol/powercommands.h"
#include "protocol/programming.h"
#include "protocol/relayedlistener.h"

#include "ui_chippanel.h"

#include <memory>

using namespace Qt::StringLiterals;

ChipPanel::ChipPanel(AppContext &context, const EditorPanel &editor, QWidget *parent)
    : QGroupBox(parent)
    , m_ui(std::make_unique<Ui::ChipPanelForm>())
    , m_context(context)
    , m_editor(editor)
    , m_action(context)
{
    m_ui->setupUi(this);
    const QFontMetrics metrics(font());
    m_ui->firmwareIdentityLabel->setMinimumHeight(metrics.lineSpacing() * 2);
    // The connection labels change with every detection; they keep the width of their
    // start texts so the fixed-size window never changes size under the user.
    for (QLabel *label : {m_ui->portLabel, m_ui->baudRateLabel}) {
        label->setMinimumWidth(label->sizeHint().width());
        label->setSizePolicy(QSizePolicy::Ignored, label->sizePolicy().verticalPolicy());
    }
    // The identity is the chip's text, of any length: it wraps in the column's width and
    // past four lines it is cut off, rather than stretching the fixed-size window.
    m_ui->firmwareIdentityLabel->setSizePolicy(QSizePolicy::Ignored, m_ui->firmwareIdentityLabel->sizePolicy().verticalPolicy());
    m_ui->firmwareIdentityLabel->setMaximumHeight(m_ui->firmwareIdentityLabel->fontMetrics().lineSpacing() * 4
                                    + m_ui->firmwareIdentityLabel->contentsMargins().top()
                                    + m_ui->firmwareIdentityLabel->contentsMargins().bottom());

    connect(m_ui->detectButton, &QPushButton::clicked, this, &ChipPanel::detectChipset);
    connect(m_ui->checkConfigurationButton, &QPushButton::clicked, this, &ChipPanel::checkConfiguration);
    connect(m_ui->configureChipsetButton, &QPushButton::clicked, this, &ChipPanel::configureChipset);
    connect(m_ui->sleepButton, &QPushButton::clicked, this, &ChipPanel::sleepChip);
    connect(m_ui->wakeUpButton, &QPushButton::clicked, this, &ChipPanel::wakeUpChip);
    connect(m_ui->resetButton, &QPushButton::clicked, this, &ChipPanel::resetChip);
    for (QRadioButton *mode : {m_ui->softwareModeOption, m_ui->hardwareModeOption,
                               m_ui->userIdentityOption, m_ui->automaticIdentityOption}) {
        connect(mode, &QRadioButton::clicked, this, [this] { emit modesChanged(modes()); });
    }
}

ChipPanel::~ChipPanel() = default;

ChipModes ChipPanel::modes() const
{
    ChipModes modes;
    if (m_ui->softwareModeOption->isChecked() || m_ui->hardwareModeOption->isChecked())
        modes.software = m_ui->softwareModeOption->isChecked();
    if (m_ui->userIdentityOption->isChecked() || m_ui->automaticIdentityOption->isChecked())
        modes.userIdentity = m_ui->userIdentityOption->isChecked();
    return modes;
}

void ChipPanel::selectMode(bool software)
{
    (software ? m_ui->softwareModeOption : m_ui->hardwareModeOption)->setChecked(true);
    emit modesChanged(modes());
}

void ChipPanel::selectIdentityMethod(bool user)
{
    (user ? m_ui->userIdentityOption : m_ui->automaticIdentityOption)->setChecked(true);
    emit modesChanged(modes());
}

void ChipPanel::selectSoftwareAndUser()
{
    selectMode(true);
    selectIdentityMethod(true);
}

QString ChipPanel::firmwareIdentity() const
{
    return m_ui->firmwareIdentityLabel->text();
}

void ChipPanel::showNoChipYet()
{
    m_ui->portLabel->setText(tr("No chipset found, please"));
    m_ui->baudRateLabel->setText(tr("perform a chipset detection"));
    setChipButtonsEnabled(false);
    m_ui->detectButton->setEnabled(true);
}

QList<QWidget *> ChipPanel::tabChain() const
{
    return {m_ui->detectButton, m_ui->hardwareModeOption, m_ui->softwareModeOption,
            m_ui->automaticIdentityOption, m_ui->userIdentityOption, m_ui->checkConfigurationButton,
            m_ui->configureChipsetButton, m_ui->wakeUpButton, m_ui->sleepButton, m_ui->resetButton};
}

void ChipPanel::exclaim(const QString &text)
{
    m_context.prompter().message(text, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

bool ChipPanel::beginAction(const char *name)
{
    if (m_lineRunning) {
        qCDebug(lcUi, "%s: refused, the production line runs", name);
        m_context.prompter().beep();
        return false;
    }
    if (!m_action.begin()) {
        qCDebug(lcUi, "%s: refused, another chip action runs", name);
        return false;
    }
    qCDebug(lcUi, "%s: start", name);
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
    qCDebug(lcUi, "chip action: end");
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
    const QList<QWidget *> buttons{m_ui->detectButton, m_ui->checkConfigurationButton,
                                   m_ui->configureChipsetButton, m_ui->wakeUpButton, m_ui->sleepButton,
                                   m_ui->resetButton};
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
    emit statusMessage(running ? tr("Production line running: the chip actions wait until it stops")
                               : tr("Production line stopped"));
}

void ChipPanel::setChipButtonsEnabled(bool enabled)
{
    m_ui->checkConfigurationButton->setEnabled(enabled);
    m_ui->configureChipsetButton->setEnabled(enabled);
    m_ui->wakeUpButton->setEnabled(enabled);
    m_ui->sleepButton->setEnabled(enabled);
    m_ui->resetButton->setEnabled(enabled);
}

// ---- Detection and identification ----

void ChipPanel::detectChipset()
{
    if (!beginAction("Detect Chipset"))
        return;
    identify();
}

void ChipPanel::identify()
{
    m_ui->detectButton->setEnabled(false);
    // Modal, as it always was, but shown rather than run: the window's own event loop
    // serves it, and the action goes on when it closes.
    auto *dialog = new PortSelectionDialog(m_context, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->runLoadSteps();
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
    if (!connection.chipFound) {
        m_ui->firmwareIdentityLabel->setText(tr("No chipset found"));
        m_ui->portLabel->setText(tr("No chipset found, please"));
        m_ui->baudRateLabel->setText(tr("Perform a chipset detection"));
        setChipButtonsEnabled(false);
        m_ui->detectButton->setEnabled(true);
        m_ui->detectButton->setFocus();
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
                 m_ui->firmwareIdentityLabel->setText(QString::fromLatin1(identity.valueOr(QByteArray())));
                 m_ui->portLabel->setText(tr("Port: COM%1").arg(QChar(u'0' + connection.port)));
                 m_ui->baudRateLabel->setText(tr("Baudrate: %1").arg(connection.speed));
                 m_busy.restore();
                 m_ui->detectButton->setEnabled(true);
                 m_ui->checkConfigurationButton->setFocus();
                 endAction();
             });
}

// ---- Reading the configuration ----

void ChipPanel::checkConfiguration()
{
    if (!beginAction("Check configuration"))
        return;

    if (!m_context.connection().chipFound) {
        exclaim(tr("Please detect the printer first"));
        identify();
        return;
    }

    m_busy.show();
    m_ui->checkConfigurationButton->setEnabled(false);
    auto finish = [this] {
        m_ui->checkConfigurationButton->setEnabled(true);
        m_ui->checkConfigurationButton->setFocus();
        m_busy.restore();
    };

    // Each mode read is selected as a click would, so the editor locks as the answers come.
    auto listener = std::make_shared<ChipPanelListener>(m_context.prompter(), m_context.chipWorker());
    listener->onModeRead = [this](bool software) { selectMode(software); };
    listener->onIdentityMethodRead = [this](bool user) { selectIdentityMethod(user); };
    listener->onConfigurationRead = [this, finish](const std::optional<ConfigWord> &word) {
        if (word) {
            emit configurationRead(*word);
            return;
        }
        m_context.prompter().message(tr("Error while reading printer parameters !"),
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
                emit mechanismIdentityRead(reading->mechanismIdentity());
            else
                m_action.addFailures(reading.error().failures);
            finish();
            endAction();
        });
}

// ---- Programming ----

bool ChipPanel::editorFieldsDefined()
{
    const EditorFields &f = m_editor.fields();
    const std::pair<bool, const char *> checks[] = {
        {f.logicVoltage.has_value(), QT_TR_NOOP("Logic voltage is not defined !")},
        {f.mechanism.has_value(), QT_TR_NOOP("Mechanism (Standard/TAV) is not defined !")},
        {f.motorSteps.has_value(), QT_TR_NOOP("Motor steps is not defined !")},
        {f.motorRotation.has_value(), QT_TR_NOOP("Motor rotation is not defined !")},
        {f.headUpPolarity.has_value(), QT_TR_NOOP("Head-up polarity is not defined !")},
        {f.headWidth.has_value(), QT_TR_NOOP("Head width is not defined !")},
        {f.headType.has_value(), QT_TR_NOOP("Head type is not defined !")},
        {f.strobePolarity.has_value(), QT_TR_NOOP("Strobe polarity is not defined !")},
    };
    for (const auto &[defined, message] : checks) {
        if (!defined) {
            exclaim(tr(message));
            return false;
        }
    }
    return true;
}

void ChipPanel::configureChipset()
{
    if (!beginAction("Configure chipset"))
        return;

    auto refuse = [this](const QString &text) {
        exclaim(text);
        endAction();
    };
    if (!m_ui->hardwareModeOption->isChecked() && !m_ui->softwareModeOption->isChecked())
        return refuse(tr("Please select a configuration mode !"));
    if (!m_ui->automaticIdentityOption->isChecked() && !m_ui->userIdentityOption->isChecked())
        return refuse(tr("Please select an identity determination method !"));
    if (m_ui->softwareModeOption->isChecked() && !editorFieldsDefined())
        return endAction();
    if (m_ui->userIdentityOption->isChecked() && m_editor.mechanismIdentity().isEmpty())
        return refuse(tr("Please specify a mechanism identity !"));
    // Pasted or read from a chip, a control character would reach the chip as a raw byte.
    if (m_ui->userIdentityOption->isChecked() && Exchanges::hasControlCharacters(m_editor.mechanismIdentity()))
        return refuse(tr("The mechanism identity may hold printable characters only !"));
    // The inputs as they were checked: options clicked, an identity typed or an entry
    // analysed while it runs do not reach this run.
    ProgrammingInput input;
    input.software = m_ui->softwareModeOption->isChecked();
    input.userIdentity = m_ui->userIdentityOption->isChecked();
    input.fields = m_editor.fields();
    input.name = m_editor.mechanismIdentity();

    m_ui->configureChipsetButton->setEnabled(false);
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
                m_ui->firmwareIdentityLabel->setText(QString::fromLatin1(result->identity));
            } else {
                m_action.addFailures(result.error().failures);
                // A port that failed has its one message next; the identity stays.
                if (result.error().kind == JobError::Kind::Declined)
                    emit statusMessage(tr("Programming cancelled !"));
            }
            m_ui->configureChipsetButton->setEnabled(true);
            m_ui->configureChipsetButton->setFocus();
            endAction();
        });
}

// ---- Sleep, wake-up and reset ----

void ChipPanel::sleepChip()
{
    if (!beginAction("Sleep"))
        return;

    m_ui->sleepButton->setEnabled(false);
    m_busy.show();
    auto finish = [this] {
        m_busy.restore();
        m_ui->sleepButton->setEnabled(false);
        m_ui->resetButton->setEnabled(false);
        m_ui->checkConfigurationButton->setEnabled(false);
        m_ui->configureChipsetButton->setEnabled(false);
        m_ui->wakeUpButton->setFocus();
        endAction();
    };
    const ConnectionSettings connection = m_context.connection();
    if (!connection.chipFound)
        return finish();
    startJob([connection](SerialLink &link, const JobChannel &) { return PowerCommands::sleep(link, connection); },
             [this, finish](const JobResult<void> &slept) {
                 if (!slept)
                     m_action.addFailures(slept.error().failures);
                 finish();
             });
}

void ChipPanel::wakeUpChip()
{
    if (!beginAction("Wake up"))
        return;

    const bool wasEnabled = m_ui->wakeUpButton->isEnabled();
    m_ui->wakeUpButton->setEnabled(false);
    m_busy.show();
    m_context.refreshPorts();

    auto listener = std::make_shared<ChipPanelListener>(m_context.prompter(), m_context.chipWorker());
    listener->onWoken = [this] {
        m_busy.restore();
        m_ui->sleepButton->setEnabled(true);
        m_ui->resetButton->setEnabled(true);
        m_ui->checkConfigurationButton->setEnabled(true);
        m_ui->configureChipsetButton->setEnabled(true);
    };
    const ConnectionSettings connection = m_context.connection();
    startJob(
        [connection, listener](SerialLink &link, const JobChannel &channel) {
            RelayedListener relayed(listener, channel);
            return PowerCommands::wakeUp(link, connection.chipFound ? &connection : nullptr, relayed);
        },
        [this, wasEnabled](const JobResult<PowerCommands::WakeUp> &woken) {
            if (!woken && woken.error().kind == JobError::Kind::ProgramEnding) {
                endAction();
                return;
            }
            m_action.addFailures(woken ? woken->failures : woken.error().failures);
            m_ui->wakeUpButton->setEnabled(wasEnabled);
            endAction();
        });
}

void ChipPanel::resetChip()
{
    if (!beginAction("Reset"))
        return;

    const bool wasEnabled = m_ui->resetButton->isEnabled();
    m_ui->resetButton->setEnabled(false);
    m_busy.show();
    auto finish = [this, wasEnabled] {
        m_busy.restore();
        m_ui->resetButton->setEnabled(wasEnabled);
        endAction();
    };
    const ConnectionSettings connection = m_context.connection();
    if (!connection.chipFound)
        return finish();
    startJob([connection](SerialLink &link, const JobChannel &) { return PowerCommands::reset(link, connection); },
             [this, finish](const JobResult<void> &reset) {
                 if (!reset)
                     m_action.addFailures(reset.error().failures);
                 finish();
             });
}
