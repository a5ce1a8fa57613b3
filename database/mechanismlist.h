// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "database/entryword.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

// One named configuration: a name and its configuration word.
struct MechanismEntry
{
    QString name;
    EntryWord word;

    friend bool operator==(const MechanismEntry &, const MechanismEntry &) = default;
};

// The mechanism list: ordered entries, one record each, so a name never loses its word.
// As a model it is a list of the names, the one thing List1 shows (and all a screen
// reader should announce); each row carries its word's text under WordRole.
class MechanismList final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { WordRole = Qt::UserRole };

    explicit MechanismList(QObject *parent = nullptr);

    int count() const { return int(m_entries.size()); }
    const MechanismEntry &at(int row) const { return m_entries.at(row); }
    const QList<MechanismEntry> &entries() const { return m_entries; }
    // Position of the first entry whose name equals name exactly (case and blanks
    // count), or -1.
    int indexOfName(const QString &name) const;

    // Each operation changes names and words together and tells the views with the
    // model's signals. A row out of range makes an operation do nothing.
    void append(const MechanismEntry &entry);
    // Appends several entries in their order (one insertion for the views).
    void append(const QList<MechanismEntry> &entries);
    void replaceAt(int row, const MechanismEntry &entry);
    void removeAt(int row);
    void removeAll();
    // Exchanges the entries at row and row + 1. The rows keep their places and only
    // their contents change (dataChanged), as when both lines are rewritten: a view's
    // selection stays on the row number, so the caller selects the moved entry itself
    // and that selection is a real change the view reports.
    void exchangeWithNext(int row);
    // Makes the list hold exactly these entries (a model reset: views lose their
    // selection).
    void assign(const QList<MechanismEntry> &entries);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<MechanismEntry> m_entries;
};
