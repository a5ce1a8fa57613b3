// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/chipmodes.h"
#include "config/configword.h"
#include "config/editorfields.h"

#include <QGroupBox>
#include <QList>
#include <QStringView>

#include <functional>
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
    void showWord(ConfigWord word);
    // The same for what a word decodes to (a file's word need not spell one).
    void showFields(const DecodedFields &decoded);

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

    // One per field: the value the option clicked stands for.
    void setLogicVoltage(LogicVoltage value);
    void setMechanism(Mechanism value);
    void setMotorSteps(MotorSteps value);
    void setMotorRotation(MotorRotation value);
    void setHeadUpPolarity(HeadUpPolarity value);
    void setHeadWidth(HeadWidth value);
    void setHeadType(HeadType value);
    void setStrobePolarity(StrobePolarity value);

signals:
    // "Save configuration to database" was clicked.
    void saveRequested();

private:
    // An option of the editor: what it stores when selected (nothing for the Printer
    // mode ones) and whether it shows the value a field holds.
    struct Option
    {
        QRadioButton *button;
        std::function<void(EditorPanel &)> store;
        std::function<bool(const EditorFields &)> shows;
    };
    template<class Value>
    static Option makeOption(QRadioButton *button, std::optional<Value> EditorFields::*field,
                             void (EditorPanel::*setter)(Value), Value value);

    std::unique_ptr<Ui::EditorPanelForm> m_ui;
    EditorFields m_fields;
    QList<Option> m_options;  // every option, in the word's order of fields
};
