// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/linkfailure.h"
#include "serial/portlock.h"
#include "serial/portmap.h"
#include "serial/trafficrecord.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QSerialPort;

// The program's one serial port, and the timed waits every exchange uses.
//
// Every wait runs a local event loop: windows repaint, other handlers may run inside
// it, and the CPU sleeps while nothing happens. Nothing here shows a message: failures
// are recorded and taken by the caller (takeFailures), which words them once per action.
class SerialLink final : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReadLimit = 100;          // most bytes one read returns
    static constexpr int PollIntervalMs = 10;
    static constexpr int SilentPolls = 50;         // ReadText/ReadByte give up after these
    static constexpr int SettleMs = 50;            // wait after OpenPort
    static constexpr int MaxReplyBytes = 4096;     // ReadText never collects more than this...
    static constexpr int MaxReplyMs = 10000;       // ...nor reads for longer than this
    // How long bytes may stay queued beyond their time on the line (flow control holding
    // them) before a wait or a close goes on without them.
    static constexpr int MaxOutputStallMs = 2000;

    explicit SerialLink(const PortMap &ports, QObject *parent = nullptr);
    ~SerialLink() override;

    const PortMap &ports() const { return m_ports; }

    // True when COM port exists; opens nothing.
    bool PortExists(int port) const;
    // Opens COM port at speed ("9600"...) 8N1 with handshake 0 none, 1 XON/XOFF,
    // 2 RTS/CTS, then waits 50 ms. Does nothing at all when the port is already open.
    // Returns false when the port could not be opened (a failure is recorded). The
    // device is opened once: every extra open and close would drop DTR and RTS.
    bool OpenPort(int port, const QString &speed, int handshake);
    // Closes the port if it is open, once the bytes sent have left the line under the
    // settings they were sent with. The argument is ignored: there is one port.
    void ClosePort(int port = 0);
    // Sends the bytes unchanged. Nothing is sent when the port is not open.
    void SendText(const QByteArray &text);
    // Everything that arrives until 50 polls of 10 ms find nothing; empty on silence.
    // Bounded by MaxReplyBytes and MaxReplyMs against a device that never stops.
    QByteArray ReadText();
    // The first byte of the next read (the rest of that read is discarded); 0 on silence.
    quint8 ReadByte();
    // Waits ms milliseconds while events run, counted from when the bytes sent have left
    // the port: a UART is still shifting them out after the write has returned.
    void WaitMs(int ms);

    // Direct access to the port object, for detection, which sets the port up itself.
    // Opens without the settle wait; false (with a failure recorded) when it can't.
    bool openDirect(int port, const QString &speed, int handshake);
    bool isOpen() const;
    int bytesWaiting() const;
    // The waiting bytes, at most ReadLimit of them, removed from the receive buffer.
    QByteArray readWaiting();
    // Empties the receive buffer; the bytes go into the record marked as dropped.
    void discardInput();

    // Failures recorded since the last call, oldest first, each port and kind once.
    QList<LinkFailure> takeFailures();
    // What went wrong since the last open began (the open itself, or the device going
    // away), also when that failure was on the list already; nothing when all went well.
    std::optional<LinkFailure> lastFailure() const { return m_lastFailure; }

    // The ReadText bounds; the defaults are MaxReplyBytes and MaxReplyMs.
    void setReplyBounds(int maxBytes, int maxMs);

    // Ends every wait at once and makes the link inert (nothing sent, reads empty, opens
    // fail quietly) so that a running action runs to its end without waiting; used when
    // the program is closing. The port is closed.
    void abort();
    bool isAborted() const { return m_aborted; }

    // Every open, close and byte of the line, stamped on the program's side.
    TrafficRecord &traffic() { return m_traffic; }
    const TrafficRecord &traffic() const { return m_traffic; }

signals:
    // Emitted by abort(), so that waits elsewhere (TimerOut) end too.
    void aborted();
    // Emitted when bytes have arrived, so that waits for them can end.
    void bytesArrived();

private:
    // The grid of a read's polls: 10 ms apart from the last time bytes came (or the start).
    struct PollClock
    {
        explicit PollClock(const QElapsedTimer &c) : clock(c), nextNs(c.nsecsElapsed()) {}
        void restart() { nextNs = clock.nsecsElapsed(); }
        const QElapsedTimer &clock;
        qint64 nextNs;
    };
    // Polls until bytes are waiting (true), or until 50 polls found none, the port is
    // lost or deadlineMs has passed on the poll clock (false).
    bool awaitBytes(PollClock &polls, qint64 deadlineMs);
    void waitForPoll(PollClock &polls);
    // Runs events for ms milliseconds (no look at the line), the fallback of sleepUntilNs.
    void sleepMs(int ms);
    // Runs events until that moment of the monotonic clock (TrafficRecord::nowNs).
    void sleepUntilNs(qint64 deadlineNs);
    // Runs events until the bytes sent are out of the driver's queue and, at the line's
    // own pace, off the wire, then ms more; a line held still by flow control is waited
    // for MaxOutputStallMs at most.
    void waitAfterOutput(int ms);
    // Bytes written but still queued in Qt or the driver (not counting the UART's FIFO).
    int queuedOutput() const;
    // Received bytes into the record, as the program takes them from the port.
    QByteArray take(qint64 maxBytes, const QString &note = {});
    void recordEvent(TrafficEvent::Kind kind, const QByteArray &bytes = {}, const QString &note = {});

    void record(LinkFailure::Kind kind, int port, const QString &device, const QString &text,
                std::optional<qint64> holder = std::nullopt);
    void recordOpenFailure(int port, const QString &device, const QString &path);
    // Another user has the device (path is its own name): its process, where known.
    void recordHeld(int port, const QString &device, const QString &path);
    void onPortError(int error);
    void deviceLost();
    void closeQuietly();
    // Pulls what the system has received into the port object's buffer, without waiting.
    void pull();

    const PortMap &m_ports;
    QSerialPort *m_port = nullptr;
    PortLock m_lock;
    bool m_aborted = false;
    bool m_lost = false;        // the device went away; the port closes at the next chance
    int m_openedPort = 0;
    QString m_openedDevice;
    int m_openedSpeed = 0;
    int m_openedHandshake = 0;
    qint64 m_byteNs = 0;        // one byte's time on the line: start, 8 data and stop bits
    qint64 m_lineFreeNs = 0;    // when the last byte sent will have left, at the line's pace
    int m_maxReplyBytes = MaxReplyBytes;
    int m_maxReplyMs = MaxReplyMs;
    QList<LinkFailure> m_failures;
    std::optional<LinkFailure> m_lastFailure;
    TrafficRecord m_traffic;
};
