// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"
#include "core/result.h"
#include "protocol/programming.h"

#include <QString>

#include <optional>

// What a station (and qv12-chip program) writes into a chip, and what it expects of it
// afterwards: the word or Hardware mode, the database entry the word came from, the
// identity to write or the identity determination expected, and what to do when the
// chip's hardware detects another strobe polarity than the word's.
struct ProgrammingTarget
{
    // The chip detects another strobe polarity than the configuration has.
    enum class PolarityAnswer {
        Program,  // program it all the same
        Refuse,   // leave it as it is (the chip fails)
        Ask,      // ask the person at the station
    };

    ProgrammingInput input;
    std::optional<ConfigWord> word;      // Software mode: the word the chip must hold
    QString entry;                       // the database entry it came from, if any
    std::optional<bool> userIdentity;    // the identity determination expected, if given
    std::optional<QString> identity;     // the mechanism identity the chip must report
    PolarityAnswer polarity = PolarityAnswer::Refuse;

    // Software mode with word (one programmableWord() gave).
    void setWord(ConfigWord word);
    // The identity written as name, and expected as the chip will report it.
    void setIdentity(const QString &name);
    // The chip's own identity expected (Automatic identity).
    void setAutomaticIdentity();

    // The number of settings programming writes.
    int settingCount() const;
};

// The word text spells when the chip can be programmed with it as it is, or why not. A
// word must be one the chip holds as it is: every field a known code, position 1 "1"
// (Chipset mode, which programming always writes) and positions 13 to 16 "0"; anything
// else would read back differently from what was asked.
Result<ConfigWord, QString> programmableWord(QStringView text);

// The mechanism identity the chip reports once name is programmed: the bytes it holds up
// to the first 0, read back as Check configuration reads them.
QString identityHeld(const QString &name);
