// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompter.h"
#include "database/databasefile.h"

#include <QObject>
#include <QString>

class AppContext;

// The "Database" menu: new, open, save and save as of configuration database files,
// the start-up load of default.cdb, Exit, and the question asked before unsaved changes
// to the mechanism list are thrown away. Owns DatabaseSaved and DatabaseFileName.
class DatabaseCommands final : public QObject
{
    Q_OBJECT

public:
    explicit DatabaseCommands(AppContext &context, QObject *parent = nullptr);

    // True while the mechanism list has no unsaved changes.
    bool isDatabaseSaved() const { return m_saved; }
    void setDatabaseSaved(bool saved) { m_saved = saved; }
    // Every edit of the list calls this, so that New, Open and quitting ask first.
    void markModified() { m_saved = false; }
    // The current database file, empty when the list has none.
    const QString &databaseFileName() const { return m_fileName; }

    // The last step of the main window's load: default.cdb from the start directory, or
    // the built-in list. Reports in the status bar only.
    void loadDefaultDatabase();

    // The question on closing the main window: true when it may close.
    bool mayClose();

signals:
    // Exit was chosen and agreed to: the program ends without asking again.
    void endProgramRequested();
    void statusMessage(const QString &text);

public slots:
    void newDatabase();
    void openDatabase();
    void saveDatabase();
    void saveDatabaseAs();
    void exitProgram();

private:
    // True when there are no unsaved changes or the user agrees to lose them.
    bool mayDiscard(const QString &question);
    Prompter::FileRequest fileRequest(const QString &title, Prompter::FileRequest::Style style,
                                      bool overwritePrompt) const;
    // Refuses a list that no file can hold, with a message; true when it fits.
    bool fitsInFile();
    // Writes entries to path; on failure says why and gives false. A read-only file is
    // refused with the message and status text of Save as.
    bool write(const QString &path, const QList<MechanismEntry> &entries);
    void exclaim(const QString &text);

    AppContext &m_context;
    bool m_saved = true;
    QString m_fileName;
};
