// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>

// What a support person turns on to see what happened, one category per part. Only
// warnings and worse show by default; QT_LOGGING_RULES="qv12.*.debug=true" (or
// qv12-chip -v) adds the debug lines: the ports opened with their settings, every
// request and its answer or time-out, each chip job's start and end, the files written
// and the window's actions.
Q_DECLARE_LOGGING_CATEGORY(lcSerial)      // qv12.serial: ports, bytes sent and received
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)    // qv12.protocol: chip jobs and their steps
Q_DECLARE_LOGGING_CATEGORY(lcProduction)  // qv12.production: the production station
Q_DECLARE_LOGGING_CATEGORY(lcUi)          // qv12.ui: the window's actions
Q_DECLARE_LOGGING_CATEGORY(lcFiles)       // qv12.files: files read and written

namespace Logging {

// The rules that turn every debug line of the categories above on.
inline constexpr char AllDebugRules[] = "qv12.*.debug=true";

// Bytes as the traffic monitor shows them: two hex digits each, separated by blanks.
QString hex(const QByteArray &bytes);

// A chip job's start, and its end with how long it took when the scope closes.
class JobScope
{
public:
    explicit JobScope(const char *job);
    ~JobScope();
    JobScope(const JobScope &) = delete;
    JobScope &operator=(const JobScope &) = delete;

private:
    const char *m_job;
    QElapsedTimer m_clock;
};

} // namespace Logging
