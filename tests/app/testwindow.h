// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/appcontext.h"
#include "app/databasecommands.h"
#include "app/mainwindow.h"
#include "app/mechanismlistpanel.h"
#include "scriptedprompter.h"
#include "tests/common/files.h"

#include <QAction>
#include <QLabel>
#include <QTemporaryDir>

#include <memory>
#include <optional>

using Entry = QPair<QString, QString>;  // a name and its word

// The bytes of a database file holding entries, written here independently of the
// program's own writer.
QByteArray cdbBytes(const QList<Entry> &entries);
// A golden file under tests/data/app/.
QByteArray goldenFile(const QString &name);

// The main window as the program starts it, in a fresh start directory that is the
// current directory for the test's lifetime, with the scripted prompter, and default.cdb
// holding defaultCdb when given.
class TestWindow
{
public:
    explicit TestWindow(const std::optional<QByteArray> &defaultCdb = std::nullopt);
    ~TestWindow();

    ScriptedPrompter prompter;
    AppContext context{prompter};

    MainWindow &window() const { return *m_window; }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The control or menu entry with that objectName; fails the test when missing.
    template<class T = QWidget>
    T *get(const char *name) const
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("No control named %s", name);
        return found;
    }

    QString status() const { return m_window->statusText().text(); }
    // What the mechanism list shows, line by line, with the word each line carries.
    QList<Entry> entries() const;
    int selectedRow() const { return m_window->mechanismList().selectedRow(); }
    bool saved() const { return m_window->database().isDatabaseSaved(); }
    QString fileName() const { return m_window->database().databaseFileName(); }
    // The names of the selected options, in alphabetical order.
    QStringList checked() const;

    // A left click on the button or option, with the mouse.
    void click(const char *name);
    void trigger(const char *actionName) { get<QAction>(actionName)->trigger(); }
    // A click (press and release) on line row of the mechanism list.
    void clickRow(int row, Qt::MouseButton button = Qt::LeftButton);

private:
    QString m_previousDirectory;
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_window;
};
