// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/cancellation.h"
#include "serial/handshake.h"
#include "serial/linkfailure.h"
#include "serial/linkobserver.h"
#include "serial/portlock.h"
#include "serial/portmap.h"
#include "serial/trafficrecord.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QSerialPort;

// One serial port, and the timed waits every exchange uses. A link belongs to the thread
// it was made in: a chip worker makes its own on its thread (ChipWorker), and the job
// code there is written in the blocking style.
//
// Every wait runs a local event loop of that thread: the CPU sleeps while nothing
// happens, and the wait ends at once when the job is cancelled, from any thread; from
// then on the link is inert (nothing sent, reads empty, opens fail quietly) and its port
// closed, so the job runs to its end without the chip. Nothing here shows a message:
// failures are recorded for the job (failures()), whose result carries them to the front
// end that words them.
class SerialLink final : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReadLimit = 100;          // most bytes one read returns
    static constexpr int PollIntervalMs = 10;
    static constexpr int SilentPolls = 50;         // readReply/readReplyByte give up after these
    static constexpr int SettleMs = 50;            // wait after open
    static constexpr int MaxReplyBytes = 4096;     // readReply never collects more than this...
    static constexpr int MaxReplyMs = 10000;       // ...nor reads for longer than this
    // How long bytes may stay queued beyond their time on the line (flow control holding
    // them) before a wait or a close goes on without them.
    static constexpr int MaxOutputStallMs = 2000;

    // The link keeps its own copy of the port map: the front end's may change meanwhile.
    explicit SerialLink(PortMap ports = {}, QObject *parent = nullptr);
    ~SerialLink() override;

    const PortMap &ports() const { return m_ports; }
    void setPorts(PortMap ports) { m_ports = std::move(ports); }

    // A job begins: no failures recorded, and cancellation governs the waits from now on.
    void startJob(Cancellation cancellation = {});
    const Cancellation &cancellation() const { return m_cancellation; }
    bool isCancelled() const { return m_cancellation.isRequested(); }
    // Failures recorded since the job began, oldest first, each port and kind once.
    const QList<LinkFailure> &failures() const { return m_failures; }

    // True when COM port exists; opens nothing.
    bool portExists(int port) const;
    // Opens COM port at speed (bit/s) 8N1 with handshake, then waits 50 ms. Does nothing at all when the port is already open.
    // Returns false when the port could not be opened (a failure is recorded). The
    // device is opened once: every extra open and close would drop DTR and RTS.
    bool open(int port, int speed, Handshake handshake);
    // Closes the port if it is open, once the bytes sent have left the line under the
    // settings they were sent with.
    void close();
    // Sends the bytes unchanged. Nothing is sent when the port is not open.
    void send(const QByteArray &text);
    // Everything that arrives until 50 polls of 10 ms find nothing; empty on silence.
    // Bounded by MaxReplyBytes and MaxReplyMs against a device that never stops.
    QByteArray readReply();
    // The first byte of the next read (the rest of that read is discarded); 0 on silence.
    quint8 readReplyByte();
    // Waits ms milliseconds while events run, counted from when the bytes sent have left
    // the port: a UART is still shifting them out after the write has returned.
    void pause(int ms);

    // Direct access to the port object, for detection, which sets the port up itself.
    // Opens without the settle wait; false (with a failure recorded) when it can't.
    bool openDirect(int port, int speed, Handshake handshake);
    bool isOpen() const;
    int bytesWaiting() const;
    // The waiting bytes, at most ReadLimit of them, removed from the receive buffer.
    QByteArray readWaiting();
    // Empties the receive buffer; the bytes go into the record marked as dropped.
    void discardInput();

    // What went wrong since the last open began (the open itself, or the device going
    // away), also when that failure was on the list already; nothing when all went well.
    std::optional<LinkFailure> lastFailure() const { return m_lastFailure; }

    // The readReply bounds; the defaults are MaxReplyBytes and MaxReplyMs.
    void setReplyBounds(int maxBytes, int maxMs);

    // Every open, close and byte of the line, stamped on the program's side.
    TrafficRecord &traffic() { return m_traffic; }
    const TrafficRecord &traffic() const { return m_traffic; }
    // The program's record, into which this link records every event as well (stamped
    // there, so that the lines of several links keep their order).
    void setProgramTraffic(std::shared_ptr<TrafficRecord> record) { m_programTraffic = std::move(record); }

    // Told each step the jobs on this link take (the benchmark's floors); none by default.
    void setObserver(LinkObserver *observer) { m_observer = observer; }
    LinkObserver *observer() const { return m_observer; }

signals:
    // Emitted when bytes have arrived, so that waits for them can end.
    void bytesArrived();
    // The port opened or closed (also when its device went away).
    void openChanged(bool open);

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
    // Runs events until that moment of the monotonic clock (TrafficRecord::nowNs), or
    // until the job is cancelled.
    void sleepUntilNs(qint64 deadlineNs);
    // True once the job is cancelled; the port is closed then.
    bool cancelled();
    // Runs events until the bytes sent are out of the driver's queue and, at the line's
    // own pace, off the wire, then ms more; a line held still by flow control is waited
    // for MaxOutputStallMs at most.
    void waitAfterOutput(int ms);
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
    // Closes a port just opened that can't be kept, its lock given back first as
    // closeQuietly() does; nothing recorded, nobody told.
    void dropOpened();
    // Pulls what the system has received into the port object's buffer, without waiting.
    void pull();

    PortMap m_ports;
    QSerialPort *m_port = nullptr;
    Cancellation m_cancellation;
    PortLock m_lock;
    bool m_lost = false;        // the device went away; the port closes at the next chance
    int m_openedPort = 0;
    QString m_openedDevice;
    int m_openedSpeed = 0;
    Handshake m_openedHandshake = Handshake::None;
    qint64 m_byteNs = 0;        // one byte's time on the line: start, 8 data and stop bits
    qint64 m_lineFreeNs = 0;    // when the last byte sent will have left, at the line's pace
    int m_maxReplyBytes = MaxReplyBytes;
    int m_maxReplyMs = MaxReplyMs;
    QList<LinkFailure> m_failures;
    std::optional<LinkFailure> m_lastFailure;
    TrafficRecord m_traffic;
    std::shared_ptr<TrafficRecord> m_programTraffic;
    LinkObserver *m_observer = nullptr;
};
