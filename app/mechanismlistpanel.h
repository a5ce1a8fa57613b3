// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "database/entryword.h"

#include <QGroupBox>
#include <QPoint>

#include <memory>

class AppContext;
namespace Ui { class MechanismListPanelForm; }

// The "Mechanism database" column of the main window: the list view shows the names of
// the one MechanismList, whose records keep each name with its word. Selection, the
// request for the "Database Edition" pop-up on a right-button release (or the Menu key,
// or Shift+F10), and the four buttons that analyse, delete and move the selected entry.
class MechanismListPanel final : public QGroupBox
{
    Q_OBJECT

public:
    explicit MechanismListPanel(AppContext &context, QWidget *parent = nullptr);
    ~MechanismListPanel() override;

    // The selected position, or -1.
    int selectedRow() const;
    // Selects row and names it in the status bar, as a user's selection does.
    void setSelectedRow(int row);
    // The controls the keyboard reaches, in their order.
    QList<QWidget *> tabChain() const;

public slots:
    // The pop-up's entries: they act on the selected entry, if any.
    void analyseSelected();
    void deleteSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    // "Analyse current entry": the analysis, then the whole editor made editable.
    void analyseSelectedForEditing();

signals:
    void statusMessage(const QString &text);
    // The pop-up is wanted at that place on the screen.
    void menuRequested(QPoint globalPosition);
    // An entry was analysed: its name and word go to the editor.
    void entryAnalysed(const QString &name, const EntryWord &word);
    // "Analyse current entry" wants Software and User, so that the whole editor is editable.
    void editingRequested();
    // The list was edited (or an edit was offered), so that it counts as unsaved.
    void modified();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSelectedEntry();
    void mouseReleased(Qt::MouseButton button, QPoint globalPosition);
    // The pop-up asked for from the keyboard: shown under the selected entry, if any.
    void showMenuFromKeyboard();
    // The four buttons' check: false, after saying so, when nothing is selected.
    bool entrySelected();
    void clearSelection();

    std::unique_ptr<Ui::MechanismListPanelForm> m_ui;
    AppContext &m_context;
    bool m_selectingFromCode = false;
};
