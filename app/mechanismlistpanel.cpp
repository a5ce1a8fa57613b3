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

MechanismListPanel::MechanismListPanel(Ui::MainWindowForm &ui, AppContext &context, EditorPanel &editor,
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
    m_ui.mechanismList->setModel(&m_context.mechanisms());
    // Mouse presses are filtered on the viewport: a right-button press must not move the
    // selection, and the pop-up opens on the release. The list itself gets the keys that
    // open the pop-up from the keyboard.
    m_ui.mechanismList->viewport()->installEventFilter(this);
    m_ui.mechanismList->installEventFilter(this);

    connect(m_ui.mechanismList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selectingFromCode && selectedRow() >= 0)
            showSelectedEntry();
    });
    // A click on the entry that is already selected reports it again.
    connect(m_ui.mechanismList, &QListView::clicked, this, &MechanismListPanel::showSelectedEntry);

    connect(m_ui.analyseAction, &QAction::triggered, this, &MechanismListPanel::analyseSelected);
    connect(m_ui.deleteAction, &QAction::triggered, this, &MechanismListPanel::deleteSelected);
    connect(m_ui.moveUpAction, &QAction::triggered, this, &MechanismListPanel::moveSelectedUp);
    connect(m_ui.moveDownAction, &QAction::triggered, this, &MechanismListPanel::moveSelectedDown);
    // The buttons say so when nothing is selected; the pop-up, shown only over a selection,
    // has no need to.
    connect(m_ui.analyseEntryButton, &QPushButton::clicked, this, &MechanismListPanel::analyseSelectedForEditing);
    connect(m_ui.deleteEntryButton, &QPushButton::clicked, this, [this] {
        if (entrySelected())
            deleteSelected();
    });
    connect(m_ui.moveEntryUpButton, &QToolButton::clicked, this, [this] {
        if (entrySelected())
            moveSelectedUp();
    });
    connect(m_ui.moveEntryDownButton, &QToolButton::clicked, this, [this] {
        if (entrySelected())
            moveSelectedDown();
    });
}

int MechanismListPanel::selectedRow() const
{
    const QModelIndexList rows = m_ui.mechanismList->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MechanismListPanel::setSelectedRow(int row)
{
    {
        const QScopedValueRollback guard(m_selectingFromCode, true);
        const QModelIndex index = m_context.mechanisms().index(row);
        m_ui.mechanismList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_ui.mechanismList->scrollTo(index);
    }
    // Run here rather than from the selection signal: after a move the entry may already
    // be selected at its new place, and the status bar must still show it.
    showSelectedEntry();
}

void MechanismListPanel::clearSelection()
{
    // Clearing the current index too keeps the view from selecting a neighbour when the
    // selected entry is removed.
    m_ui.mechanismList->selectionModel()->clear();
}

bool MechanismListPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.mechanismList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
                return true;
            break;
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            mouseReleased(mouse->button(), mouse->globalPosition().toPoint());
            break;
        }
        default:
            break;
        }
    } else if (watched == m_ui.mechanismList) {
        // The Menu key (which the window system hands over as a context menu request) and
        // Shift+F10, as elsewhere on the desktop.
        const bool menuKey = event->type() == QEvent::ContextMenu
            && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard;
        const bool shiftF10 = event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->keyCombination()
                   == QKeyCombination(Qt::ShiftModifier, Qt::Key_F10);
        if (menuKey || shiftF10) {
            showMenuFromKeyboard();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MechanismListPanel::showSelectedEntry()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_status.setText(u"Configuration selected : "_s + m_context.mechanisms().at(row).name);
}

void MechanismListPanel::mouseReleased(Qt::MouseButton button, QPoint globalPosition)
{
    if (button == Qt::RightButton && selectedRow() >= 0)
        m_ui.databaseEditionMenu->popup(globalPosition);
}

void MechanismListPanel::showMenuFromKeyboard()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    // Under the selected entry, which the pop-up's entries act on, wherever the mouse is.
    const QRect line = m_ui.mechanismList->visualRect(m_context.mechanisms().index(row));
    m_ui.databaseEditionMenu->popup(m_ui.mechanismList->viewport()->mapToGlobal(line.bottomLeft()));
}

bool MechanismListPanel::entrySelected()
{
    if (selectedRow() >= 0)
        return true;
    m_context.prompter().message(u"Please select a database entry first !"_s,
                                 Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return false;
}

void MechanismListPanel::analyseSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const MechanismEntry entry = m_context.mechanisms().at(row);
    m_ui.identityEdit->setText(entry.name);
    m_editor.showWord(entry.word);
}

void MechanismListPanel::analyseSelectedForEditing()
{
    if (!entrySelected())
        return;
    analyseSelected();
    m_editor.selectSoftwareAndUser();
}

void MechanismListPanel::deleteSelected()
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

void MechanismListPanel::moveSelectedUp()
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

void MechanismListPanel::moveSelectedDown()
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
