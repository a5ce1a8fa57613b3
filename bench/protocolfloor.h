// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/protocoltiming.h"

// The least time an exchange can take: the waits the protocol prescribes plus the time
// the bytes need on the wire, on one timeline.
//
//   - A byte takes 10 bit times (start, 8 data, stop) at the line speed.
//   - Sending does not hold the program: the bytes leave one after the other as soon as
//     the line is free, while the program goes on.
//   - The chip answers as soon as the last byte of the command is in, and its reply then
//     takes its own bytes' time on the line; the chip itself takes no time to think.
//   - A fixed wait (pause, the time-out timer, the 50 ms after open) adds its length,
//     counted from when the bytes sent have left the line.
//   - A polled read (readReplyByte, readReply) looks at once and then every 10 ms, so it ends
//     at the first poll at or after the reply's last byte; readReply then sits out its 50
//     empty polls (500 ms).
//   - Closing the port waits until the bytes sent have left the line.
//
// Nothing else counts: opening and closing the device, the window's own work, the
// scheduling of timers are what the measured time adds to this floor.
class ProtocolFloor final
{
public:
    explicit ProtocolFloor(int baud) { setSpeed(baud); }

    void setSpeed(int baud) { m_byteMs = 10.0 * 1000.0 / baud; }
    // open: its 50 ms settling wait.
    void openPort() { m_t += ProtocolTiming::OpenSettleMs; }
    // The detection's own opening: no wait.
    void openDirect() {}
    void send(int bytes);
    void send(const QByteArray &command) { send(int(command.size())); }
    void reply(int bytes);
    void wait(double ms);
    // A read that polls until the reply is in.
    void readByte();
    // The same, then the silence that ends a text.
    void readText();
    void close();

    double total() const { return m_t; }

private:
    double m_byteMs = 0;
    double m_t = 0;         // the program's time
    double m_lineOut = 0;   // when the last byte sent has left
    double m_replyIn = 0;   // when the last byte of the awaited reply has come
};

// The exchanges that the window's actions and qv12-chip share, step by step: the
// commands' own bytes and the protocol's own waits (ProtocolTiming), so that a change
// to either moves the floor with it.
namespace FloorSteps {

// The wake-up byte on each of ports ports, then the chips' pause.
void wakeAll(ProtocolFloor &f, int ports, int wakeBaud, int baud);
// One probe of the scan at the speed set: answered or not.
void probe(ProtocolFloor &f, bool answered);
// Detection on the chip's port: its identity, the probe, the serial setting, the CAN.
void detectOnPort(ProtocolFloor &f, int identityBytes);
// Sleep: the CAN, the sleep command, its gap, the last CAN.
void sleep(ProtocolFloor &f);
// Reset, on its own opening.
void reset(ProtocolFloor &f);

// The identification: the identity request and its text.
void identify(ProtocolFloor &f, int identityBytes);
// Check configuration's reading: settings 6 and 9, the configuration, the identity.
void readConfiguration(ProtocolFloor &f, int identityBytes);
// Configure chipset: the detected polarity, settings 6 to 8, the settings from 9 on (the
// identity) on a second opening, the reset, the restart pause and the new identity.
void program(ProtocolFloor &f, int settings, int identityBytes);

// One chip at a production station given its speed: found by its answer (the identity
// and the handshake asked), programmed, read back.
void stationChip(ProtocolFloor &f, int settings, int identityBytes);
// chips chips at one station, the next put in arrivalPauseMs after the last one's
// verdict (the operator's hand); the chip taken away takes its device with it, which
// is seen without an exchange.
double stationLine(int baud, int chips, int settings, int identityBytes, double arrivalPauseMs);

} // namespace FloorSteps
