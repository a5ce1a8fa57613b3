// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chippanel.h"

#include "app/appcontext.h"
#include "app/busypointer.h"
#include "app/chipaction.h"
#include "app/chippanellistener.h"
#include "app/editorpanel.h"
#include "app/portselectiondialog.h"
#include "app/prompter.h"
#include "protocol/configurationread.h"
#include "protocol/exchanges.h"
#include "protocol/identification.h"
#include "protocol/powercommands.h"
#include "protocol/programming.h"
#include "protocol/queries.h"

#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QLabel>

using namespace Qt::StringLiterals;

ChipPanel::ChipPanel(Ui::Form1 &ui, AppContext &context, EditorPanel &editor, QLabel &status,
                     QWidget *window, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
    , m_context(context)
    , m_editor(editor)
    , m_status(status)
    , m_window(window)
    , m_timerOut(context.link())
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
    ChipAction action(m_running, m_context);
    if (action.refused())
        return;
    identify(action);
}

void ChipPanel::identify(ChipAction &action)
{
    const ConnectionSettings &connection = m_context.connection();

    m_ui.GetID->setEnabled(false);
    {
        PortSelectionDialog dialog(m_context, m_window);
        dialog.Form_Load();
        dialog.exec();
    }
    if (action.ending())
        return;

    if (connection.ChipFound) {
        setChipButtonsEnabled(true);
        BusyPointer busy;
        busy.show();
        const IdentityReading reading = Identification::identify(m_context.link(), connection);
        if (reading.end == JobEnd::Aborted)
            return;
        m_ui.Identity->setText(QString::fromLatin1(reading.identity));
        m_ui.LabelCom->setText(u"Port: COM"_s + QChar(u'0' + connection.PortNumber));
        m_ui.LabelBauds->setText(u"Baudrate: "_s + connection.Speed);
        busy.restore();
        m_ui.GetID->setEnabled(true);
        m_ui.GetSettings->setFocus();
    } else {
        m_ui.Identity->setText(u"No chipset found"_s);
        m_ui.LabelCom->setText(u"No chipset found, please"_s);
        m_ui.LabelBauds->setText(u"Perform a chipset detection"_s);
        setChipButtonsEnabled(false);
        m_ui.GetID->setEnabled(true);
        m_ui.GetID->setFocus();
    }
}

// ---- Reading the configuration ----

