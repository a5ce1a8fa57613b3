// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

// A repeating 5 ms timer on the thread it is made in, and how late it has been at worst:
// how long that thread (the window's) could not answer. The benchmark reports it; a test
// bounds it.
//
// On a busy machine a thread may also wait for a core while it has work; the kernel
// counts that time per thread (/proc/thread-self/schedstat). worstOwnMs() leaves it out:
// the lateness the thread's own work caused, which load can't add to.
class LatenessProbe final : public QObject
{
public:
    static constexpr int IntervalMs = 5;

    LatenessProbe() : m_schedstat(QStringLiteral("/proc/thread-self/schedstat"))
    {
        if (!m_schedstat.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            qWarning("no run-queue times for this thread: its own lateness includes waiting for a core");
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(IntervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 waited = runQueueNs();
            if (m_last >= 0) {
                const qint64 late = now - m_last - IntervalMs * 1'000'000LL;
                m_worstNs = std::max(m_worstNs, late);
                m_latenessNs.push_back(late);
                m_worstOwnNs = std::max(m_worstOwnNs, late - (waited - m_lastWaited));
            }
            m_last = now;
            m_lastWaited = waited;
            ++m_ticks;
        });
    }
    // Measures from now until pause(); the worst lateness is kept across until reset().
    void resume()
    {
        m_clock.start();
        m_last = -1;
        m_timer.start();
    }
    void pause() { m_timer.stop(); }
    void reset()
    {
        m_worstNs = 0;
        m_worstOwnNs = 0;
        m_ticks = 0;
        m_latenessNs.clear();
    }
    double worstMs() const { return double(m_worstNs) / 1e6; }
    // The lateness that share of the ticks stayed within (0.99: the 99th percentile).
    double percentileMs(double share) const
    {
        if (m_latenessNs.empty())
            return 0;
        std::vector<qint64> sorted = m_latenessNs;
        // Nearest rank: the smallest sample with at least that share at or below it.
        const size_t rank = std::clamp(size_t(std::ceil(share * double(sorted.size()))), size_t(1), sorted.size());
        const size_t at = rank - 1;
        std::nth_element(sorted.begin(), sorted.begin() + qsizetype(at), sorted.end());
        return double(sorted[at]) / 1e6;
    }
    double worstOwnMs() const { return double(m_worstOwnNs) / 1e6; }
    int ticks() const { return m_ticks; }

private:
    // The time the thread has spent ready to run while others ran, so far; 0 where the
    // kernel doesn't tell.
    qint64 runQueueNs()
    {
        if (!m_schedstat.isOpen() || !m_schedstat.seek(0))
            return 0;
        const QList<QByteArray> fields = m_schedstat.read(128).simplified().split(' ');
        return fields.size() >= 2 ? fields.at(1).toLongLong() : 0;
    }

    QFile m_schedstat;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_lastWaited = 0;
    qint64 m_worstNs = 0;
    qint64 m_worstOwnNs = 0;
    std::vector<qint64> m_latenessNs;  // of each tick, in order
    int m_ticks = 0;
};
