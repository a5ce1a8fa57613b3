// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "serial/trafficrecord.h"

#include <QObject>
#include <QString>

// --log FILE: every event of the serial line in the traffic record's text form, appended
// to the file as it happens, so that a run that is killed still leaves its log up to
// that moment (each run's times start at 0).
//
// A device that floods the line can't fill the disk: of a run of bytes received without
// a request between them, the first FloodLimitBytes are logged, and the rest is said in
// one line ("... 8,000 more bytes") before the next event.
class TrafficLog final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 FloodLimitBytes = 512;

    explicit TrafficLog(TrafficRecord &record, QObject *parent = nullptr);
    ~TrafficLog() override;

    // Opens path (a regular file) for appending, creating it; the reason when it can't.
    Result<void, QString> open(const QString &path);
    // The reason the log stopped being written, or empty.
    QString failure() const { return m_failure; }
    QString path() const { return m_path; }

private:
    void writeNew();
    // The bytes passed over since the last line about them, as one line; empty if none.
    QString passedOver();
    void write(const QString &text);

    TrafficRecord &m_record;
    QString m_path;
    int m_fd = -1;
    quint64 m_next = 0;
    qint64 m_receivedInRun = 0;  // received since the last request
    qint64 m_passedOver = 0;     // of those, not logged yet
    TrafficEvent m_lastPassedOver;
    QString m_failure;
};
