// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mechanismlistpanel.h"

#include "app/appcontext.h"
#include "app/databasecommands.h"
#include "app/editorpanel.h"
#include "app/prompter.h"

#include "ui_mainwindow.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

MechanismListPanel::MechanismListPanel(Ui::Form1 &ui, AppContext &context, EditorPanel &editor,
                                       DatabaseCommands &database, QLabel &status,
                                       QObject *parent)
    : QObject(parent)
    , m_ui(ui)
    , m_context(context)
    , m_editor(editor)
    , m_database(database)
    , m_status(status)
{
    // The words stay in the model's records, beside their names: no second, hidden list
    // of them is needed, and none is there for a screen reader to find.
    m_ui.List1->setModel(&m_context.mechanisms());
    // Mouse presses are filtered on the viewport: a right-button press must not move the
    // selection, and the pop-up opens on the release. The list itself gets the keys that
    // open the pop-up from the keyboard.
    m_ui.List1->viewport()->installEventFilter(this);
    m_ui.List1->installEventFilter(this);

    connect(m_ui.List1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selectingFromCode && selectedRow() >= 0)
            List1_Click();
    });
    // A click on the entry that is already selected reports it again.
    connect(m_ui.List1, &QListView::clicked, this, &MechanismListPanel::List1_Click);

    connect(m_ui.dbAnalyse, &QAction::triggered, this, &MechanismListPanel::dbAnalyse_Click);
    connect(m_ui.dbDelete, &QAction::triggered, this, &MechanismListPanel::dbDelete_Click);
    connect(m_ui.dbMoveup, &QAction::triggered, this, &MechanismListPanel::dbMoveup_Click);
    connect(m_ui.dbMovedown, &QAction::triggered, this, &MechanismListPanel::dbMovedown_Click);
    connect(m_ui.DbbAnalyse, &QPushButton::clicked, this, &MechanismListPanel::DbbAnalyse_Click);
    connect(m_ui.DbbDelete, &QPushButton::clicked, this, &MechanismListPanel::DbbDelete_Click);
    connect(m_ui.DbUp, &QToolButton::clicked, this, &MechanismListPanel::DbUp_Click);
    connect(m_ui.DbDown, &QToolButton::clicked, this, &MechanismListPanel::DbDown_Click);
}

int MechanismListPanel::selectedRow() const
{
    const QModelIndexList rows = m_ui.List1->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MechanismListPanel::setSelectedRow(int row)
{
    {
        const QScopedValueRollback guard(m_selectingFromCode, true);
        const QModelIndex index = m_context.mechanisms().index(row);
        m_ui.List1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_ui.List1->scrollTo(index);
    }
    // Run here rather than from the selection signal: after a move the entry may already
    // be selected at its new place, and the status bar must still show it.
    List1_Click();
}

void MechanismListPanel::clearSelection()
{
    // Clearing the current index too keeps the view from selecting a neighbour when the
    // selected entry is removed.
    m_ui.List1->selectionModel()->clear();
}

bool MechanismListPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.List1->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
                return true;
            break;
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            List1_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
            break;
        }
        default:
            break;
        }
    } else if (watched == m_ui.List1) {
        // The Menu key (which the window system hands over as a context menu request) and
        // Shift+F10, as elsewhere on the desktop.
        const bool menuKey = event->type() == QEvent::ContextMenu
            && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard;
        const bool shiftF10 = event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->keyCombination()
                   == QKeyCombination(Qt::ShiftModifier, Qt::Key_F10);
        if (menuKey || shiftF10) {
            List1_KeyboardMenu();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MechanismListPanel::List1_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_status.setText(u"Configuration selected : "_s + m_context.mechanisms().at(row).name);
}

void MechanismListPanel::List1_MouseUp(Qt::MouseButton button, QPoint globalPosition)
{
    if (button == Qt::RightButton && selectedRow() >= 0)
        m_ui.dbOps->popup(globalPosition);
}

void MechanismListPanel::List1_KeyboardMenu()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    // Under the selected entry, which the pop-up's entries act on, wherever the mouse is.
    const QRect line = m_ui.List1->visualRect(m_context.mechanisms().index(row));
    m_ui.dbOps->popup(m_ui.List1->viewport()->mapToGlobal(line.bottomLeft()));
}

bool MechanismListPanel::entrySelected()
{
    if (selectedRow() >= 0)
        return true;
    m_context.prompter().message(u"Please select a database entry first !"_s,
                                 Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return false;
}

void MechanismListPanel::dbAnalyse_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const MechanismEntry entry = m_context.mechanisms().at(row);
    m_ui.ConfigName->setText(entry.name);
    m_editor.DecodeConfig(entry.word);
}

void MechanismListPanel::DbbAnalyse_Click()
{
    if (!entrySelected())
        return;
    dbAnalyse_Click();
    m_editor.selectSoftwareAndUser();
}

void MechanismListPanel::dbDelete_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString name = m_context.mechanisms().at(row).name;
    const Prompter::Answer answer = m_context.prompter().message(
        u"This will delete configuration <"_s + name + u"> form the database !"_s,
        Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel);
    if (answer == Prompter::Answer::Ok) {
        clearSelection();
        m_context.mechanisms().removeAt(row);
    }
    m_database.markModified();
}

void MechanismListPanel::DbbDelete_Click()
{
    if (entrySelected())
        dbDelete_Click();
}

void MechanismListPanel::dbMoveup_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    if (row >= 1) {
        m_context.mechanisms().exchangeWithNext(row - 1);
        setSelectedRow(row - 1);
    }
    m_database.markModified();
}

void MechanismListPanel::DbUp_Click()
{
    if (entrySelected())
        dbMoveup_Click();
}

void MechanismListPanel::dbMovedown_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    if (row < m_context.mechanisms().count() - 1) {
        m_context.mechanisms().exchangeWithNext(row);
        setSelectedRow(row + 1);
    }
    m_database.markModified();
}

void MechanismListPanel::DbDown_Click()
{
    if (entrySelected())
        dbMovedown_Click();
}
