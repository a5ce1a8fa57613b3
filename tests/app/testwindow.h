#pragma once

#include "app/appcontext.h"
#include "app/mainwindow.h"
#include "scriptedprompter.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QAbstractButton;
class QAction;

using Entry = QPair<QString, QString>;

// The bytes of a database file holding entries, written here independently of the
// program's own writer.
QByteArray cdbBytes(const QList<Entry> &entries);
// A golden file under tests/data/app/.
QByteArray goldenFile(const QString &name);
// The 41 built-in entries, as the program must show them.
QList<Entry> builtInEntries();

// The main window as the program starts it, in a fresh start directory that is the
// current directory for the test's lifetime, with the scripted prompter.
class TestWindow
{
public:
    enum class DefaultFile { None, Directory };
    explicit TestWindow(std::optional<QByteArray> defaultCdb = std::nullopt,
                        DefaultFile special = DefaultFile::None);
    ~TestWindow();

    ScriptedPrompter prompter;
    AppContext context{prompter};

    MainWindow &window() const { return *m_window; }
    QString dir() const { return m_dir.path(); }
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

    QString status() const;
    // What List1 and List2 show, line by line.
    QStringList names() const;
    QStringList words() const;
    QList<Entry> entries() const;
    int selectedRow() const;
    bool saved() const;
    QString fileName() const;

    // A left click on the button or option, with the mouse.
    void click(const char *name);
    void trigger(const char *actionName);
    // A left click on line row of List1.
    void clickRow(int row);
    // A right click (press and release) on line row of List1.
    void rightClickRow(int row);

private:
    QString m_previousDirectory;
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_window;
};
