// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/linkfailure.h"

#include <QString>
#include <QtGlobal>

#include <optional>

class QEventLoop;
class QSerialPort;

// What the serial code asks of the operating system beyond Qt. Each platform has one file
// with these (platform_linux.cpp); platform_portable.cpp answers with Qt alone, for any
// system Qt runs on, and is what a build with -DQV12_PORTABLE=ON uses on Linux too. The
// README says what the portable answers lose.
namespace Platform {

// The monotonic clock in nanoseconds: the traffic record's stamps and every deadline of
// the link. The same clock as QElapsedTimer's.
qint64 monotonicNs();

// Bytes written to port and not yet handed to its transmitter: Qt's buffer and the
// driver's queue.
qint64 queuedOutput(QSerialPort &port);
// True while the transmitter still shifts out a byte, where the driver tells; false where
// it doesn't (the line's own pace then stands in for it).
bool transmitterBusy(QSerialPort &port);
// Takes what the system has received into the port object's buffer now, without waiting,
// so that a look at the bytes waiting counts what has arrived by this moment.
void pullInput(QSerialPort &port);

// Runs loop until the monotonic clock reaches deadlineNs, or until something else quits
// it. As close to the deadline as the system's timers go (a microsecond on Linux).
void runUntil(QEventLoop &loop, qint64 deadlineNs);

// Why a device that exists refused to open for "permission" (Qt tells no more): the
// user may not use it, or another program holds it, or it has gone meanwhile.
LinkFailure::Kind refusedOpen(const QString &device);

// True for a serial port the system lists without hardware behind it (the kernel's
// placeholder ttyS ports). Opens nothing.
bool isPlaceholderPort(const QString &portName);

// Whether the process pid runs (also as another user); nothing where the system can't tell.
std::optional<bool> processRuns(qint64 pid);

} // namespace Platform
