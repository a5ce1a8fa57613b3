// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>

class AppContext;
class DatabaseCommands;
class EditorPanel;
class QLabel;
namespace Ui { class MainWindowForm; }

// The mechanism list of the main window: the list view shows the names of the one MechanismList,
// whose records keep each name with its word. Selection, the "Database Edition" pop-up on
// a right-button release (or the Menu key, or Shift+F10), and the four buttons that
// analyse, delete and move the selected entry.
class MechanismListPanel final : public QObject
{
    Q_OBJECT

public:
    MechanismListPanel(Ui::MainWindowForm &ui, AppContext &context, EditorPanel &editor,
                       DatabaseCommands &database, QLabel &status, QObject *parent = nullptr);

    // The selected position, or -1.
    int selectedRow() const;
    // Selects row and runs showSelectedEntry, as a user's selection does.
    void setSelectedRow(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void showSelectedEntry();
    // The pop-up's entries: they act on the selected entry, if any.
    void analyseSelected();
    void deleteSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    // "Analyse current entry": the analysis, then the whole editor made editable.
    void analyseSelectedForEditing();

private:
    void mouseReleased(Qt::MouseButton button, QPoint globalPosition);
    // The pop-up asked for from the keyboard: shown under the selected entry, if any.
    void showMenuFromKeyboard();
    // The four buttons' check: false, after saying so, when nothing is selected.
    bool entrySelected();
    void clearSelection();

    Ui::MainWindowForm &m_ui;
    AppContext &m_context;
    EditorPanel &m_editor;
    DatabaseCommands &m_database;
    QLabel &m_status;
    bool m_selectingFromCode = false;
};
