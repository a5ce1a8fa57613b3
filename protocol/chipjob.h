// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/connectionsettings.h"
#include "serial/seriallink.h"

#include <QString>

#include <optional>

// What the whole chip jobs (reading, programming, the power commands...) share: how a
// job ended, one written setting, and the listener through which a job asks a person or
// shows what happens. A job takes its inputs as one value when it starts and never reads
// a window; the window and qv12-chip each answer the listener their own way.

enum class JobEnd {
    Done,        // every step ran (what the chip answered is in the job's result)
    Cancelled,   // the listener said no
    PortFailed,  // the port could not be opened or its device went away: nothing more
                 // could reach the chip (the link holds the failures)
    Aborted,     // the program is ending
};

// One chip setting written and the byte the chip echoed (0 when it echoed nothing).
struct SettingWrite
{
    quint8 setting = 0;
    quint8 value = 0;
    quint8 echo = 0;
    bool echoed() const { return echo == value; }
    friend bool operator==(const SettingWrite &, const SettingWrite &) = default;
};

class JobListener
{
public:
    virtual ~JobListener() = default;

    // Reading the configuration, each as soon as the chip has answered it, before the
    // next command goes out.
    virtual void modeRead(bool /*software*/) {}
    virtual void identityMethodRead(bool /*user*/) {}
    // The configuration word, or nothing when the answer was not 2 or 4 bytes long.
    virtual void configurationRead(const std::optional<QString> & /*word*/) {}

    // Programming in Software mode: the strobe polarity the chip's hardware detects
    // differs from the configuration's. True programs anyway.
    virtual bool programDespitePolarity(quint8 /*detected*/, int /*chosen*/) { return false; }
    // A setting's echo differed from its value; programming goes on.
    virtual void echoMismatch(const SettingWrite & /*write*/) {}

    // Wake-up: the chips have had their pause; the CAN to the chip's port comes next.
    virtual void woken() {}

    // A longer job's progress: steps done of total, and what is being done now.
    virtual void progress(int /*done*/, int /*total*/, const QString & /*step*/) {}
};

namespace ChipJob {

// Opens the port of the chip's connection (with its settling wait); false when it can't
// be opened, or the program is ending.
inline bool open(SerialLink &link, const ConnectionSettings &chip)
{
    return link.OpenPort(chip.PortNumber, chip.Speed, chip.Handshake);
}

// How a job ends that found its port closed under it.
inline JobEnd portEnd(const SerialLink &link)
{
    return link.isAborted() ? JobEnd::Aborted : JobEnd::PortFailed;
}

} // namespace ChipJob
