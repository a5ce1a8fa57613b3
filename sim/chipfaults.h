// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <optional>

// Faults a test can switch on in the simulated chip. The defaults are a healthy chip.
struct ChipFaults
{
    // Nothing behind the port: every byte is ignored, nothing is answered.
    bool silent = false;
    // writeSetting of these settings is stored but not echoed...
    QSet<int> noEcho;
    // ...or echoed with this byte instead of the value written.
    QHash<int, quint8> wrongEcho;
    // writeSetting of these settings stores the value with these bits set, as a worn
    // EEPROM cell that reads 1 whatever is written; the echo is of the byte received, so
    // only reading back tells.
    QHash<int, quint8> stuckBits;
    // Bytes in the answer to readConfiguration: 2 is right; more puts junk bytes
    // (65, 66, ...) before the two configuration bytes; fewer cuts the answer short.
    int configReplyLength = 2;
    // Bytes in the answer to probe (normally 1), from the probeFaultFrom-th probe on,
    // counted from when the faults were set; earlier probes get their one byte.
    int probeReplyBytes = 1;
    int probeFaultFrom = 1;
    // Replaces the identity text; an empty value means no answer at all.
    std::optional<QByteArray> identityReply;
    // The next this many identity requests go unanswered (a reply lost on the line);
    // each one missed counts down.
    int missedIdentityReplies = 0;
    // GS "Sf" n of these settings is answered this many ms late: after its exchange has
    // given up on it, as a chip busy with something else may.
    QHash<int, int> lateSettingMs;
    // Replies leave in bursts of burstSize bytes with burstGapMs of silence between.
    int burstSize = 0;
    int burstGapMs = 0;
    // After its next reply the chip goes on sending for as long as this stays set.
    bool endlessStream = false;
    // The pseudo-terminal closes (the cable is pulled) once this many more bytes have
    // been received; the reply to the last of them is not sent. Negative: never.
    int unplugAfterBytes = -1;
};
