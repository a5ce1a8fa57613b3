// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "production/chiprecord.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Production records as others read them: a JSON object per run (the names of the audit
// file's lines), CSV for a spreadsheet, and the dates a question is bounded by.
namespace RecordExport {

QJsonObject json(const ChipRecord &record);

// The header line and a run's line, each with its CRLF (RFC 4180): a field holding a
// comma, a quote or a line break is quoted, its quotes doubled.
QByteArray csvHeader();
QByteArray csvLine(const ChipRecord &record);

// "YYYY-MM-DD" (that day's start in UTC; with endOfDay, the next day's start, so that
// --until takes in the day it names) or an ISO date and time, as the UTC text the stores
// compare with.
Result<QString, QString> dateBound(const QString &text, bool endOfDay);

} // namespace RecordExport
