// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

class SerialLink;

// The chip exchanges of identification, configuration read, programming and the power
// commands, each in its order of bytes, waits and reads, on a port the caller has
// opened. The handlers put their window steps between them.
namespace Exchanges {

// Sends a command that the chip answers, the input emptied first: a late answer to an
// earlier request (or noise on the line) must never be taken for this one's. What is
// dropped stays in the link's traffic record.
void request(SerialLink &link, const QByteArray &command);

// ESC "I", 100 ms, then the reply until the line falls silent.
QByteArray identify(SerialLink &link);
// ESC "I" and its reply, read at once (the configuration read).
QByteArray identifyNow(SerialLink &link);
// GS "Sf" n and the one byte answered (0 when nothing comes).
quint8 readSetting(SerialLink &link, quint8 setting);
// GS "SC" and its reply until the line falls silent.
QByteArray readConfiguration(SerialLink &link);
// GS "Sh" and the one byte answered.
quint8 readDetectedPolarity(SerialLink &link);
// GS "SF" n v and the chip's echo of v (0 when nothing comes).
quint8 writeSetting(SerialLink &link, quint8 setting, quint8 value);
// CAN, ESC "S", 10 ms, CAN: each its own write.
void sleep(SerialLink &link);
// ESC "@".
void reset(SerialLink &link);
// CAN alone.
void cancel(SerialLink &link);

// The configuration word in a reply to GS "SC": two bytes, high first, or four of which
// the first two are ignored; nothing for any other length.
std::optional<ConfigWord> configurationWord(const QByteArray &reply);

// The mechanism identity in a reply to ESC "I": its first 16 characters, spaces at both
// ends removed, and a final "PNX" (exact case) with the spaces before it taken off too.
QString mechanismIdentity(const QByteArray &identityReply);

// The settings that carry a user identity: the first 16 characters of name, one per
// setting from 9 on, each as its ISO 8859-1 byte ("?" for a character outside it), and
// a 0 in the setting after them when there are fewer than 16.
QList<std::pair<quint8, quint8>> identitySettings(const QString &name);

// An identity is printable text: whether name holds a control character (C0, DEL or
// C1), which would reach the chip as a raw byte. Characters outside ISO 8859-1 are not
// control characters; they go out as "?".
bool hasControlCharacters(const QString &name);

// Only spaces count, as the chip pads with them.
QString stripSpaces(const QString &text);

} // namespace Exchanges
