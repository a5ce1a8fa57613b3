// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/trafficrecord.h"

#include <QObject>
#include <QString>

// --log FILE: every event of the serial line in the traffic record's text form, written
// to the file as it happens, so that a run that is killed still leaves its log up to
// that moment. The file is replaced at the start of each run (its times start at 0).
class TrafficLog final : public QObject
{
    Q_OBJECT

public:
    explicit TrafficLog(TrafficRecord &record, QObject *parent = nullptr);
    ~TrafficLog() override;

    // Creates or empties path; false with the system's reason when it can't.
    bool open(const QString &path, QString *error);
    // The reason the log stopped being written, or empty.
    QString failure() const { return m_failure; }
    QString path() const { return m_path; }

private:
    void writeNew();

    TrafficRecord &m_record;
    QString m_path;
    int m_fd = -1;
    quint64 m_next = 0;
    QString m_failure;
};
