// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The flow control of the chip's line. The chip and its users call the hardware one
// "DSR/DTR Mode"; on the wire it is RTS/CTS.
enum class Handshake : quint8 {
    None,     // detection's probes and the wake-up byte
    XonXoff,  // "Xon-Xoff"
    DsrDtr,   // "DSR/DTR Mode"
};

// The handshake's name: "no handshake", "Xon-Xoff", "DSR/DTR Mode". The same in every
// language, for what programs read (JSON, the traffic log, the support report).
QString handshakeName(Handshake handshake);
// The name as the user's language has it, for lists and messages.
QString handshakeDisplayName(Handshake handshake);
// The handshake as the record and the command line spell it: "xon", "dtr"; empty for none.
QString handshakeKey(Handshake handshake);
// The handshake that a key of handshakeKey() stands for ("xon", "dtr"); nothing for any
// other text.
std::optional<Handshake> handshakeFromKey(QStringView key);
