// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"
#include "config/editorfields.h"

#include <QList>
#include <QObject>
#include <QStringView>

class QRadioButton;
namespace Ui { class MainWindowForm; }

// The configuration editor of the main window: the nine field values, the option
// groups that show and set them, and the configuration-mode and identity-determination
// options that lock parts of the panel. Every option carries state only through the
// setter of its field; selecting an option from code runs the same setter.
class EditorPanel final : public QObject
{
    Q_OBJECT

public:
    explicit EditorPanel(Ui::MainWindowForm &ui, QObject *parent = nullptr);

    const EditorFields &fields() const { return m_fields; }

    // Start-up: the eight editable fields not defined.
    void resetFields();
    // Start-up: every option of the editor frame deselected, without running handlers.
    void clearOptions();

    // Selects option (editor or mode option) and runs its click handler, as a user's
    // click does; works on disabled options too. The Printer mode options have none.
    void selectOption(QRadioButton *option);
    // Shows a word: sets the nine fields and selects the options that show them.
    void showWord(QStringView word);
    void apply(const DecodedConfig &decoded);
    // What "Analyse current entry" does after analysing: Software and User selected and
    // the Software rules applied, so the whole panel and the name box become editable.
    void selectSoftwareAndUser();

    // Enables the editor's options and the name box from the four mode options.
    void updateEditorState();

    // The twenty options that store a code, in the order updateEditorState sets them.
    QList<QRadioButton *> editableOptions() const;
    // The twenty-two options of the editor frame (the Printer mode ones included).
    QList<QRadioButton *> editorOptions() const;

public slots:
    // One per field: the code the option clicked stands for.
    void setLogicVoltage(qint16 code);
    void setMechanism(qint16 code);
    void setMotorSteps(qint16 code);
    void setMotorRotation(qint16 code);
    void setHeadUpPolarity(qint16 code);
    void setHeadWidth(qint16 code);
    void setHeadType(qint16 code);
    void setStrobePolarity(qint16 code);

private:
    using Setter = void (EditorPanel::*)(qint16);
    struct Option
    {
        QRadioButton *button;
        Setter setter;
        qint16 code;
    };
    // The four configuration-mode and identity-determination options.
    QList<QRadioButton *> modeOptions() const;
    // The option that shows code in a field, or nullptr (a code without an option).
    QRadioButton *optionFor(qint16 EditorFields::*field, qint16 code) const;

    Ui::MainWindowForm &m_ui;
    EditorFields m_fields;
    QList<Option> m_options;  // every option that stores a code
};
