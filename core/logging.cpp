// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/logging.h"

// Debug lines off until asked for: a user's terminal stays quiet.
Q_LOGGING_CATEGORY(lcSerial, "qv12.serial", QtInfoMsg)
Q_LOGGING_CATEGORY(lcProtocol, "qv12.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcProduction, "qv12.production", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "qv12.ui", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFiles, "qv12.files", QtInfoMsg)

namespace Logging {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

JobScope::JobScope(const char *job)
    : m_job(job)
{
    m_clock.start();
    qCDebug(lcProtocol, "%s: start", m_job);
}

JobScope::~JobScope()
{
    qCDebug(lcProtocol, "%s: end after %lld ms", m_job, m_clock.elapsed());
}

} // namespace Logging
