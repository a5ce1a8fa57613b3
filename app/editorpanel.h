// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/chipmodes.h"
#include "config/configword.h"
#include "config/editorfields.h"

#include <QGroupBox>
#include <QList>
#include <QStringView>

#include <memory>

class QRadioButton;
namespace Ui { class EditorPanelForm; }

// The "Configuration editor" column of the main window: the mechanism identity box, the
// option groups that show and set the nine field values, and "Save configuration to
// database". Its state is the fields (what the options stand for) and the identity; the
// chipset column's modes lock parts of it. Every option carries state only through the
// setter of its field; selecting an option from code runs the same setter.
class EditorPanel final : public QGroupBox
{
    Q_OBJECT

public:
    explicit EditorPanel(QWidget *parent = nullptr);
    ~EditorPanel() override;

    const EditorFields &fields() const { return m_fields; }
    // The text of the mechanism identity box.
    QString mechanismIdentity() const;
    void setMechanismIdentity(const QString &name);

    // Start-up: the eight editable fields not defined.
    void resetFields();
    // Start-up: every option of the editor deselected, without running setters.
    void clearOptions();

    // Selects option and runs its setter, as a user's click does; works on disabled
    // options too. The Printer mode options have none.
    void selectOption(QRadioButton *option);
    // Shows a word: sets the nine fields and selects the options that show them.
    void showWord(QStringView word);

    // The twenty options that store a code, in the order the mode rules set them.
    QList<QRadioButton *> editableOptions() const;
    // The twenty-two options of the editor (the Printer mode ones included).
    QList<QRadioButton *> editorOptions() const;
    // The controls the keyboard reaches, in their order.
    QList<QWidget *> tabChain() const;

public slots:
    // The options are editable in the software mode, the identity box when the user
    // gives the identity; an unchosen mode leaves its part as it is.
    void applyModes(const ChipModes &modes);

    // One per field: the code the option clicked stands for.
    void setLogicVoltage(qint16 code);
    void setMechanism(qint16 code);
    void setMotorSteps(qint16 code);
    void setMotorRotation(qint16 code);
    void setHeadUpPolarity(qint16 code);
    void setHeadWidth(qint16 code);
    void setHeadType(qint16 code);
    void setStrobePolarity(qint16 code);

signals:
    // "Save configuration to database" was clicked.
    void saveRequested();

private:
    void apply(const DecodedConfig &decoded);

    using Setter = void (EditorPanel::*)(qint16);
    struct Option
    {
        QRadioButton *button;
        Setter setter;
        qint16 code;
    };
    // The option that shows code in a field, or nullptr (a code without an option).
    QRadioButton *optionFor(qint16 EditorFields::*field, qint16 code) const;

    std::unique_ptr<Ui::EditorPanelForm> m_ui;
    EditorFields m_fields;
    QList<Option> m_options;  // every option that stores a code
};
