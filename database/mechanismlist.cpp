// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/mechanismlist.h"

MechanismList::MechanismList(QObject *parent)
    : QAbstractListModel(parent)
{
}

int MechanismList::indexOfName(const QString &name) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_entries.at(row).name == name)
            return row;
    }
    return -1;
}

void MechanismList::append(const MechanismEntry &entry)
{
    append(QList<MechanismEntry>{entry});
}

void MechanismList::append(const QList<MechanismEntry> &entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(entries.size()) - 1);
    m_entries.append(entries);
    endInsertRows();
}

void MechanismList::replaceAt(int row, const MechanismEntry &entry)
{
    if (row < 0 || row >= count())
        return;
    m_entries[row] = entry;
    emit dataChanged(index(row), index(row));
}

void MechanismList::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    endRemoveRows();
}

void MechanismList::removeAll()
{
    if (m_entries.isEmpty())
        return;
    beginRemoveRows({}, 0, count() - 1);
    m_entries.clear();
    endRemoveRows();
}

void MechanismList::exchangeWithNext(int row)
{
    if (row < 0 || row + 1 >= count())
        return;
    m_entries.swapItemsAt(row, row + 1);
    emit dataChanged(index(row), index(row + 1));
}

void MechanismList::assign(const QList<MechanismEntry> &entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

int MechanismList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant MechanismList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MechanismEntry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.name;
    case WordRole:
        return entry.word.text();
    default:
        return {};
    }
}
