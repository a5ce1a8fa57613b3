// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class SerialLink;

// The time-out timer and its flag: start(ms) clears timedOut and arms the timer, whose
// tick only sets the flag; the caller waits with events running and then stops it.
class TimerOut final : public QObject
{
    Q_OBJECT

public:
    explicit TimerOut(SerialLink &link, QObject *parent = nullptr);

    void start(int ms);
    void stop();
    bool timedOut() const { return m_timedOut; }

    // Runs events (the CPU sleeps meanwhile) until timedOut is set or condition() holds,
    // checked after each event that may change it (a tick, bytes arriving). Returns
    // timedOut. A cancelled job ends the wait at once, as a time-out. With the timer
    // stopped and the condition false it returns at once (nothing could end the wait).
    bool waitUntil(const std::function<bool()> &condition = {});

private:
    SerialLink &m_link;
    QTimer m_timer;
    bool m_timedOut = false;
};
