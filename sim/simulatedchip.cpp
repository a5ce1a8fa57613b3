// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/simulatedchip.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 NsPerMs = 1'000'000;
// Bytes due this soon go out with the ones due now: fewer wake-ups at high speeds.
constexpr qint64 SendAheadNs = NsPerMs;

} // namespace

qint64 SimulatedChip::nowNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

SimulatedChip::SimulatedChip(int speed, QObject *parent)
    : SimulatedChip(speed, Handshake::DsrDtr, parent)
{
}

SimulatedChip::SimulatedChip(int speed, Handshake handshake, QObject *parent)
    : QObject(parent), m_emulator(speed, handshake == Handshake::DsrDtr)
{
    start(speed, handshake);
}

void SimulatedChip::start(int, Handshake)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = u"cannot create a pseudo-terminal: %1"_s.arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = u"cannot name the pseudo-terminal"_s;
        return;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    m_slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveHold < 0) {
        m_error = u"cannot open %1: %2"_s.arg(m_devicePath, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    // Raw, so that nothing is echoed or translated, also after an opener restores the
    // settings it found. The speed 0 marks a line nobody has set: an opener that puts
    // these settings back when it closes may do so before this thread has read the last
    // bytes it sent, which a pseudo-terminal takes at once where a UART would still be
    // shifting them out. Those bytes are given the settings last seen (lineNow): theirs
    // when this thread looked while the port was open, which a busy machine may not let
    // it do for a port that is opened, written and closed at once (the wake-up byte).
    termios tio{};
    ::tcgetattr(m_slaveHold, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    // With EXTPROC on the line and packet mode on the master, every change of the
    // settings wakes this thread, so it sees the opener's settings while its bytes are
    // still coming, not only when they are read.
    tio.c_lflag |= EXTPROC;
    ::cfsetispeed(&tio, B0);
    ::cfsetospeed(&tio, B0);
    ::tcsetattr(m_slaveHold, TCSANOW, &tio);
    int packetMode = 1;
    ::ioctl(m_master, TIOCPKT, &packetMode);

    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        m_error = u"cannot create an eventfd"_s;
        return;
    }
    m_valid = true;
    m_thread = std::thread([this] { run(); });
    // A chip answers on time whatever else the computer does. Where the system allows
    // it, the chip's thread goes ahead of ordinary work, so that a busy machine does
    // not make its replies late; it only ever waits in ppoll(), so it takes no more
    // than it needs.
    sched_param priority{};
    priority.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
    ::pthread_setschedparam(m_thread.native_handle(), SCHED_FIFO, &priority);
}

SimulatedChip::~SimulatedChip()
{
    if (m_thread.joinable()) {
        {
            QMutexLocker lock(&m_mutex);
            m_stop = true;
        }
        wake();
        m_thread.join();
    }
    removeLink();
    for (int fd : {m_master, m_slaveHold, m_wakeFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SimulatedChip::wake()
{
    if (m_wakeFd >= 0)
        ::eventfd_write(m_wakeFd, 1);
}

Result<void, QString> SimulatedChip::createLink(const QString &path)
{
    if (!m_valid)
        return Failure(m_error);
    const QFileInfo info(path);
    if (info.isSymLink())
        QFile::remove(path);
    else if (info.exists())
        return Failure(u"%1 exists and is not a symbolic link"_s.arg(path));
    if (::symlink(QFile::encodeName(m_devicePath).constData(), QFile::encodeName(path).constData()) != 0)
        return Failure(u"cannot create %1: %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    m_linkPath = path;
    return {};
}

void SimulatedChip::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo info(m_linkPath);
    if (info.isSymLink() && info.symLinkTarget() == m_devicePath)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

void SimulatedChip::access(const std::function<void(ChipEmulator &)> &work)
{
    QMutexLocker lock(&m_mutex);
    work(m_emulator);
}

int SimulatedChip::speed() const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.speed();
}

quint8 SimulatedChip::setting(int n) const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.setting(n);
}

void SimulatedChip::setSetting(int n, quint8 value)
{
    QMutexLocker lock(&m_mutex);
    m_emulator.setSetting(n, value);
}

QByteArray SimulatedChip::settings() const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.settings();
}

bool SimulatedChip::setSettings(const QByteArray &all)
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.setSettings(all);
}

QByteArray SimulatedChip::identity() const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.identity();
}

