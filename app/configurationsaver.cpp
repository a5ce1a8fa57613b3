// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/configurationsaver.h"

#include "app/appcontext.h"
#include "app/editorpanel.h"
#include "app/mechanismlistpanel.h"
#include "app/prompter.h"
#include "config/configword.h"
#include "core/logging.h"

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
    qCDebug(lcUi, "Save configuration to database");
    Prompter &prompter = m_context.prompter();
    const EditorFields &fields = m_editor.fields();
    // Head-up polarity is checked last: saving it undefined would store a choice the
    // user never made.
    const struct
    {
        bool defined;
        const char *message;
    } checks[] = {
        {fields.logicVoltage.has_value(), QT_TR_NOOP("Voltage is not defined !")},
        {fields.mechanism.has_value(), QT_TR_NOOP("Mechanism type is not defined !")},
        {fields.motorSteps.has_value(), QT_TR_NOOP("Steps per dotline is not defined !")},
        {fields.motorRotation.has_value(), QT_TR_NOOP("Stepper sense is not defined !")},
        {fields.headType.has_value(), QT_TR_NOOP("Head type is not defined !")},
        {fields.strobePolarity.has_value(), QT_TR_NOOP("Strobe polarity is not defined !")},
        {fields.headWidth.has_value(), QT_TR_NOOP("Head width is not defined !")},
        {fields.headUpPolarity.has_value(), QT_TR_NOOP("Head-up polarity is not defined !")},
    };
    for (const auto &check : checks) {
        if (!check.defined) {
            prompter.message(tr(check.message), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
            emit statusMessage(tr("New configuration not created !"));
            return;
        }
    }

    const ConfigWord word = ConfigWord::fromFields(fields);

    if (m_editor.mechanismIdentity().isEmpty()) {
        prompter.message(tr("Please enter a configuration name !"), Prompter::Icon::Exclamation,
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
            tr("Overwrite existing configuration <%1> ?").arg(list.at(existing).name),
            Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel);
        if (answer == Prompter::Answer::Ok)
            list.replaceAt(existing, {list.at(existing).name, word});
    } else {
        list.append({name, word});
        m_list.setSelectedRow(list.count() - 1);
    }
    emit modified();
}
