// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class AppContext;
class EditorPanel;
class MechanismListPanel;

// "Save configuration to database": stores the editor's configuration in the mechanism
// list under the name in the identity box, as a new entry or over an entry of that name.
class ConfigurationSaver final : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxNameLength = 16;

    ConfigurationSaver(AppContext &context, EditorPanel &editor, MechanismListPanel &list,
                       QObject *parent = nullptr);

public slots:
    void saveConfiguration();

signals:
    void statusMessage(const QString &text);
    // The list was edited (or an overwrite was offered), so that it counts as unsaved.
    void modified();

private:
    AppContext &m_context;
    EditorPanel &m_editor;
    MechanismListPanel &m_list;
};
