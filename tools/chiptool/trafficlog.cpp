// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/trafficlog.h"

#include "serial/traffictext.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

TrafficLog::TrafficLog(TrafficRecord &record, QObject *parent)
    : QObject(parent), m_record(record)
{
}

TrafficLog::~TrafficLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TrafficLog::open(const QString &path, QString *error)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_path = path;
    m_next = m_record.nextSequence();
    connect(&m_record, &TrafficRecord::changed, this, &TrafficLog::writeNew);
    return true;
}

void TrafficLog::writeNew()
{
    if (m_fd < 0)
        return;
    const QList<TrafficEvent> events = m_record.eventsSince(m_next);
    m_next = m_record.nextSequence();
    if (events.isEmpty())
        return;
    const QByteArray bytes = TrafficText::format(events, m_record.originNs()).toUtf8();
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
