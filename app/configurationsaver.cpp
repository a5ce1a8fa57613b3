// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/configurationsaver.h"

#include "app/appcontext.h"
#include "app/editorpanel.h"
#include "app/mechanismlistpanel.h"
#include "app/prompter.h"
#include "config/configword.h"

using namespace Qt::StringLiterals;

ConfigurationSaver::ConfigurationSaver(AppContext &context, EditorPanel &editor,
                                       MechanismListPanel &list, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_editor(editor)
    , m_list(list)
{
}

void ConfigurationSaver::saveConfiguration()
{
    Prompter &prompter = m_context.prompter();
    const EditorFields &fields = m_editor.fields();
    // Head-up polarity is checked last: saving it undefined would store a choice the
    // user never made.
    const struct
    {
        qint16 value;
        QString message;
    } checks[] = {
        {fields.LogicVoltage, u"Voltage is not defined !"_s},
        {fields.Mechanism, u"Mechanism type is not defined !"_s},
        {fields.MotorSteps, u"Steps per dotline is not defined !"_s},
        {fields.MotorRotation, u"Stepper sense is not defined !"_s},
        {fields.HeadType, u"Head type is not defined !"_s},
        {fields.StrobePolarity, u"Strobe polarity is not defined !"_s},
        {fields.HeadWidth, u"Head width is not defined !"_s},
        {fields.HeadUpPolarity, u"Head-up polarity is not defined !"_s},
    };
    for (const auto &check : checks) {
        if (check.value == EditorFields::Undefined) {
            prompter.message(check.message, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
            emit statusMessage(u"New configuration not created !"_s);
            return;
        }
    }

    const QString word = EncodeConfig(fields);

    if (m_editor.mechanismIdentity().isEmpty()) {
        prompter.message(u"Please enter a configuration name !"_s, Prompter::Icon::Exclamation,
                         Prompter::Buttons::Ok);
        return;
    }
    if (m_editor.mechanismIdentity().size() > MaxNameLength)
        m_editor.setMechanismIdentity(m_editor.mechanismIdentity().left(MaxNameLength));
    const QString name = m_editor.mechanismIdentity();

    MechanismList &list = m_context.mechanisms();
    const int existing = list.indexOfName(name);
    if (existing >= 0) {
        m_list.setSelectedRow(existing);
        const Prompter::Answer answer = prompter.message(
            u"Overwrite existing configuration <"_s + list.at(existing).name + u"> ?"_s,
            Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel);
        if (answer == Prompter::Answer::Ok)
            list.replaceAt(existing, {list.at(existing).name, word});
    } else {
        list.append({name, word});
        m_list.setSelectedRow(list.count() - 1);
    }
    emit modified();
}
