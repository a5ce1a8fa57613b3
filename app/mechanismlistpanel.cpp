// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mechanismlistpanel.h"

#include "app/appcontext.h"
#include "app/prompter.h"
#include "core/logging.h"

#include "ui_mechanismlistpanel.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

MechanismListPanel::MechanismListPanel(AppContext &context, QWidget *parent)
    : QGroupBox(parent)
    , m_ui(std::make_unique<Ui::MechanismListPanelForm>())
    , m_context(context)
{
    m_ui->setupUi(this);
    // Follows the font, so the columns keep their proportions at any size.
    m_ui->mechanismList->setMinimumHeight(fontMetrics().lineSpacing() * 16);
    // The words stay in the model's records, beside their names: no second, hidden list
    // of them is needed, and none is there for a screen reader to find.
    m_ui->mechanismList->setModel(&m_context.mechanisms());
    // Mouse presses are filtered on the viewport: a right-button press must not move the
    // selection, and the pop-up opens on the release. The list itself gets the keys that
    // open the pop-up from the keyboard.
    m_ui->mechanismList->viewport()->installEventFilter(this);
    m_ui->mechanismList->installEventFilter(this);

    connect(m_ui->mechanismList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selectingFromCode && selectedRow() >= 0)
            showSelectedEntry();
    });
    // A click on the entry that is already selected reports it again.
    connect(m_ui->mechanismList, &QListView::clicked, this, &MechanismListPanel::showSelectedEntry);

    // The buttons say so when nothing is selected; the pop-up, shown only over a selection,
    // has no need to.
    connect(m_ui->analyseEntryButton, &QPushButton::clicked, this, &MechanismListPanel::analyseSelectedForEditing);
    connect(m_ui->deleteEntryButton, &QPushButton::clicked, this, [this] {
        if (entrySelected())
            deleteSelected();
    });
    connect(m_ui->moveEntryUpButton, &QToolButton::clicked, this, [this] {
        if (entrySelected())
            moveSelectedUp();
    });
    connect(m_ui->moveEntryDownButton, &QToolButton::clicked, this, [this] {
        if (entrySelected())
            moveSelectedDown();
    });
}

MechanismListPanel::~MechanismListPanel() = default;

QList<QWidget *> MechanismListPanel::tabChain() const
{
    return {m_ui->mechanismList, m_ui->analyseEntryButton, m_ui->deleteEntryButton,
            m_ui->moveEntryUpButton, m_ui->moveEntryDownButton};
}

int MechanismListPanel::selectedRow() const
{
    const QModelIndexList rows = m_ui->mechanismList->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MechanismListPanel::setSelectedRow(int row)
{
    {
        const QScopedValueRollback guard(m_selectingFromCode, true);
        const QModelIndex index = m_context.mechanisms().index(row);
        m_ui->mechanismList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_ui->mechanismList->scrollTo(index);
    }
    // Run here rather than from the selection signal: after a move the entry may already
    // be selected at its new place, and the status bar must still show it.
    showSelectedEntry();
}

void MechanismListPanel::clearSelection()
{
    // Clearing the current index too keeps the view from selecting a neighbour when the
    // selected entry is removed.
    m_ui->mechanismList->selectionModel()->clear();
}

bool MechanismListPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->mechanismList->viewport()) {
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
    } else if (watched == m_ui->mechanismList) {
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
    return QGroupBox::eventFilter(watched, event);
}

void MechanismListPanel::showSelectedEntry()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    emit statusMessage(tr("Configuration selected : %1").arg(m_context.mechanisms().at(row).name));
}

void MechanismListPanel::mouseReleased(Qt::MouseButton button, QPoint globalPosition)
{
    if (button == Qt::RightButton && selectedRow() >= 0)
        emit menuRequested(globalPosition);
}

void MechanismListPanel::showMenuFromKeyboard()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    // Under the selected entry, which the pop-up's entries act on, wherever the mouse is.
    const QRect line = m_ui->mechanismList->visualRect(m_context.mechanisms().index(row));
    emit menuRequested(m_ui->mechanismList->viewport()->mapToGlobal(line.bottomLeft()));
}

bool MechanismListPanel::entrySelected()
{
    if (selectedRow() >= 0)
        return true;
    m_context.prompter().message(tr("Please select a database entry first !"),
                                 Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return false;
}

void MechanismListPanel::analyseSelected()
{
    const int row = selectedRow();
    qCDebug(lcUi, "mechanism list: analyse entry %d", row);
    if (row < 0)
        return;
    const MechanismEntry entry = m_context.mechanisms().at(row);
    emit entryAnalysed(entry.name, entry.word);
}

void MechanismListPanel::analyseSelectedForEditing()
{
    if (!entrySelected())
        return;
    analyseSelected();
    emit editingRequested();
}

void MechanismListPanel::deleteSelected()
{
    const int row = selectedRow();
    qCDebug(lcUi, "mechanism list: delete entry %d", row);
    if (row < 0)
        return;
    const QString name = m_context.mechanisms().at(row).name;
    const Prompter::Answer answer = m_context.prompter().message(
        tr("This will delete configuration <%1> form the database !").arg(name),
        Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel);
    if (answer == Prompter::Answer::Ok) {
        clearSelection();
        m_context.mechanisms().removeAt(row);
    }
    emit modified();
}

void MechanismListPanel::moveSelectedUp()
{
    const int row = selectedRow();
    qCDebug(lcUi, "mechanism list: move up entry %d", row);
    if (row < 0)
        return;
    if (row >= 1) {
        m_context.mechanisms().exchangeWithNext(row - 1);
        setSelectedRow(row - 1);
    }
    emit modified();
}

void MechanismListPanel::moveSelectedDown()
{
    const int row = selectedRow();
    qCDebug(lcUi, "mechanism list: move down entry %d", row);
    if (row < 0)
        return;
    if (row < m_context.mechanisms().count() - 1) {
        m_context.mechanisms().exchangeWithNext(row);
        setSelectedRow(row + 1);
    }
    emit modified();
}
