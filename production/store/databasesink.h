// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/recordsink.h"
#include "production/store/recordstore.h"

#include <QElapsedTimer>

#include <memory>

// A station's records into an SQLite database or a PostgreSQL server. While the store
// does not answer, records go to a local spool (an SQLite file in the program's data
// folder, one per store) and are sent, in the order they came, before the next record
// once it answers again. A record that can't even be spooled is refused: the station
// stops. Made, used and destroyed on the station's thread.
class DatabaseRecordSink final : public RecordSink
{
public:
    // After the store did not answer, the next chips go straight to the spool for a
    // while: a server that is down must not add its connect time-out to every chip. The
    // while doubles with each try that finds it still away, up to the longest.
    struct RetryWaits
    {
        qint64 firstMs = 3000;
        qint64 longestMs = 60000;
    };

    explicit DatabaseRecordSink(StoreTarget target);
    ~DatabaseRecordSink() override;

    Result<void, RecordError> check() override;
    Result<RecordKept, RecordError> write(const ChipRecord &record) override;
    QString describe() const override;

    // Sends what waits in the spool; how many still wait.
    Result<int, RecordError> flush();
    // How many records wait in the spool.
    Result<int, RecordError> waitingCount();

    // Other waits than a line's, for a test that puts as many tries into a short outage
    // as a line sees in a long one.
    void setRetryWaits(RetryWaits waits);

    // For the test that kills a writer in the middle of a run (RecordStore::setStepHook).
    void setStepHook(std::function<void()> hook) { m_store.setStepHook(std::move(hook)); }

    // The spool file of a target.
    static QString spoolPath(const StoreTarget &target);

private:
    Result<void, RecordError> openSpool();
    bool storeMayBeTried() const;
    // The store did not answer: the next records go to the spool for a while.
    void storeAway();
    Result<bool, RecordError> writeToStore(const ChipRecord &record);
    Result<RecordKept, RecordError> spool(const ChipRecord &record, const RecordError &why);

    RecordStore m_store;
    std::unique_ptr<RecordStore> m_spool;
    QElapsedTimer m_sinceUnavailable;  // valid while the store is resting after no answer
    RetryWaits m_waits;
    qint64 m_retryAfterMs;
    bool m_fileSeen = false;           // SQLite: the file was there when last written
    bool m_madeAgain = false;
};