std::pair<quint8, quint8> SimulatedChip::configuration() const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.configuration();
}

void SimulatedChip::restart()
{
    QMutexLocker lock(&m_mutex);
    m_emulator.restart();
}

bool SimulatedChip::isAsleep() const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.isAsleep(nowNs() / NsPerMs);
}

ChipFaults SimulatedChip::faults() const
{
    QMutexLocker lock(&m_mutex);
    return m_emulator.faults();
}

void SimulatedChip::setFaults(const ChipFaults &faults)
{
    {
        QMutexLocker lock(&m_mutex);
        const bool wasStreaming = m_emulator.faults().endlessStream;
        m_emulator.setFaults(faults);
        m_unplugCountdown = faults.unplugAfterBytes;
        if (faults.unplugAfterBytes == 0)
            m_unplugRequested = true;
        if (wasStreaming && !faults.endlessStream)
            dropOutputLocked();
    }
    wake();
}

void SimulatedChip::setSilent(bool silent)
{
    ChipFaults f = faults();
    f.silent = silent;
    setFaults(f);
}

void SimulatedChip::unplug()
{
    QMutexLocker lock(&m_mutex);
    if (!m_valid || m_unplugged)
        return;
    m_unplugRequested = true;
    wake();
    while (!m_unplugged)
        m_unpluggedCondition.wait(&m_mutex);
}

bool SimulatedChip::isUnplugged() const
{
    QMutexLocker lock(&m_mutex);
    return m_unplugged;
}

void SimulatedChip::sendUnasked(const QByteArray &bytes)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_master < 0)
            return;
        enqueueLocked(bytes, nowNs());
    }
    wake();
}

void SimulatedChip::flushLine()
{
    QMutexLocker lock(&m_mutex);
    dropOutputLocked();
}

void SimulatedChip::dropOutputLocked()
{
    m_tx.clear();
    m_streaming = false;
    if (m_slaveHold >= 0)
        ::tcflush(m_slaveHold, TCIFLUSH);
}

LineSettings SimulatedChip::lineSettings() const
{
    QMutexLocker lock(&m_mutex);
    return m_master >= 0 ? LineSettings::read(m_master) : LineSettings{};
}

void SimulatedChip::clearTranscript()
{
    m_received.clear();
    m_sent.clear();
}

bool SimulatedChip::waitForReceived(int count, int timeoutMs)
{
    return waitFor(m_received, count, timeoutMs);
}

bool SimulatedChip::waitForSent(int count, int timeoutMs)
{
    return waitFor(m_sent, count, timeoutMs);
}

bool SimulatedChip::waitFor(const Transcript &transcript, int count, int timeoutMs)
{
    if (transcript.size() >= count)
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &SimulatedChip::activity, &loop, [&] {
        if (transcript.size() >= count)
            loop.quit();
    });
    timer.start(timeoutMs);
    loop.exec();
    return transcript.size() >= count;
}

void SimulatedChip::notify(bool changed)
{
    if (!m_notifyPending.exchange(true)) {
        QMetaObject::invokeMethod(this, [this] {
            m_notifyPending = false;
            emit activity();
        }, Qt::QueuedConnection);
    }
    if (changed)
        QMetaObject::invokeMethod(this, [this] { emit settingsChanged(); }, Qt::QueuedConnection);
}

