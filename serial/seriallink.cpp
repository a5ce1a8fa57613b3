// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/seriallink.h"

#include "core/logging.h"
#include "serial/platform.h"
#include "serial/portdetails.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

QSerialPort::FlowControl flowControl(Handshake handshake)
{
    switch (handshake) {
    case Handshake::XonXoff:
        return QSerialPort::SoftwareControl;
    case Handshake::DsrDtr:
        return QSerialPort::HardwareControl;
    case Handshake::None:
        break;
    }
    return QSerialPort::NoFlowControl;
}

// What the line does, for the debug log: the flow control on the wire.
QString wireName(Handshake handshake)
{
    switch (handshake) {
    case Handshake::XonXoff:
        return u"Xon/Xoff"_s;
    case Handshake::DsrDtr:
        return u"RTS/CTS"_s;
    case Handshake::None:
        break;
    }
    return u"no handshake"_s;
}

} // namespace

SerialLink::SerialLink(PortMap ports, QObject *parent)
    : QObject(parent), m_ports(std::move(ports)), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialLink::bytesArrived);
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { onPortError(error); });
}

SerialLink::~SerialLink()
{
    closeQuietly();
}

void SerialLink::startJob(Cancellation cancellation)
{
    m_cancellation = std::move(cancellation);
    m_failures.clear();
    m_lastFailure.reset();
}

bool SerialLink::cancelled()
{
    if (!m_cancellation.isRequested())
        return false;
    closeQuietly();
    return true;
}

bool SerialLink::portExists(int port) const
{
    if (port < PortMap::FirstPort || port > PortMap::LastPort)
        return false;
    return m_ports.exists(port);
}

bool SerialLink::open(int port, int speed, Handshake handshake)
{
    if (cancelled())
        return false;
    if (isOpen())
        return true;  // keeps the settings it was opened with
    if (!openDirect(port, speed, handshake))
        return false;
    pause(SettleMs);
    return isOpen();
}

bool SerialLink::openDirect(int port, int speed, Handshake handshake)
{
    m_lastFailure.reset();
    if (cancelled())
        return false;
    close();  // new settings take hold only on a fresh open

    const QString device = m_ports.device(port);
    m_openedPort = port;
    m_openedDevice = device;
    m_openedSpeed = speed;
    m_openedHandshake = handshake;
    if (port < PortMap::FirstPort || port > PortMap::LastPort || device.isEmpty()) {
        record(LinkFailure::Kind::NoDevice, port, device,
               QCoreApplication::translate("SerialLink", "No device is assigned to COM%1").arg(port));
        recordEvent(TrafficEvent::Kind::OpenFailed, {}, u"no device"_s);
        return false;
    }
    if (m_openedSpeed <= 0) {
        record(LinkFailure::Kind::Other, port, device, QCoreApplication::translate("SerialLink", "Unsupported line speed \"%1\"").arg(speed));
        recordEvent(TrafficEvent::Kind::OpenFailed, {}, u"unsupported line speed"_s);
        return false;
    }

    // Opened under its own name, so that Qt's lock file is the one other programs take
    // for it too, and kept by its number against a second user under another name.
    const QString path = PortLock::resolve(device);
    if (!m_lock.acquire(path)) {
        recordEvent(TrafficEvent::Kind::OpenFailed, {}, u"held by another program"_s);
        recordHeld(port, device, path);
        return false;
    }
    m_port->setPortName(path);
    m_port->setBaudRate(m_openedSpeed);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(flowControl(handshake));
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_lock.release();
        recordEvent(TrafficEvent::Kind::OpenFailed, {}, m_port->errorString());
        recordOpenFailure(port, device, path);
        return false;
    }
    // The superuser passes the exclusive-open flag; this lock holds for everyone.
    if (!m_lock.lockOpened(int(m_port->handle()))) {
        dropOpened();
        recordEvent(TrafficEvent::Kind::OpenFailed, {}, u"held by another program"_s);
        recordHeld(port, device, path);
        return false;
    }
    // A link resolved a moment ago may point elsewhere now, and a freed device number go
    // to the next device made: what was opened must still be what the name stands for,
    // or it is another program's chip.
    if (PortLock::resolve(device) != path) {
        dropOpened();
        record(LinkFailure::Kind::NoDevice, port, device,
               QCoreApplication::translate("SerialLink", "The device went away while it was being opened"));
        recordEvent(TrafficEvent::Kind::OpenFailed, {}, u"the device went away while it was being opened"_s);
        return false;
    }
    m_lost = false;
    m_byteNs = 10'000'000'000LL / m_openedSpeed;
    m_lineFreeNs = 0;
    recordEvent(TrafficEvent::Kind::Opened);
    if (m_observer)
        m_observer->opened(m_openedSpeed);
    qCDebug(lcSerial).noquote() << u"opened COM%1 (%2) at %3 bauds, 8N1, %4"_s.arg(port).arg(path).arg(m_openedSpeed)
        .arg(wireName(handshake));
    emit openChanged(true);
    return true;
}

