// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/store/recordstore.h"

#include <QObject>
#include <QThread>

// A store's runs counted by the minute, asked from a window's thread and answered by
// queued signal: the question runs on a thread of its own, where a server over a network
// may take its time without holding the window.
class StoreCounter final : public QObject
{
    Q_OBJECT

public:
    explicit StoreCounter(StoreTarget target, QObject *parent = nullptr);
    // Waits for a question being answered (at most a connect time-out).
    ~StoreCounter() override;

    // Counts the runs started at or after `since`; the answer carries `asked` back.
    void ask(const QDateTime &since, int asked);

signals:
    void counted(int asked, const QList<MinuteCount> &counts);
    void notCounted(int asked, const QString &why);

private:
    class Reader;
    QThread m_thread;
    Reader *m_reader;
};
