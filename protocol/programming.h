// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/editorfields.h"
#include "protocol/chipjob.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// Programming a configuration into the chip: its configuration mode and (in Software
// mode) the two configuration bytes, its identity (automatic, or a name of up to 16
// characters), then a reset, a second's pause while it restarts, and its new identity.
// Each phase opens the port and closes it again. Every setting's echo is checked; a
// wrong one is reported and programming goes on. A port that can't be opened or whose
// device goes away ends the job there; the listener has heard of each setting written
// until then.
struct ProgrammingInput
{
    bool software = false;       // "Software": the fields below; else "Hardware"
    bool userIdentity = false;   // "User": the name below; else "Automatic"
    EditorFields fields;         // Software: all eight defined
    QString name;                // User: not empty; only its first 16 characters go out
};

struct ProgrammingResult
{
    std::optional<quint8> detectedPolarity;  // Software: the chip's answer to GS "Sh"
    QList<SettingWrite> writes;              // in the order written
    QByteArray identity;                     // after the restart

    qsizetype mismatches() const;
};

namespace Programming {

// The settings input writes, in order: 6 (and 7, 8), then the identity's from 9 on.
QList<std::pair<quint8, quint8>> settingsFor(const ProgrammingInput &input);

// Writes one setting on the open port, reads its echo, tells the listener when it
// differs, and waits 100 ms (also after a wrong echo).
SettingWrite programSetting(SerialLink &link, quint8 setting, quint8 value, JobListener &listener);

// Declined when the listener would not program despite a different strobe polarity.
JobResult<ProgrammingResult> program(SerialLink &link, const ConnectionSettings &chip,
                                     const ProgrammingInput &input, JobListener &listener);

} // namespace Programming
