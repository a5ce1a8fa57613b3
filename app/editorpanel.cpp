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

    const auto printerMode = [](QRadioButton *button, PrinterMode value) {
        return Option{button, {}, [value](const EditorFields &f) { return f.printerMode == value; }};
    };
    m_options = {
        printerMode(m_ui->chipsetModeOption, PrinterMode::Chipset),
        printerMode(m_ui->pnxModeOption, PrinterMode::Pnx),
        makeOption(m_ui->voltage5Option, &EditorFields::logicVoltage, &EditorPanel::setLogicVoltage, LogicVoltage::Volts5),
        makeOption(m_ui->voltage3Option, &EditorFields::logicVoltage, &EditorPanel::setLogicVoltage, LogicVoltage::Volts3_3),
        makeOption(m_ui->standardMechanismOption, &EditorFields::mechanism, &EditorPanel::setMechanism, Mechanism::Standard),
        makeOption(m_ui->tavMechanismOption, &EditorFields::mechanism, &EditorPanel::setMechanism, Mechanism::Tav),
        makeOption(m_ui->oneStepOption, &EditorFields::motorSteps, &EditorPanel::setMotorSteps, MotorSteps::OnePerDotLine),
        makeOption(m_ui->twoStepsOption, &EditorFields::motorSteps, &EditorPanel::setMotorSteps, MotorSteps::TwoPerDotLine),
        makeOption(m_ui->normalRotationOption, &EditorFields::motorRotation, &EditorPanel::setMotorRotation, MotorRotation::Normal),
        makeOption(m_ui->invertedRotationOption, &EditorFields::motorRotation, &EditorPanel::setMotorRotation, MotorRotation::Inverted),
        makeOption(m_ui->lowVoltageHeadOption, &EditorFields::headType, &EditorPanel::setHeadType, HeadType::Lv),
        makeOption(m_ui->highSpeedHeadOption, &EditorFields::headType, &EditorPanel::setHeadType, HeadType::Hs),
        makeOption(m_ui->standardHeadOption, &EditorFields::headType, &EditorPanel::setHeadType, HeadType::St),
        makeOption(m_ui->positiveStrobeOption, &EditorFields::strobePolarity, &EditorPanel::setStrobePolarity, StrobePolarity::Positive),
        makeOption(m_ui->negativeStrobeOption, &EditorFields::strobePolarity, &EditorPanel::setStrobePolarity, StrobePolarity::Negative),
        makeOption(m_ui->width1InchOption, &EditorFields::headWidth, &EditorPanel::setHeadWidth, HeadWidth::OneInch),
        makeOption(m_ui->width2InchNormalOption, &EditorFields::headWidth, &EditorPanel::setHeadWidth, HeadWidth::TwoInchNormal),
        makeOption(m_ui->width2InchWideOption, &EditorFields::headWidth, &EditorPanel::setHeadWidth, HeadWidth::TwoInchWide),
        makeOption(m_ui->width3InchOption, &EditorFields::headWidth, &EditorPanel::setHeadWidth, HeadWidth::ThreeInch),
        makeOption(m_ui->width4InchOption, &EditorFields::headWidth, &EditorPanel::setHeadWidth, HeadWidth::FourInch),
        makeOption(m_ui->normalHeadUpOption, &EditorFields::headUpPolarity, &EditorPanel::setHeadUpPolarity, HeadUpPolarity::Normal),
        makeOption(m_ui->invertedHeadUpOption, &EditorFields::headUpPolarity, &EditorPanel::setHeadUpPolarity, HeadUpPolarity::Inverted),
    };
    for (const Option &option : std::as_const(m_options)) {
        if (option.store)
            connect(option.button, &QRadioButton::clicked, this, [this, store = option.store] { store(*this); });
    }
}

template<class Value>
EditorPanel::Option EditorPanel::makeOption(QRadioButton *button, std::optional<Value> EditorFields::*field,
                                        void (EditorPanel::*setter)(Value), Value value)
{
    return {button, [setter, value](EditorPanel &panel) { (panel.*setter)(value); },
            [field, value](const EditorFields &f) { return f.*field == value; }};
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
    const PrinterMode printerMode = m_fields.printerMode;
    m_fields = EditorFields{};
    m_fields.printerMode = printerMode;
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
            if (candidate.store)
                candidate.store(*this);
            return;
        }
    }
}

void EditorPanel::showWord(ConfigWord word)
{
    showFields(word.decoded());
}

void EditorPanel::showFields(const DecodedFields &decoded)
{
    // The decoded numbers first; each selection's setter then stores its own value, so
    // the fields end equal to what the panel shows wherever it shows something.
    m_fields = decoded.values;
    for (const Option &option : std::as_const(m_options)) {
        if (option.shows(decoded.selected))
            selectOption(option.button);
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

void EditorPanel::setLogicVoltage(LogicVoltage value) { m_fields.logicVoltage = value; }
void EditorPanel::setMechanism(Mechanism value) { m_fields.mechanism = value; }
void EditorPanel::setMotorSteps(MotorSteps value) { m_fields.motorSteps = value; }
void EditorPanel::setMotorRotation(MotorRotation value) { m_fields.motorRotation = value; }
void EditorPanel::setHeadUpPolarity(HeadUpPolarity value) { m_fields.headUpPolarity = value; }
void EditorPanel::setHeadWidth(HeadWidth value) { m_fields.headWidth = value; }
void EditorPanel::setHeadType(HeadType value) { m_fields.headType = value; }
void EditorPanel::setStrobePolarity(StrobePolarity value) { m_fields.strobePolarity = value; }
