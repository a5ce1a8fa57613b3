// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Any system Qt runs on, with Qt alone. What it can't know: how many bytes the driver
// still queues and whether the transmitter is busy (the line's own pace stands in for
// both), deadlines finer than a millisecond, placeholder ports, and whether the program
// named in a lock file still runs.
#include "serial/platform.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>

namespace Platform {

qint64 monotonicNs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}

qint64 queuedOutput(QSerialPort &port)
{
    return port.bytesToWrite();
}

bool transmitterBusy(QSerialPort &)
{
    return false;
}

void pullInput(QSerialPort &port)
{
    // Waiting no time at all: what the system has is read, nothing more is awaited.
    if (port.waitForReadyRead(0))
        return;
    port.clearError();  // the wait's time-out is no error of the port
}

void runUntil(QEventLoop &loop, qint64 deadlineNs)
{
    // Whole milliseconds, rounded up: a wait may come out up to one longer, never shorter.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::max<qint64>(0, (deadlineNs - monotonicNs() + 999'999) / 1'000'000)));
    loop.exec();
}

LinkFailure::Kind refusedOpen(const QString &device)
{
    const QFileInfo info(device);
    if (!info.exists())
        return LinkFailure::Kind::NoDevice;
    return info.isReadable() && info.isWritable() ? LinkFailure::Kind::Busy
                                                  : LinkFailure::Kind::PermissionDenied;
}

bool isPlaceholderPort(const QString &)
{
    return false;
}

std::optional<bool> processRuns(qint64)
{
    return std::nullopt;
}

} // namespace Platform
