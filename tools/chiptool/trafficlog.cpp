// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/trafficlog.h"

#include "files/regularfile.h"
#include "serial/traffictext.h"

#include <QCoreApplication>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

TrafficLog::TrafficLog(TrafficRecord &record, QObject *parent)
    : QObject(parent), m_record(record)
{
}

TrafficLog::~TrafficLog()
{
    if (m_fd >= 0) {
        write(passedOver());
        ::close(m_fd);
    }
}

Result<void, QString> TrafficLog::open(const QString &path)
{
    // Appended to, never emptied: a log given by mistake the name of another file loses
    // nothing of it.
    const Result<RegularFile::Opened, RegularFile::OpenError> opened =
        RegularFile::open(path, O_WRONLY | O_APPEND | O_CREAT);
    if (!opened)
        return Failure(opened.error().reason);
    m_fd = opened->fd;
    m_path = path;
    m_next = m_record.nextSequence();
    connect(&m_record, &TrafficRecord::changed, this, &TrafficLog::writeNew);
    return {};
}

QString TrafficLog::passedOver()
{
    if (m_passedOver == 0)
        return {};
    // At the time, COM number and speed of the last of them.
    const QString line = TrafficText::head(m_lastPassedOver, m_record.originNs())
        + QCoreApplication::translate("TrafficLog", "<- ... %1 more bytes\n").arg(QLocale(QLocale::English).toString(m_passedOver));
    m_passedOver = 0;
    return line;
}

void TrafficLog::writeNew()
{
    if (m_fd < 0)
        return;
    const QList<TrafficEvent> events = m_record.eventsSince(m_next);
    m_next = m_record.nextSequence();
    QString text;
    for (const TrafficEvent &event : events) {
        if (event.kind == TrafficEvent::Kind::Received) {
            const qint64 room = qMax<qint64>(0, FloodLimitBytes - m_receivedInRun);
            m_receivedInRun += event.bytes.size();
            TrafficEvent logged = event;
            if (room < event.bytes.size()) {
                logged.bytes.truncate(room);
                m_passedOver += event.bytes.size() - room;
                m_lastPassedOver = event;
            }
            if (!logged.bytes.isEmpty())
                text += TrafficText::format({logged}, m_record.originNs());
            continue;
        }
        text += passedOver();
        if (event.kind == TrafficEvent::Kind::Sent)
            m_receivedInRun = 0;
        text += TrafficText::format({event}, m_record.originNs());
    }
    write(text);
}

void TrafficLog::write(const QString &text)
{
    if (m_fd < 0 || text.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Disk full or the like: said once, and the rest of the run goes unlogged
            // rather than leaving a log with holes in it.
            m_failure = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        done += n;
    }
}
