// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class AppContext;
class DatabaseCommands;
class EditorPanel;
class MechanismListPanel;
class QLabel;
namespace Ui { class MainWindowForm; }

// "Save configuration to database": stores the editor's configuration in the mechanism
// list under the name in the identity box, as a new entry or over an entry of that name.
class ConfigurationSaver final : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxNameLength = 16;

    ConfigurationSaver(Ui::MainWindowForm &ui, AppContext &context, EditorPanel &editor,
                       MechanismListPanel &list, DatabaseCommands &database, QLabel &status,
                       QObject *parent = nullptr);

private slots:
    void saveConfiguration();

private:
    Ui::MainWindowForm &m_ui;
    AppContext &m_context;
    EditorPanel &m_editor;
    MechanismListPanel &m_list;
    DatabaseCommands &m_database;
    QLabel &m_status;
};
