// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class SerialLink;
class TimerOut;

// Queries of the chip that no control uses. They work on
// the port as the caller left it: the caller opens it first and closes it afterwards.
// Each wait for data lasts at most 500 ms, measured by the time-out timer.
namespace Queries {

inline constexpr int TimeoutMs = 500;

// The first byte that arrives within 500 ms (the rest of that read is dropped); 0 when
// none does.
quint8 get_value(SerialLink &link, TimerOut &timer);
// ESC GS "O" as one write, then get_value: the paper sensor.
quint8 get_opto(SerialLink &link, TimerOut &timer);
// ESC GS "A" as one write, then get_value.
quint8 get_ad(SerialLink &link, TimerOut &timer);

// What the chip sends, piece by piece (each piece is what is waiting when data comes, at
// most 100 bytes), up to and including the piece that begins with the byte 0.
// A wait that passes without data ends the text: with nothing collected the result is
// the single byte 0; after pieces that did not begin with 0 the result is those pieces,
// with no 0 added. Like ReadText it stops at SerialLink::MaxReplyBytes or
// SerialLink::MaxReplyMs against a chip that never stops sending.
QByteArray get_string(SerialLink &link, TimerOut &timer);

} // namespace Queries
