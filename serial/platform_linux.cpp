// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Linux: the driver's output queue and transmitter, a timerfd for deadlines finer than a
// millisecond, sysfs for placeholder ports, and whether a lock file's process runs.
#include "serial/platform.h"

#include <QEventLoop>
#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <linux/serial.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Platform {

qint64 monotonicNs()
{
    // The clock of QElapsedTimer and of the simulator's transcripts.
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

qint64 queuedOutput(QSerialPort &port)
{
    int queued = 0;
    if (::ioctl(int(port.handle()), TIOCOUTQ, &queued) != 0)
        queued = 0;
    return queued + port.bytesToWrite();
}

bool transmitterBusy(QSerialPort &port)
{
    int lsr = 0;
    return ::ioctl(int(port.handle()), TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT);
}

void pullInput(QSerialPort &port)
{
    int pending = 0;
    if (::ioctl(int(port.handle()), FIONREAD, &pending) == 0 && pending > 0)
        port.waitForReadyRead(0);
}

void runUntil(QEventLoop &loop, qint64 deadlineNs)
{
    // A timerfd rather than a QTimer: a QTimer counts whole milliseconds, and rounding
    // each wait for the line up to the next one would add up over an action.
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    itimerspec expiry{};
    expiry.it_value.tv_sec = time_t(deadlineNs / 1'000'000'000);
    expiry.it_value.tv_nsec = long(deadlineNs % 1'000'000'000);
    if (fd < 0 || ::timerfd_settime(fd, TFD_TIMER_ABSTIME, &expiry, nullptr) != 0) {
        if (fd >= 0)
            ::close(fd);
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(int(std::max<qint64>(0, (deadlineNs - monotonicNs() + 999'999) / 1'000'000)));
        loop.exec();
        return;
    }
    {
        QSocketNotifier expired(fd, QSocketNotifier::Read);
        QObject::connect(&expired, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        loop.exec();
    }
    ::close(fd);
}

LinkFailure::Kind refusedOpen(const QString &device)
{
    // A lock or TIOCEXCL leaves access intact; a refused open does not.
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) == 0)
        return LinkFailure::Kind::Busy;
    return errno == ENOENT ? LinkFailure::Kind::NoDevice : LinkFailure::Kind::PermissionDenied;
}

bool isPlaceholderPort(const QString &portName)
{
    // The 8250 driver registers ttyS0..ttyS31 whether or not a UART is there; sysfs tells
    // the placeholders apart (type 0 = no UART) without opening the device.
    if (!portName.startsWith(u"ttyS"_s))
        return false;
    QFile type(u"/sys/class/tty/%1/type"_s.arg(portName));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    return type.readAll().trimmed() == "0";
}

std::optional<bool> processRuns(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace Platform
