// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/editorpanel.h"

#include "ui_editorpanel.h"

#include <QFontMetrics>

EditorPanel::EditorPanel(QWidget *parent)
    : QGroupBox(parent)
    , m_ui(std::make_unique<Ui::EditorPanelForm>())
{
    m_ui->setupUi(this);
    // Follows the font, so the columns keep their proportions at any size.
    m_ui->identityEdit->setMinimumWidth(fontMetrics().horizontalAdvance(u'M') * 16);
    connect(m_ui->saveConfigurationButton, &QPushButton::clicked, this, &EditorPanel::saveRequested);

    m_options = {
        {m_ui->voltage5Option, &EditorPanel::setLogicVoltage, 1},
        {m_ui->voltage3Option, &EditorPanel::setLogicVoltage, 0},
        {m_ui->standardMechanismOption, &EditorPanel::setMechanism, 1},
        {m_ui->tavMechanismOption, &EditorPanel::setMechanism, 0},
        {m_ui->oneStepOption, &EditorPanel::setMotorSteps, 1},
        {m_ui->twoStepsOption, &EditorPanel::setMotorSteps, 0},
        {m_ui->normalRotationOption, &EditorPanel::setMotorRotation, 0},
        {m_ui->invertedRotationOption, &EditorPanel::setMotorRotation, 1},
        {m_ui->normalHeadUpOption, &EditorPanel::setHeadUpPolarity, 0},
        {m_ui->invertedHeadUpOption, &EditorPanel::setHeadUpPolarity, 1},
        {m_ui->width1InchOption, &EditorPanel::setHeadWidth, 0},
        {m_ui->width2InchNormalOption, &EditorPanel::setHeadWidth, 1},
        {m_ui->width2InchWideOption, &EditorPanel::setHeadWidth, 2},
        {m_ui->width3InchOption, &EditorPanel::setHeadWidth, 3},
        {m_ui->width4InchOption, &EditorPanel::setHeadWidth, 4},
        {m_ui->standardHeadOption, &EditorPanel::setHeadType, 2},
        {m_ui->highSpeedHeadOption, &EditorPanel::setHeadType, 1},
        {m_ui->lowVoltageHeadOption, &EditorPanel::setHeadType, 0},
        {m_ui->positiveStrobeOption, &EditorPanel::setStrobePolarity, 0},
        {m_ui->negativeStrobeOption, &EditorPanel::setStrobePolarity, 1},
    };
    for (const Option &option : std::as_const(m_options))
        connect(option.button, &QRadioButton::clicked, this, [this, option] { (this->*option.setter)(option.code); });
}

EditorPanel::~EditorPanel() = default;

QList<QRadioButton *> EditorPanel::editableOptions() const
{
    return {m_ui->voltage5Option, m_ui->voltage3Option, m_ui->standardMechanismOption, m_ui->tavMechanismOption, m_ui->oneStepOption,
            m_ui->twoStepsOption, m_ui->normalRotationOption, m_ui->invertedRotationOption, m_ui->normalHeadUpOption,
            m_ui->invertedHeadUpOption, m_ui->width1InchOption, m_ui->width2InchNormalOption, m_ui->width2InchWideOption, m_ui->width3InchOption, m_ui->width4InchOption,
            m_ui->standardHeadOption, m_ui->highSpeedHeadOption, m_ui->lowVoltageHeadOption, m_ui->positiveStrobeOption, m_ui->negativeStrobeOption};
}

QList<QWidget *> EditorPanel::tabChain() const
{
    return {m_ui->identityEdit, m_ui->saveConfigurationButton};
}

QString EditorPanel::mechanismIdentity() const
{
    return m_ui->identityEdit->text();
}

void EditorPanel::setMechanismIdentity(const QString &name)
{
    m_ui->identityEdit->setText(name);
}

QList<QRadioButton *> EditorPanel::editorOptions() const
{
    return QList<QRadioButton *>{m_ui->pnxModeOption, m_ui->chipsetModeOption} + editableOptions();
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
            (this->*candidate.setter)(candidate.code);
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
        {&EditorFields::PrinterMode, 1, m_ui->chipsetModeOption},
        {&EditorFields::PrinterMode, 0, m_ui->pnxModeOption},
        {&EditorFields::LogicVoltage, 1, m_ui->voltage5Option},
        {&EditorFields::LogicVoltage, 0, m_ui->voltage3Option},
        {&EditorFields::Mechanism, 1, m_ui->standardMechanismOption},
        {&EditorFields::Mechanism, 0, m_ui->tavMechanismOption},
        {&EditorFields::MotorSteps, 1, m_ui->oneStepOption},
        {&EditorFields::MotorSteps, 0, m_ui->twoStepsOption},
        {&EditorFields::MotorRotation, 0, m_ui->normalRotationOption},
        {&EditorFields::MotorRotation, 1, m_ui->invertedRotationOption},
        {&EditorFields::HeadType, 0, m_ui->lowVoltageHeadOption},
        {&EditorFields::HeadType, 1, m_ui->highSpeedHeadOption},
        {&EditorFields::HeadType, 2, m_ui->standardHeadOption},
        {&EditorFields::StrobePolarity, 0, m_ui->positiveStrobeOption},
        {&EditorFields::StrobePolarity, 1, m_ui->negativeStrobeOption},
        {&EditorFields::HeadWidth, 0, m_ui->width1InchOption},
        {&EditorFields::HeadWidth, 1, m_ui->width2InchNormalOption},
        {&EditorFields::HeadWidth, 2, m_ui->width2InchWideOption},
        {&EditorFields::HeadWidth, 3, m_ui->width3InchOption},
        {&EditorFields::HeadWidth, 4, m_ui->width4InchOption},
        {&EditorFields::HeadUpPolarity, 0, m_ui->normalHeadUpOption},
        {&EditorFields::HeadUpPolarity, 1, m_ui->invertedHeadUpOption},
    };
    for (const Shown &shown : table) {
        if (shown.field == field && shown.code == code)
            return shown.option;
    }
    return nullptr;
}

void EditorPanel::showWord(QStringView word)
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

void EditorPanel::applyModes(const ChipModes &modes)
{
    if (modes.software) {
        for (QRadioButton *option : editableOptions())
            option->setEnabled(*modes.software);
    }
    if (modes.userIdentity)
        m_ui->identityEdit->setEnabled(*modes.userIdentity);
}

void EditorPanel::setLogicVoltage(qint16 code) { m_fields.LogicVoltage = code; }
void EditorPanel::setMechanism(qint16 code) { m_fields.Mechanism = code; }
void EditorPanel::setMotorSteps(qint16 code) { m_fields.MotorSteps = code; }
void EditorPanel::setMotorRotation(qint16 code) { m_fields.MotorRotation = code; }
void EditorPanel::setHeadUpPolarity(qint16 code) { m_fields.HeadUpPolarity = code; }
void EditorPanel::setHeadWidth(qint16 code) { m_fields.HeadWidth = code; }
void EditorPanel::setHeadType(qint16 code) { m_fields.HeadType = code; }
void EditorPanel::setStrobePolarity(qint16 code) { m_fields.StrobePolarity = code; }