void SerialLink::recordHeld(int port, const QString &device, const QString &path)
{
    std::optional<qint64> holder = m_lock.holder();
    if (!holder)
        holder = SerialLocks::holder(path);
    if (!holder)
        holder = SerialLocks::holder(device);
    record(LinkFailure::Kind::Busy, port, device, QCoreApplication::translate("SerialLink", "held by another program"), holder);
}

void SerialLink::recordOpenFailure(int port, const QString &device, const QString &path)
{
    LinkFailure::Kind kind = LinkFailure::Kind::Other;
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
        kind = LinkFailure::Kind::NoDevice;
        break;
    case QSerialPort::PermissionError:
        // Qt reports a refused open and a port locked by another program alike.
        kind = Platform::refusedOpen(path);
        if (kind == LinkFailure::Kind::Busy) {
            m_port->clearError();
            recordHeld(port, device, path);
            return;
        }
        break;
    default:
        break;
    }
    record(kind, port, device, m_port->errorString());
    m_port->clearError();
}

void SerialLink::close()
{
    if (!m_port->isOpen() || cancelled())
        return;
    // Qt puts back the settings it found when it opened; bytes still on the wire would
    // leave under those.
    waitAfterOutput(0);
    if (m_observer && isOpen())
        m_observer->closed();
    closeQuietly();
}

void SerialLink::closeQuietly()
{
    // The lock file before the port: once the port is closed, the device's number may go
    // to the next device made (a pseudo-terminal's does), whose user must not find it held.
    m_lock.release();
    if (m_port->isOpen()) {
        m_port->close();
        recordEvent(TrafficEvent::Kind::Closed);
        qCDebug(lcSerial, "closed COM%d", m_openedPort);
        emit openChanged(false);
    }
    m_port->clearError();
    m_lost = false;
}

void SerialLink::dropOpened()
{
    m_lock.release();
    m_port->close();
    m_port->clearError();
}

bool SerialLink::isOpen() const
{
    return m_port->isOpen() && !m_lost;
}

void SerialLink::send(const QByteArray &text)
{
    if (cancelled() || !isOpen() || text.isEmpty())
        return;
    recordEvent(TrafficEvent::Kind::Sent, text);
    if (m_observer)
        m_observer->sent(text.size());
    qCDebug(lcSerial).noquote() << u"COM%1 sent: %2"_s.arg(m_openedPort).arg(Logging::hex(text));
    const qint64 now = TrafficRecord::nowNs();
    m_lineFreeNs = std::max(m_lineFreeNs, now) + m_byteNs * text.size();
    m_port->write(text);
    // Into the driver now rather than at the next event loop turn, so that the bytes
    // leave while the caller waits.
    m_port->flush();
}

void SerialLink::waitAfterOutput(int ms)
{
    const qint64 giveUpNs = std::max(m_lineFreeNs, TrafficRecord::nowNs())
        + qint64(MaxOutputStallMs) * 1'000'000;
    while (!cancelled() && isOpen()) {
        if (m_port->bytesToWrite() > 0)
            m_port->flush();
        // The driver's queue first (and the transmitter, where the driver tells); then
        // the line's own pace, since what a UART's FIFO still holds after the driver's
        // queue is empty can't have left sooner than that. One wait to the end of both.
        const qint64 now = TrafficRecord::nowNs();
        const qint64 queued = Platform::queuedOutput(*m_port);
        const bool shifting = Platform::transmitterBusy(*m_port);
        if ((queued == 0 && !shifting) || now >= giveUpNs) {
            sleepUntilNs(std::max(now, m_lineFreeNs) + qint64(ms) * 1'000'000);
            return;
        }
        sleepUntilNs(now + std::max(queued * m_byteNs, qint64(1'000'000)));
    }
    sleepUntilNs(TrafficRecord::nowNs() + qint64(ms) * 1'000'000);
}

void SerialLink::sleepUntilNs(qint64 deadlineNs)
{
    QEventLoop loop;
    // Connected before the look at the request: one made in between still ends the wait.
    m_cancellation.onRequested(&loop, [&loop] { loop.quit(); });
    if (cancelled())
        return;
    Platform::runUntil(loop, deadlineNs);
    cancelled();  // a cancelled job's port closes now, in the link's own thread
}

QByteArray SerialLink::take(qint64 maxBytes, const QString &note)
{
    const QByteArray read = m_port->read(maxBytes);
    if (!read.isEmpty()) {
        recordEvent(TrafficEvent::Kind::Received, read, note);
        qCDebug(lcSerial).noquote() << u"COM%1 received: %2%3"_s.arg(m_openedPort).arg(Logging::hex(read))
                                           .arg(note.isEmpty() ? QString() : u" ("_s + note + u')');
    }
    return read;
}

void SerialLink::recordEvent(TrafficEvent::Kind kind, const QByteArray &bytes, const QString &note)
{
    TrafficEvent event{0, kind, qint8(m_openedPort), m_openedHandshake, m_openedSpeed,
                       m_openedDevice, bytes, note};
    if (m_programTraffic)
        event = m_programTraffic->record(std::move(event));
    else
        event.timeNs = TrafficRecord::nowNs();
    m_traffic.append(std::move(event));
}

