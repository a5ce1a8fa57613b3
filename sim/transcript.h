// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/linesettings.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

// One byte that crossed the line, when, and how the line was set at that moment.
struct TranscriptEntry
{
    qint64 timeNs = 0;  // CLOCK_MONOTONIC, the clock of QElapsedTimer
    quint8 byte = 0;
    LineSettings line;
};

// The bytes that crossed the line in one direction. Written by the simulator's thread,
// read by tests on theirs.
class Transcript final
{
public:
    void append(const TranscriptEntry &entry);
    void clear();

    QList<TranscriptEntry> entries() const;
    QByteArray bytes() const;
    int size() const;

private:
    mutable QMutex m_mutex;
    QList<TranscriptEntry> m_entries;
};
