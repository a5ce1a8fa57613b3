// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/linkobserver.h"

// The least time an exchange can take, built from the steps of the real job as its link
// takes them (LinkObserver): the waits the protocol prescribes plus the time the bytes
// need on the wire, on one timeline. The floor follows the protocol's code: a step
// added to or taken from a job moves it.
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
//     empty polls (500 ms), as does a read that nothing answers.
//   - Closing the port waits until the bytes sent have left the line.
//
// Nothing else counts: opening and closing the device, the window's own work, the
// scheduling of timers are what the measured time adds to this floor.
class ProtocolFloor final : public LinkObserver
{
public:
    void opened(int speed) override;
    void sent(qsizetype bytes) override;
    void waited(int ms) override;
    void polled(qsizetype bytes, bool text) override;
    void closed() override;

    // A pause outside the jobs (a station's pause between two chips).
    void add(double ms) { m_t += ms; }
    double total() const { return m_t; }

private:
    double m_byteMs = 0;
    double m_t = 0;         // the program's time
    double m_lineOut = 0;   // when the last byte sent has left
};
