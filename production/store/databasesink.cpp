// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/databasesink.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

DatabaseRecordSink::DatabaseRecordSink(StoreTarget target)
    : m_store(std::move(target)), m_retryAfterMs(m_waits.firstMs)
{
}

void DatabaseRecordSink::setRetryWaits(RetryWaits waits)
{
    m_waits = waits;
    m_retryAfterMs = waits.firstMs;
}

DatabaseRecordSink::~DatabaseRecordSink() = default;

QString DatabaseRecordSink::describe() const
{
    return m_store.target().describe();
}

QString DatabaseRecordSink::spoolPath(const StoreTarget &target)
{
    return recordDataFolder() + u"/spool-%1.sqlite"_s.arg(target.key());
}

Result<void, RecordError> DatabaseRecordSink::openSpool()
{
    if (m_spool && m_spool->isOpen())
        return {};
    StoreTarget target;
    target.kind = StoreTarget::Kind::Sqlite;
    target.file = spoolPath(m_store.target());
    m_spool = std::make_unique<RecordStore>(target);
    return m_spool->open(RecordStore::Role::Owner);
}

Result<int, RecordError> DatabaseRecordSink::waitingCount()
{
    // No spool file: nothing waits, and none is made until a record needs it.
    if (!m_spool && !QFileInfo::exists(spoolPath(m_store.target())))
        return 0;
    if (const auto opened = openSpool(); !opened)
        return Failure(opened.error());
    const auto count = m_spool->count();
    if (!count)
        return Failure(count.error());
    return int(*count);
}

bool DatabaseRecordSink::storeMayBeTried() const
{
    return !m_sinceUnavailable.isValid() || m_sinceUnavailable.hasExpired(m_retryAfterMs);
}

Result<bool, RecordError> DatabaseRecordSink::writeToStore(const ChipRecord &record)
{
    // An SQLite file deleted under the station: the open connection would go on writing
    // into the deleted file, lost at the end. It is made again.
    if (m_store.target().kind == StoreTarget::Kind::Sqlite) {
        const bool there = QFileInfo::exists(m_store.target().file);
        if (m_fileSeen && !there) {
            m_store.close();
            m_madeAgain = true;
        }
    }
    const auto written = m_store.write(record);
    if (written) {
        m_sinceUnavailable.invalidate();
        m_retryAfterMs = m_waits.firstMs;
        m_fileSeen = true;
    } else if (written.error().kind == RecordError::Kind::Unavailable) {
        storeAway();
    }
    return written;
}

void DatabaseRecordSink::storeAway()
{
    if (m_sinceUnavailable.isValid())
        m_retryAfterMs = std::min(2 * m_retryAfterMs, m_waits.longestMs);
    m_sinceUnavailable.start();
}

Result<int, RecordError> DatabaseRecordSink::flush()
{
    const auto before = waitingCount();
    if (!before)
        return before;
    if (*before == 0)
        return 0;
    const auto spooled = m_spool->runs({});
    if (!spooled)
        return Failure(spooled.error());
    int left = int(spooled->size());
    for (const ChipRecord &record : *spooled) {
        const auto sent = writeToStore(record);
        if (!sent)
            return Failure(sent.error());
        // Sent first, taken out after: a run sent twice is kept once by the store.
        if (const auto taken = m_spool->forget(record.runId); !taken)
            return Failure(taken.error());
        --left;
    }
    return left;
}

Result<void, RecordError> DatabaseRecordSink::check()
{
    if (m_store.isOpen())
        return {};
    // Resting after the store did not answer: the spool takes the records meanwhile, and
    // the chip is not kept waiting for another connect time-out.
    if (!storeMayBeTried()) {
        if (const auto spooling = openSpool(); !spooling)
            return Failure(RecordError{RecordError::Kind::Refused, spooling.error().message});
        return {};
    }
    const auto opened = m_store.open();
    if (opened) {
        m_fileSeen = true;
        return {};
    }
    if (opened.error().kind == RecordError::Kind::Refused)
        return opened;
    // The store does not answer now: records can still be kept if the spool takes them.
    storeAway();
    if (const auto spooling = openSpool(); !spooling) {
        return Failure(RecordError{RecordError::Kind::Refused,
                                   u"%1, and the spool cannot hold records meanwhile: %2"_s
                                       .arg(opened.error().message, spooling.error().message)});
    }
    return {};
}

Result<RecordKept, RecordError> DatabaseRecordSink::spool(const ChipRecord &record, const RecordError &why)
{
    if (const auto opened = openSpool(); !opened) {
        return Failure(RecordError{RecordError::Kind::Refused,
                                   u"%1, and the record cannot be spooled either: %2"_s.arg(why.message, opened.error().message)});
    }
    if (const auto kept = m_spool->write(record); !kept) {
        return Failure(RecordError{RecordError::Kind::Refused,
                                   u"%1, and the record cannot be spooled either: %2"_s.arg(why.message, kept.error().message)});
    }
    RecordKept kept;
    kept.madeAgain = std::exchange(m_madeAgain, false);
    const auto count = m_spool->count();
    kept.waiting = count ? int(*count) : 1;
    return kept;
}

Result<RecordKept, RecordError> DatabaseRecordSink::write(const ChipRecord &record)
{
    // Nothing overtakes the spool: while records wait, a new one waits behind them.
    RecordError unavailable{RecordError::Kind::Unavailable,
                            u"the audit store %1 does not answer"_s.arg(describe())};
    if (!storeMayBeTried())
        return spool(record, unavailable);
    const auto flushed = flush();
    if (!flushed) {
        if (flushed.error().kind == RecordError::Kind::Refused)
            return Failure(flushed.error());
        return spool(record, flushed.error());
    }
    const auto written = writeToStore(record);
    if (!written) {
        if (written.error().kind == RecordError::Kind::Refused)
            return Failure(written.error());
        return spool(record, written.error());
    }
    RecordKept kept;
    kept.madeAgain = std::exchange(m_madeAgain, false);
    kept.waiting = 0;
    return kept;
}
