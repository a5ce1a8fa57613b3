// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/editorpanel.h"

#include "ui_mainwindow.h"

EditorPanel::EditorPanel(Ui::Form1 &ui, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
{
    m_options = {
        {m_ui.Voltage5, &EditorPanel::Voltage5_Click},
        {m_ui.Voltage3, &EditorPanel::Voltage3_Click},
        {m_ui.MechaStd, &EditorPanel::MechaStd_Click},
        {m_ui.MechaTAV, &EditorPanel::MechaTAV_Click},
        {m_ui.Step1, &EditorPanel::Step1_Click},
        {m_ui.Steps2, &EditorPanel::Steps2_Click},
        {m_ui.StepperNormal, &EditorPanel::StepperNormal_Click},
        {m_ui.StepperInverted, &EditorPanel::StepperInverted_Click},
        {m_ui.HupNormal, &EditorPanel::HupNormal_Click},
        {m_ui.HupInverted, &EditorPanel::HupInverted_Click},
        {m_ui.HW1, &EditorPanel::HW1_Click},
        {m_ui.HW2N, &EditorPanel::HW2N_Click},
        {m_ui.HW2W, &EditorPanel::HW2W_Click},
        {m_ui.HW3, &EditorPanel::HW3_Click},
        {m_ui.HW4, &EditorPanel::HW4_Click},
        {m_ui.HeadST, &EditorPanel::HeadST_Click},
        {m_ui.HeadHS, &EditorPanel::HeadHS_Click},
        {m_ui.HeadLV, &EditorPanel::HeadLV_Click},
        {m_ui.StrobeRohm, &EditorPanel::StrobeRohm_Click},
        {m_ui.StrobeKyo, &EditorPanel::StrobeKyo_Click},
        {m_ui.ConfUser, &EditorPanel::ConfUser_Click},
        {m_ui.ConfRes, &EditorPanel::ConfRes_Click},
        {m_ui.IdUser, &EditorPanel::IdUser_Click},
        {m_ui.IdAuto, &EditorPanel::IdAuto_Click},
    };
    for (const Option &option : std::as_const(m_options))
        connect(option.button, &QRadioButton::clicked, this, option.handler);
}

QList<QRadioButton *> EditorPanel::editableOptions() const
{
    return {m_ui.Voltage5, m_ui.Voltage3, m_ui.MechaStd, m_ui.MechaTAV, m_ui.Step1,
            m_ui.Steps2, m_ui.StepperNormal, m_ui.StepperInverted, m_ui.HupNormal,
            m_ui.HupInverted, m_ui.HW1, m_ui.HW2N, m_ui.HW2W, m_ui.HW3, m_ui.HW4,
            m_ui.HeadST, m_ui.HeadHS, m_ui.HeadLV, m_ui.StrobeRohm, m_ui.StrobeKyo};
}

QList<QRadioButton *> EditorPanel::editorOptions() const
{
    return QList<QRadioButton *>{m_ui.ModePNX, m_ui.ModeChipset} + editableOptions();
}

void EditorPanel::resetFields()
{
    const qint16 printerMode = m_fields.PrinterMode;
    m_fields = EditorFields{};
    m_fields.PrinterMode = printerMode;
}

void EditorPanel::clearOptions()
{
    // An auto-exclusive radio button refuses to be unchecked while it is the checked one
    // of its group; lifting the exclusivity for the moment lets it go.
    for (QRadioButton *option : editorOptions()) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

void EditorPanel::selectOption(QRadioButton *option)
{
    option->setChecked(true);
    for (const Option &candidate : std::as_const(m_options)) {
        if (candidate.button == option) {
            (this->*candidate.handler)();
            return;
        }
    }
}

QRadioButton *EditorPanel::optionFor(qint16 EditorFields::*field, qint16 code) const
{
    struct Shown
    {
        qint16 EditorFields::*field;
        qint16 code;
        QRadioButton *option;
    };
    const Shown table[] = {
        {&EditorFields::PrinterMode, 1, m_ui.ModeChipset},
        {&EditorFields::PrinterMode, 0, m_ui.ModePNX},
        {&EditorFields::LogicVoltage, 1, m_ui.Voltage5},
        {&EditorFields::LogicVoltage, 0, m_ui.Voltage3},
        {&EditorFields::Mechanism, 1, m_ui.MechaStd},
        {&EditorFields::Mechanism, 0, m_ui.MechaTAV},
        {&EditorFields::MotorSteps, 1, m_ui.Step1},
        {&EditorFields::MotorSteps, 0, m_ui.Steps2},
        {&EditorFields::MotorRotation, 0, m_ui.StepperNormal},
        {&EditorFields::MotorRotation, 1, m_ui.StepperInverted},
        {&EditorFields::HeadType, 0, m_ui.HeadLV},
        {&EditorFields::HeadType, 1, m_ui.HeadHS},
        {&EditorFields::HeadType, 2, m_ui.HeadST},
        {&EditorFields::StrobePolarity, 0, m_ui.StrobeRohm},
        {&EditorFields::StrobePolarity, 1, m_ui.StrobeKyo},
        {&EditorFields::HeadWidth, 0, m_ui.HW1},
        {&EditorFields::HeadWidth, 1, m_ui.HW2N},
        {&EditorFields::HeadWidth, 2, m_ui.HW2W},
        {&EditorFields::HeadWidth, 3, m_ui.HW3},
        {&EditorFields::HeadWidth, 4, m_ui.HW4},
        {&EditorFields::HeadUpPolarity, 0, m_ui.HupNormal},
        {&EditorFields::HeadUpPolarity, 1, m_ui.HupInverted},
    };
    for (const Shown &shown : table) {
        if (shown.field == field && shown.code == code)
            return shown.option;
    }
    return nullptr;
}

void EditorPanel::DecodeConfig(QStringView word)
{
    apply(::DecodeConfig(word));
}

void EditorPanel::apply(const DecodedConfig &decoded)
{
    // The decoded numbers first; each selection's handler then stores its own code, so
    // the fields end equal to what the panel shows wherever it shows something.
    m_fields = decoded.values;
    qint16 EditorFields::*const order[] = {
        &EditorFields::PrinterMode, &EditorFields::LogicVoltage, &EditorFields::Mechanism,
        &EditorFields::MotorSteps, &EditorFields::MotorRotation, &EditorFields::HeadType,
        &EditorFields::StrobePolarity, &EditorFields::HeadWidth, &EditorFields::HeadUpPolarity,
    };
    for (auto field : order) {
        const qint16 code = decoded.selected.*field;
        if (code == EditorFields::Undefined)
            continue;
        if (QRadioButton *option = optionFor(field, code))
            selectOption(option);
    }
}

void EditorPanel::selectSoftwareAndUser()
{
    selectOption(m_ui.ConfUser);
    selectOption(m_ui.IdUser);
    ConfUser_Click();
}

void EditorPanel::UpdateEditorState()
{
    if (m_ui.ConfRes->isChecked() || m_ui.ConfUser->isChecked()) {
        const bool editable = m_ui.ConfUser->isChecked();
        for (QRadioButton *option : editableOptions())
            option->setEnabled(editable);
    }
    if (m_ui.IdAuto->isChecked() || m_ui.IdUser->isChecked())
        m_ui.ConfigName->setEnabled(m_ui.IdUser->isChecked());
}

void EditorPanel::Voltage5_Click() { m_fields.LogicVoltage = 1; }
void EditorPanel::Voltage3_Click() { m_fields.LogicVoltage = 0; }
void EditorPanel::MechaStd_Click() { m_fields.Mechanism = 1; }
void EditorPanel::MechaTAV_Click() { m_fields.Mechanism = 0; }
void EditorPanel::Step1_Click() { m_fields.MotorSteps = 1; }
void EditorPanel::Steps2_Click() { m_fields.MotorSteps = 0; }
void EditorPanel::StepperNormal_Click() { m_fields.MotorRotation = 0; }
void EditorPanel::StepperInverted_Click() { m_fields.MotorRotation = 1; }
void EditorPanel::HupNormal_Click() { m_fields.HeadUpPolarity = 0; }
void EditorPanel::HupInverted_Click() { m_fields.HeadUpPolarity = 1; }
void EditorPanel::HW1_Click() { m_fields.HeadWidth = 0; }
void EditorPanel::HW2N_Click() { m_fields.HeadWidth = 1; }
void EditorPanel::HW2W_Click() { m_fields.HeadWidth = 2; }
void EditorPanel::HW3_Click() { m_fields.HeadWidth = 3; }
void EditorPanel::HW4_Click() { m_fields.HeadWidth = 4; }
void EditorPanel::HeadST_Click() { m_fields.HeadType = 2; }
void EditorPanel::HeadHS_Click() { m_fields.HeadType = 1; }
void EditorPanel::HeadLV_Click() { m_fields.HeadType = 0; }
void EditorPanel::StrobeRohm_Click() { m_fields.StrobePolarity = 0; }
void EditorPanel::StrobeKyo_Click() { m_fields.StrobePolarity = 1; }

void EditorPanel::ConfUser_Click() { UpdateEditorState(); }
void EditorPanel::ConfRes_Click() { UpdateEditorState(); }
void EditorPanel::IdUser_Click() { UpdateEditorState(); }
void EditorPanel::IdAuto_Click() { UpdateEditorState(); }
