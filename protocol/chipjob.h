// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"
#include "core/result.h"
#include "protocol/programmingstep.h"
#include "serial/connectionsettings.h"
#include "serial/seriallink.h"

#include <QList>
#include <QString>

#include <optional>

// What the whole chip jobs (reading, programming, the power commands...) share: why a job
// ended early, one written setting, and the listener through which a job asks a person or
// shows what happens. A job takes its inputs as one value when it starts and never reads
// a window; the window and qv12-chip each answer the listener their own way. Each job
// returns a JobResult: what it did, or why it could not, with its link's failures.

// Why a job stopped before its end.
struct JobError
{
    enum class Kind {
        Declined,       // the listener said no (the polarity question)
        PortFailed,     // the port could not be opened or its device went away: nothing
                        // more could reach the chip
        Stopped,        // the operator stopped it
        ProgramEnding,  // the program is ending
    };

    Kind kind = Kind::PortFailed;
    // What the link could not do during the job (the port that failed, and on the way any
    // other it could not open), oldest first.
    QList<LinkFailure> failures;

    // Stopped or ProgramEnding: the job was cancelled rather than let down.
    bool cancelled() const { return kind == Kind::Stopped || kind == Kind::ProgramEnding; }
};

template<class T>
using JobResult = Result<T, JobError>;

// One chip setting written and the byte the chip echoed (0 when it echoed nothing).
struct SettingWrite
{
    quint8 setting = 0;
    quint8 value = 0;
    quint8 echo = 0;
    bool echoed() const { return echo == value; }
    friend bool operator==(const SettingWrite &, const SettingWrite &) = default;
};

// Called on the job's thread. A front end in another thread answers through a
// RelayedListener, which brings each call over to its own.
class JobListener
{
public:
    virtual ~JobListener() = default;

    // Reading the configuration, each as soon as the chip has answered it, before the
    // next command goes out.
    virtual void modeRead(bool /*software*/) {}
    virtual void identityMethodRead(bool /*user*/) {}
    // The configuration word, or nothing when the answer was not 2 or 4 bytes long.
    virtual void configurationRead(const std::optional<ConfigWord> & /*word*/) {}

    // Programming in Software mode: the strobe polarity the chip's hardware detects, as
    // soon as it has answered.
    virtual void detectedPolarityRead(quint8 /*detected*/) {}
    // Programming in Software mode: the strobe polarity the chip's hardware detects
    // differs from the configuration's. True programs anyway.
    virtual bool programDespitePolarity(quint8 /*detected*/, int /*chosen*/) { return false; }
    // Each setting as written, with its echo, right after the echo came.
    virtual void settingWritten(const SettingWrite & /*write*/) {}
    // A setting's echo differed from its value; programming goes on.
    virtual void echoMismatch(const SettingWrite & /*write*/) {}

    // Wake-up: the chips have had their pause; the CAN to the chip's port comes next.
    virtual void woken() {}

    // Programming's progress: the step it begins now.
    virtual void progress(const ProgrammingStep & /*step*/) {}
};

namespace ChipJob {

// Opens the port of the chip's connection (with its settling wait); false when it can't
// be opened, or the job is cancelled.
inline bool open(SerialLink &link, const ConnectionSettings &chip)
{
    return link.open(chip.port, chip.speed, chip.handshake);
}

// Why a job ends that found its port closed under it (or could not open it): cancelled,
// or the port's failure; with the failures so far.
inline JobError stopped(const SerialLink &link)
{
    JobError error{JobError::Kind::PortFailed, link.failures()};
    switch (link.cancellation().reason()) {
    case Cancellation::Reason::None:
        break;
    case Cancellation::Reason::OperatorStopped:
        error.kind = JobError::Kind::Stopped;
        break;
    case Cancellation::Reason::ProgramEnding:
        error.kind = JobError::Kind::ProgramEnding;
        break;
    }
    return error;
}

} // namespace ChipJob
