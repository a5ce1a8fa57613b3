// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "production/chiprecord.h"

#include <QString>

// Why a record could not be kept.
struct RecordError
{
    enum class Kind {
        Unavailable, // the store did not answer (server down, locked, disk full): may later
        Refused,     // the store will not take it (no right, bad target, newer schema)
    };
    Kind kind = Kind::Unavailable;
    QString message;  // plain words for the operator; never a password
};

// What became of a record that was kept.
struct RecordKept
{
    bool madeAgain = false;   // the target was gone and has been made again
    int waiting = 0;          // records held back (spooled) for a store that didn't answer
};

// Where a station's records go. A station calls check() before it takes a chip and
// write() before it shows the chip's verdict; a failed write() stops the station.
// Called from the station's own thread only.
class RecordSink
{
public:
    virtual ~RecordSink() = default;

    // Whether a record can be kept now (the target opens and has room).
    virtual Result<void, RecordError> check() = 0;
    // Keeps the record whole or not at all.
    virtual Result<RecordKept, RecordError> write(const ChipRecord &record) = 0;
    // The target as the operator may see it: a path, or a URI with its password masked.
    virtual QString describe() const = 0;
};