void SerialLink::pull()
{
    if (isOpen())
        Platform::pullInput(*m_port);
}

int SerialLink::bytesWaiting() const
{
    if (!isOpen() || m_cancellation.isRequested())
        return 0;
    const_cast<SerialLink *>(this)->pull();
    return isOpen() ? int(m_port->bytesAvailable()) : 0;
}

QByteArray SerialLink::readWaiting()
{
    if (cancelled() || !isOpen())
        return {};
    pull();
    return isOpen() ? take(ReadLimit) : QByteArray();
}

void SerialLink::discardInput()
{
    if (cancelled() || !isOpen())
        return;
    // Taken and recorded rather than flushed unseen: the record shows every byte, and
    // marks those that answered nothing.
    pull();
    while (isOpen() && m_port->bytesAvailable() > 0)
        take(m_port->bytesAvailable(), TrafficEvent::DroppedNote);
}

QByteArray SerialLink::readReply()
{
    QByteArray result;
    QElapsedTimer clock;
    clock.start();
    PollClock polls(clock);
    while (awaitBytes(polls, m_maxReplyMs)) {
        result += take(qMin(ReadLimit, m_maxReplyBytes - int(result.size())));
        polls.restart();
        // A device that never falls silent must not hold the action for ever.
        if (result.size() >= m_maxReplyBytes || clock.elapsed() >= m_maxReplyMs)
            break;
    }
    if (result.isEmpty())
        qCDebug(lcSerial, "COM%d: no answer (time-out after %lld ms)", m_openedPort, clock.elapsed());
    if (m_observer)
        m_observer->polled(result.size(), true);
    return result;
}

quint8 SerialLink::readReplyByte()
{
    QElapsedTimer clock;
    clock.start();
    PollClock polls(clock);
    if (!awaitBytes(polls, std::numeric_limits<qint64>::max())) {
        qCDebug(lcSerial, "COM%d: no answer byte (time-out after %lld ms)", m_openedPort, clock.elapsed());
        if (m_observer)
            m_observer->polled(0, false);
        return 0;
    }
    const QByteArray read = take(ReadLimit);
    if (m_observer)
        m_observer->polled(read.size(), false);
    return read.isEmpty() ? 0 : quint8(read.at(0));
}

bool SerialLink::awaitBytes(PollClock &polls, qint64 deadlineMs)
{
    int idle = 0;
    while (isOpen()) {
        if (bytesWaiting() > 0)
            return true;
        if (polls.clock.elapsed() >= deadlineMs)
            return false;
        waitForPoll(polls);
        if (++idle >= SilentPolls)
            return false;
    }
    return false;
}

void SerialLink::waitForPoll(PollClock &polls)
{
    // Each poll is due 10 ms after the one before on a fixed grid, so a timer that fires
    // a little late does not push all the later polls back: 50 empty polls end 500 ms
    // after the first, not 500 ms plus 50 latenesses. Never earlier than the grid; when
    // a handler run inside the wait has held things up past the next poll, the grid
    // starts again from now rather than polling in a burst.
    constexpr qint64 IntervalNs = qint64(PollIntervalMs) * 1'000'000;
    const qint64 now = polls.clock.nsecsElapsed();
    polls.nextNs += IntervalNs;
    if (polls.nextNs <= now)
        polls.nextNs = now + IntervalNs;
    // The polls keep their grid while sent bytes are still leaving: a reply can't come
    // before them anyway, and waiting them out first would only read it later.
    sleepUntilNs(TrafficRecord::nowNs() + polls.nextNs - now);
}

void SerialLink::pause(int ms)
{
    if (m_observer)
        m_observer->waited(qMax(0, ms));
    waitAfterOutput(qMax(0, ms));
}

void SerialLink::setReplyBounds(int maxBytes, int maxMs)
{
    m_maxReplyBytes = qMax(1, maxBytes);
    m_maxReplyMs = qMax(0, maxMs);
}

void SerialLink::record(LinkFailure::Kind kind, int port, const QString &device, const QString &text,
                        std::optional<qint64> holder)
{
    m_lastFailure = LinkFailure{kind, port, device, text, holder};
    qCDebug(lcSerial).noquote() << m_lastFailure->describe();
    for (const LinkFailure &f : std::as_const(m_failures)) {
        if (f.kind == kind && f.port == port)
            return;
    }
    m_failures.append(LinkFailure{kind, port, device, text, holder});
}

void SerialLink::onPortError(int error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // A read of nothing or an I/O error on an open port: the device has gone.
        if (m_port->isOpen())
            deviceLost();
        break;
    default:
        break;
    }
}

void SerialLink::deviceLost()
{
    if (m_lost)
        return;
    m_lost = true;
    record(LinkFailure::Kind::Unplugged, m_openedPort, m_openedDevice, m_port->errorString());
    recordEvent(TrafficEvent::Kind::Lost, {}, m_port->errorString());
    emit openChanged(false);
    // Not from inside the port's own notification: close once control is back.
    QMetaObject::invokeMethod(this, [this] {
        if (m_lost)
            closeQuietly();
    }, Qt::QueuedConnection);
}
