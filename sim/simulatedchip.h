// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "sim/chipemulator.h"
#include "sim/transcript.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>
#include <thread>

// A QV12 chip at the far end of a pseudo-terminal. Open devicePath() with QSerialPort
// (or anything else) exactly as a real /dev/ttyUSB0: the chip answers from its own
// thread, at its own line speed only, with its replies paced like a UART (10 bits a
// byte), also while the opener's thread is busy. It records every byte that crosses
// the line, and every fault of ChipFaults can be switched on.
//
//     SimulatedChip chip(9600);
//     ports.assign(1, chip.devicePath());
//
// Several can run in one process. Every member is safe to call from the thread that
// created the object while the chip's thread runs.
class SimulatedChip final : public QObject
{
    Q_OBJECT

public:
    enum class Handshake { XonXoff, DsrDtr };  // bit 7 of setting 28: 0 and 1

    explicit SimulatedChip(int speed = 9600, QObject *parent = nullptr);
    SimulatedChip(int speed, Handshake handshake, QObject *parent = nullptr);
    ~SimulatedChip() override;

    // False when no pseudo-terminal could be made (errorString says why).
    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }
    // The slave side, e.g. "/dev/pts/7". Stays the same after an unplug.
    QString devicePath() const { return m_devicePath; }

    // Makes path a symbolic link to the device (an old link there is replaced, any
    // other file is refused); removeLink() takes it away again, as does the destructor.
    Result<void, QString> createLink(const QString &path);
    void removeLink();
    QString linkPath() const { return m_linkPath; }

    // The chip itself, under the lock its thread uses.
    void access(const std::function<void(ChipEmulator &)> &work);
    int speed() const;
    quint8 setting(int n) const;
    void setSetting(int n, quint8 value);
    QByteArray settings() const;
    bool setSettings(const QByteArray &all);
    QByteArray identity() const;
    std::pair<quint8, quint8> configuration() const;
    void restart();
    bool isAsleep() const;

    ChipFaults faults() const;
    // Switching endlessStream off also throws away what the chip still had to send and
    // what the opener has not read yet.
    void setFaults(const ChipFaults &faults);
    void setSilent(bool silent);

    // Pulls the cable: the pseudo-terminal closes and its device goes away. Returns
    // once it is done.
    void unplug();
    bool isUnplugged() const;
    // Sends bytes nobody asked for, at the line's pace: noise, or a reply the opener
    // has given up on. Sent while no one has the port open they wait in the
    // pseudo-terminal for the next opener, as in the buffer of a serial driver.
    void sendUnasked(const QByteArray &bytes);
    // Drops unsent replies and the bytes the opener has not read.
    void flushLine();
    // How the opener has set the line now.
    LineSettings lineSettings() const;

    // Bytes received from the opener, and bytes the chip sent, with times and settings.
    const Transcript &received() const { return m_received; }
    const Transcript &sent() const { return m_sent; }
    void clearTranscript();
    // Runs events until the transcript holds count bytes or timeoutMs has passed.
    bool waitForReceived(int count, int timeoutMs = 5000);
    bool waitForSent(int count, int timeoutMs = 5000);

    // The clock of the transcripts (CLOCK_MONOTONIC), in nanoseconds.
    static qint64 nowNs();

signals:
    // Bytes crossed the line (delivered on the creating thread, coalesced).
    void activity();
    // A writeSetting changed the chip's settings.
    void settingsChanged();

private:
    struct Pending
    {
        qint64 dueNs;
        char byte;
    };

    void start(int speed, Handshake handshake);
    void run();
    void handleInput(qint64 now);
    void sendDue(qint64 now);
    void enqueueLocked(const QByteArray &reply, qint64 now);
    // The line as the opener set it: the settings last seen while the line was set.
    LineSettings lineNow();
    void unplugLocked();
    void dropOutputLocked();
    void notify(bool settingsChanged);
    void wake();
    bool waitFor(const Transcript &transcript, int count, int timeoutMs);

    mutable QMutex m_mutex;  // guards everything below that both threads touch
    QWaitCondition m_unpluggedCondition;
    ChipEmulator m_emulator;
    Transcript m_received;
    Transcript m_sent;
    std::deque<Pending> m_tx;
    qint64 m_txLastDue = 0;
    bool m_txBlocked = false;  // chip thread only
    LineSettings m_lastLine;   // chip thread only
    bool m_streaming = false;
    int m_unplugCountdown = -1;
    bool m_unplugRequested = false;
    bool m_unplugged = false;
    bool m_stop = false;

    int m_master = -1;
    int m_slaveHold = -1;  // keeps the slave configured and the master from hanging up
    int m_wakeFd = -1;
    bool m_valid = false;
    QString m_error;
    QString m_devicePath;
    QString m_linkPath;
    std::atomic<bool> m_notifyPending{false};
    std::thread m_thread;
};
