// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Where programming is, as its progress tells a front end: each setting written, the
// reset, the request for the new identity; and after programming, for the front ends
// that check the chip, the read-back.
struct ProgrammingStep
{
    enum class Kind : quint8 {
        Setting,   // a chip setting is written
        Reset,     // the reset that restarts the chip
        Identity,  // its new identity is asked for
        ReadBack,  // programming is over: the chip is read back to check it
    };

    // Programming's steps after its settings: the reset and the identity request.
    static constexpr int StepsAfterSettings = 2;

    Kind kind = Kind::Setting;
    int done = 0;        // programming's steps done before this one
    int total = 0;       // programming's steps: its settings, the reset and the identity request
    quint8 setting = 0;  // Setting: the chip setting written now

    // Setting: the how-manieth setting this is, from 1, of settingCount().
    int settingNumber() const { return done + 1; }
    int settingCount() const { return total - StepsAfterSettings; }
};