void SimulatedChip::run()
{
    for (;;) {
        int master = -1;
        qint64 waitNs = -1;
        {
            QMutexLocker lock(&m_mutex);
            if (m_stop)
                return;
            if (m_unplugRequested)
                unplugLocked();
            master = m_master;
            const qint64 now = nowNs();
            if (m_streaming && master >= 0 && m_tx.size() < 32)
                enqueueLocked(QByteArray("0123456789012345678901234567890123456789"), now);
            if (!m_tx.empty() && !m_txBlocked)
                waitNs = std::max<qint64>(0, m_tx.front().dueNs - now);
        }

        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {master, POLLIN, 0}};
        const nfds_t count = master >= 0 ? 2 : 1;
        if (m_txBlocked)
            fds[1].events |= POLLOUT;
        timespec timeout{};
        if (waitNs >= 0) {
            timeout.tv_sec = time_t(waitNs / 1'000'000'000);
            timeout.tv_nsec = long(waitNs % 1'000'000'000);
        }
        const int ready = ::ppoll(fds, count, waitNs >= 0 ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            eventfd_t value = 0;
            ::eventfd_read(m_wakeFd, &value);
        }
        if (count == 2) {
            if (fds[1].revents & POLLOUT)
                m_txBlocked = false;
            if (fds[1].revents & POLLIN)
                handleInput(nowNs());
            else if (fds[1].revents & (POLLERR | POLLNVAL)) {
                QMutexLocker lock(&m_mutex);
                unplugLocked();
                continue;
            }
        }
        sendDue(nowNs());
    }
}

void SimulatedChip::handleInput(qint64 now)
{
    // Packet mode: a read is a status byte alone (the opener changed the line's
    // settings, flushed...), or TIOCPKT_DATA followed by the bytes received.
    char packet[513];
    const ssize_t got = ::read(m_master, packet, sizeof packet);
    const LineSettings line = lineNow();
    if (got <= 1 || packet[0] != TIOCPKT_DATA)
        return;  // a status only, EAGAIN, or nobody at the other end
    const char *buffer = packet + 1;
    const ssize_t n = got - 1;
    bool changed = false;
    {
        QMutexLocker lock(&m_mutex);
        const quint64 before = m_emulator.settingsVersion();
        for (ssize_t i = 0; i < n; ++i) {
            const quint8 byte = quint8(buffer[i]);
            m_received.append(TranscriptEntry{now, byte, line});
            const QByteArray reply = m_emulator.receiveByte(byte, line.speed, now / NsPerMs);
            if (m_unplugCountdown > 0 && --m_unplugCountdown == 0) {
                unplugLocked();
                break;
            }
            if (!reply.isEmpty()) {
                enqueueLocked(reply, now + qint64(m_emulator.takeReplyDelayMs()) * NsPerMs);
                if (m_emulator.faults().endlessStream)
                    m_streaming = true;
            }
        }
        changed = m_emulator.settingsVersion() != before;
    }
    notify(changed);
}

LineSettings SimulatedChip::lineNow()
{
    const LineSettings line = LineSettings::read(m_master);
    if (line.speed != 0)
        m_lastLine = line;
    return m_lastLine;
}

void SimulatedChip::enqueueLocked(const QByteArray &reply, qint64 now)
{
    const qint64 byteNs = 10'000'000'000LL / std::max(1, m_emulator.speed());
    const ChipFaults &f = m_emulator.faults();
    qint64 due = std::max(now, m_txLastDue);
    for (qsizetype i = 0; i < reply.size(); ++i) {
        if (f.burstSize > 0 && i > 0 && i % f.burstSize == 0)
            due += qint64(f.burstGapMs) * NsPerMs;
        due += byteNs;
        m_tx.push_back(Pending{due, reply.at(i)});
    }
    m_txLastDue = due;
}

void SimulatedChip::sendDue(qint64 now)
{
    bool wrote = false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_master < 0 || m_txBlocked || m_tx.empty())
            return;
        QByteArray chunk;
        for (const Pending &p : m_tx) {
            if (p.dueNs > now + SendAheadNs)
                break;
            chunk.append(p.byte);
        }
        if (chunk.isEmpty())
            return;
        ssize_t written = ::write(m_master, chunk.constData(), size_t(chunk.size()));
        if (written < 0)
            written = 0;
        if (written < chunk.size())
            m_txBlocked = true;  // the opener isn't reading: wait until there is room
        const LineSettings line = lineNow();
        for (ssize_t i = 0; i < written; ++i) {
            m_sent.append(TranscriptEntry{now, quint8(m_tx.front().byte), line});
            m_tx.pop_front();
        }
        wrote = written > 0;
    }
    if (wrote)
        notify(false);
}

void SimulatedChip::unplugLocked()
{
    m_unplugRequested = false;
    if (m_unplugged)
        return;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveHold >= 0)
        ::close(m_slaveHold);
    m_master = -1;
    m_slaveHold = -1;
    m_tx.clear();
    m_streaming = false;
    m_unplugCountdown = -1;
    m_unplugged = true;
    m_unpluggedCondition.wakeAll();
}
