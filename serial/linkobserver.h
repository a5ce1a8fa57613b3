// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// What a job asks of its link, step by step, without the time each step took: the port
// opened, bytes sent, fixed waits, polled reads, the port closed. The benchmark builds
// an exchange's least possible time from the steps of the real job, so that a change to
// the protocol's code moves that floor with it.
class LinkObserver
{
public:
    virtual ~LinkObserver() = default;

    // The port opened at speed (bit/s); open()'s settling wait follows as a wait.
    virtual void opened(int speed) = 0;
    virtual void sent(qsizetype bytes) = 0;
    // A fixed wait of ms: a pause, counted from when the bytes sent have left the line,
    // or a time-out that ran out.
    virtual void waited(int ms) = 0;
    // A read that polled until the reply was in (and, for a text, the silence after it):
    // the bytes the reply had, 0 when nothing came.
    virtual void polled(qsizetype bytes, bool text) = 0;
    // Closed, once the bytes sent had left the line.
    virtual void closed() = 0;
};
