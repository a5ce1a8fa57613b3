#pragma once

#include <QObject>

#include <functional>

class SerialLink;

// The time-out timer and its flag: start(ms) clears TimedOut and arms the timer, whose
// tick only sets the flag; the caller waits with events running and then stops it.
class TimerOut final : public QObject
{
    Q_OBJECT

public:
    explicit TimerOut(SerialLink &link, QObject *parent = nullptr);

    void start(int ms);
    void stop();
    bool TimedOut() const { return m_timedOut; }

    // Runs events (the CPU sleeps meanwhile) until TimedOut is set or condition() holds,
    // checked after each event that may change it (a tick, bytes arriving). Returns
    // TimedOut. An aborted link ends the wait at once, as a time-out.
    bool waitUntil(const std::function<bool()> &condition = {});

private:
    // The private section is the implementation's.
    SerialLink &m_link;
    bool m_timedOut = false;
};
