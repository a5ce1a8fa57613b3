// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"
#include "config/editorfields.h"

#include <QList>
#include <QObject>
#include <QStringView>

class QRadioButton;
namespace Ui { class Form1; }

// The configuration editor of the main window: the nine field values, the option
// groups that show and set them, and the configuration-mode and identity-determination
// options that lock parts of the panel. Every option carries state only through its
// click handler; selecting an option from code runs the same handler.
class EditorPanel final : public QObject
{
    Q_OBJECT

public:
    explicit EditorPanel(Ui::Form1 &ui, QObject *parent = nullptr);

    const EditorFields &fields() const { return m_fields; }

    // Start-up: the eight editable fields not defined.
    void resetFields();
    // Start-up: every option of the editor frame deselected, without running handlers.
    void clearOptions();

    // Selects option (editor or mode option) and runs its click handler, as a user's
    // click does; works on disabled options too. The Printer mode options have none.
    void selectOption(QRadioButton *option);
    // Shows a word: sets the nine fields and selects the options that show them.
    void DecodeConfig(QStringView word);
    void apply(const DecodedConfig &decoded);
    // What "Analyse current entry" does after analysing: Software and User selected and
    // the Software rules applied, so the whole panel and the name box become editable.
    void selectSoftwareAndUser();

    // Enables the editor's options and the name box from the four mode options.
    void UpdateEditorState();

    // The twenty options that store a code, in the order UpdateEditorState sets them.
    QList<QRadioButton *> editableOptions() const;
    // The twenty-two options of the editor frame (the Printer mode ones included).
    QList<QRadioButton *> editorOptions() const;

private slots:
    void Voltage5_Click();
    void Voltage3_Click();
    void MechaStd_Click();
    void MechaTAV_Click();
    void Step1_Click();
    void Steps2_Click();
    void StepperNormal_Click();
    void StepperInverted_Click();
    void HupNormal_Click();
    void HupInverted_Click();
    void HW1_Click();
    void HW2N_Click();
    void HW2W_Click();
    void HW3_Click();
    void HW4_Click();
    void HeadST_Click();
    void HeadHS_Click();
    void HeadLV_Click();
    void StrobeRohm_Click();
    void StrobeKyo_Click();

    void ConfUser_Click();
    void ConfRes_Click();
    void IdUser_Click();
    void IdAuto_Click();

private:
    using Handler = void (EditorPanel::*)();
    struct Option
    {
        QRadioButton *button;
        Handler handler;
    };
    // The option that shows code in a field, or nullptr (a code without an option).
    QRadioButton *optionFor(qint16 EditorFields::*field, qint16 code) const;

    Ui::Form1 &m_ui;
    EditorFields m_fields;
    QList<Option> m_options;  // every option with a click handler
};