void ChipPanel::GetSettings_Click()
{
    ChipAction action(m_running, m_context);
    if (action.refused())
        return;

    if (!m_context.connection().ChipFound) {
        exclaim(u"Please detect the printer first"_s);
        identify(action);
        return;
    }

    BusyPointer busy;
    busy.show();
    m_ui.GetSettings->setEnabled(false);
    auto finish = [&] {
        m_ui.GetSettings->setEnabled(true);
        m_ui.GetSettings->setFocus();
        busy.restore();
    };

    // Each selection runs its click handler, so the mode rules apply before the next
    // command goes out.
    ChipPanelListener listener(m_context.prompter(), m_context.link());
    listener.onModeRead = [&](bool software) { m_editor.selectOption(software ? m_ui.ConfUser : m_ui.ConfRes); };
    listener.onIdentityMethodRead = [&](bool user) { m_editor.selectOption(user ? m_ui.IdUser : m_ui.IdAuto); };
    listener.onConfigurationRead = [&](const std::optional<QString> &word) {
        if (word) {
            m_editor.DecodeConfig(*word);
            return;
        }
        m_context.prompter().message(u"Error while reading printer parameters !"_s,
                                     Prompter::Icon::Critical, Prompter::Buttons::Ok);
        finish();
    };
    const ConfigurationReading reading = ConfigurationRead::read(m_context.link(), m_context.connection(), listener);
    if (reading.end == JobEnd::Done)
        m_ui.ConfigName->setText(reading.mechanismIdentity());
    finish();
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

void ChipPanel::ProgramSetting(int setting, int value)
{
    ChipPanelListener listener(m_context.prompter(), m_context.link());
    Programming::programSetting(m_context.link(), quint8(setting), quint8(value), listener);
}

void ChipPanel::ConfigPrinter_Click()
{
    ChipAction action(m_running, m_context);
    if (action.refused())
        return;

    if (!m_ui.ConfRes->isChecked() && !m_ui.ConfUser->isChecked()) {
        exclaim(u"Please select a configuration mode !"_s);
        return;
    }
    if (!m_ui.IdAuto->isChecked() && !m_ui.IdUser->isChecked()) {
        exclaim(u"Please select an identity determination method !"_s);
        return;
    }
    if (m_ui.ConfUser->isChecked() && !ValidateEditorFields())
        return;
    if (m_ui.IdUser->isChecked() && m_ui.ConfigName->text().isEmpty()) {
        exclaim(u"Please specify a mechanism identity !"_s);
        return;
    }
    // Pasted or read from a chip, a control character would reach the chip as a raw byte.
    if (m_ui.IdUser->isChecked() && Exchanges::hasControlCharacters(m_ui.ConfigName->text())) {
        exclaim(u"The mechanism identity may hold printable characters only !"_s);
        return;
    }
    // The inputs as they were checked: options clicked, an identity typed or an entry
    // analysed during the waits do not reach this run.
    ProgrammingInput input;
    input.software = m_ui.ConfUser->isChecked();
    input.userIdentity = m_ui.IdUser->isChecked();
    input.fields = m_editor.fields();
    input.name = m_ui.ConfigName->text();

    m_ui.ConfigPrinter->setEnabled(false);
    BusyPointer busy;
    busy.show();

    ChipPanelListener listener(m_context.prompter(), m_context.link());
    const ProgrammingResult result =
        Programming::program(m_context.link(), m_context.connection(), input, listener);
    switch (result.end) {
    case JobEnd::Done:
        m_ui.Identity->setText(QString::fromLatin1(result.identity));
        break;
    case JobEnd::Cancelled:
        m_status.setText(u"Programming cancelled !"_s);
        break;
    case JobEnd::PortFailed:  // the port's one message follows; the identity stays
    case JobEnd::Aborted:
        break;
    }

    m_ui.ConfigPrinter->setEnabled(true);
    m_ui.ConfigPrinter->setFocus();
    busy.restore();
    if (result.end != JobEnd::Aborted)
        QCoreApplication::processEvents();
}

// ---- Sleep, wake-up and reset ----

void ChipPanel::SleepButton_Click()
{
    ChipAction action(m_running, m_context);
    if (action.refused())
        return;

    m_ui.SleepButton->setEnabled(false);
    BusyPointer busy;
    busy.show();
    if (m_context.connection().ChipFound)
        PowerCommands::sleep(m_context.link(), m_context.connection());
    busy.restore();

    m_ui.SleepButton->setEnabled(false);
    m_ui.Reset->setEnabled(false);
    m_ui.GetSettings->setEnabled(false);
    m_ui.ConfigPrinter->setEnabled(false);
    m_ui.Wakeup->setFocus();
    QCoreApplication::processEvents();
}

void ChipPanel::Wakeup_Click()
{
    ChipAction action(m_running, m_context);
    if (action.refused())
        return;

    const bool wasEnabled = m_ui.Wakeup->isEnabled();
    m_ui.Wakeup->setEnabled(false);
    BusyPointer busy;
    busy.show();
    m_context.refreshPorts();

    ChipPanelListener listener(m_context.prompter(), m_context.link());
    listener.onWoken = [&] {
        busy.restore();
        m_ui.SleepButton->setEnabled(true);
        m_ui.Reset->setEnabled(true);
        m_ui.GetSettings->setEnabled(true);
        m_ui.ConfigPrinter->setEnabled(true);
    };
    const ConnectionSettings &connection = m_context.connection();
    // The window words port failures from the link, as after every action.
    const JobEnd end = PowerCommands::wakeUp(m_context.link(), connection.ChipFound ? &connection : nullptr, listener).end;
    if (end == JobEnd::Aborted)
        return;
    m_ui.Wakeup->setEnabled(wasEnabled);
}

void ChipPanel::Reset_Click()
{
    ChipAction action(m_running, m_context);
    if (action.refused())
        return;

    const bool wasEnabled = m_ui.Reset->isEnabled();
    m_ui.Reset->setEnabled(false);
    BusyPointer busy;
    busy.show();
    if (m_context.connection().ChipFound)
        PowerCommands::reset(m_context.link(), m_context.connection());
    busy.restore();
    m_ui.Reset->setEnabled(wasEnabled);
}

// ---- Queries ----

quint8 ChipPanel::get_value()
{
    return Queries::get_value(m_context.link(), m_timerOut);
}

quint8 ChipPanel::get_opto()
{
    return Queries::get_opto(m_context.link(), m_timerOut);
}

quint8 ChipPanel::get_ad()
{
    return Queries::get_ad(m_context.link(), m_timerOut);
}

QByteArray ChipPanel::get_string()
{
    return Queries::get_string(m_context.link(), m_timerOut);
}
