// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/recordsink.h"
#include "production/store/storetarget.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

// Which runs a question is about: all that match every condition given.
struct RunFilter
{
    QString since;    // ISO UTC text: started at or after
    QString until;    // ISO UTC text: started before
    QString identity; // the identity written, or read before or after
    QString runId;
    QString device;
};

// One line of a summary: its group (a day, an entry, a station, a host; empty for all
// runs together) and its totals.
struct SummaryRow
{
    QString group;
    qint64 chips = 0;
    qint64 passed = 0;
    double meanMs = 0;
    qint64 slowestMs = 0;
    qint64 failed() const { return chips - passed; }
    double yieldPercent() const { return chips == 0 ? 0 : 100.0 * double(passed) / double(chips); }
};

// The runs that started in one minute (UTC), passed and failed.
struct MinuteCount
{
    QDateTime minute;
    qint64 passed = 0;
    qint64 failed = 0;
    friend bool operator==(const MinuteCount &, const MinuteCount &) = default;
};

// An SQLite database or a PostgreSQL server holding production records, through its own
// Qt SQL connection: made, used and closed on one thread (the one that calls open()).
// A record once written is never changed: writing a run id again leaves the first.
class RecordStore final
{
public:
    // Who opens it: a station adds and reads (an SQLite file is made on first use, a
    // PostgreSQL schema must be there, and the role must have the right to add); a
    // reader only reads what is there; the owner makes the schema.
    enum class Role { Station, Reader, Owner };

    explicit RecordStore(StoreTarget target);
    ~RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    const StoreTarget &target() const { return m_target; }

    // Connects, then makes or brings up the schema (SQLite always; PostgreSQL as the
    // owner), refuses a newer one, and for a station checks its right to add records.
    Result<void, RecordError> open(Role role = Role::Station);
    bool isOpen() const { return m_open; }
    // Drops the connection; the next open() makes a new one.
    void close();

    // The run, its settings and its checks in one transaction: all of them or none. True
    // when written, false when the run id was there already.
    Result<bool, RecordError> write(const ChipRecord &record);

    // The runs matching the filter, in the order they were written, whole.
    Result<QList<ChipRecord>, RecordError> runs(const RunFilter &filter);
    // The totals by group: "day", "entry", "station", "host", or "" for all together.
    Result<QList<SummaryRow>, RecordError> summary(const RunFilter &filter, const QString &by);

    // The runs started at or after `since`, counted by the minute they started in.
    Result<QList<MinuteCount>, RecordError> countsByMinute(const QDateTime &since);

    // The spool's own: how many runs it holds, and a run sent on to the store taken out.
    Result<qint64, RecordError> count();
    Result<void, RecordError> forget(const QUuid &runId);

    // For the test that kills a writer in the middle of a run: called between the
    // statements of a write's transaction.
    void setStepHook(std::function<void()> hook) { m_stepHook = std::move(hook); }

private:
    Result<void, RecordError> connect(Role role);
    Result<void, RecordError> prepareSchema(Role role);
    RecordError error(const class QSqlError &sqlError, const QString &doing) const;

    StoreTarget m_target;
    QString m_connection;
    bool m_open = false;
    std::function<void()> m_stepHook;
};
