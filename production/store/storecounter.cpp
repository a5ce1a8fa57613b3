// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/storecounter.h"

#include <memory>

// Lives on the counter's thread, with the store's connection made and closed there.
class StoreCounter::Reader final : public QObject
{
public:
    explicit Reader(StoreTarget target) : m_target(std::move(target)) {}

    void count(StoreCounter *counter, const QDateTime &since, int asked)
    {
        if (!m_store)
            m_store = std::make_unique<RecordStore>(m_target);
        const auto counts = m_store->countsByMinute(since);
        if (counts) {
            emit counter->counted(asked, *counts);
            return;
        }
        // A connection that failed is made anew for the next question.
        m_store.reset();
        emit counter->notCounted(asked, counts.error().message);
    }
    void close() { m_store.reset(); }

private:
    StoreTarget m_target;
    std::unique_ptr<RecordStore> m_store;
};

StoreCounter::StoreCounter(StoreTarget target, QObject *parent)
    : QObject(parent), m_reader(new Reader(std::move(target)))
{
    m_thread.setObjectName(QStringLiteral("qv12-store-counter"));
    m_reader->moveToThread(&m_thread);
    // The connection belongs to the thread that made it: it is closed there.
    connect(&m_thread, &QThread::finished, m_reader, [reader = m_reader] { reader->close(); }, Qt::DirectConnection);
    m_thread.start();
}

StoreCounter::~StoreCounter()
{
    m_thread.quit();
    m_thread.wait();
    delete m_reader;
}

void StoreCounter::ask(const QDateTime &since, int asked)
{
    QMetaObject::invokeMethod(m_reader, [this, since, asked] { m_reader->count(this, since, asked); },
                              Qt::QueuedConnection);
}
