// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "production/chiprecord.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// Production records as others read them: a JSON object per run (the names of the audit
// file's lines), CSV for a spreadsheet, and the dates a question is bounded by.
namespace RecordExport {

// The audit file's line of the run (JsonlRecordSink::lineOf), with what only the store
// keeps added: the keys storeOnlyKeys() names.
QJsonObject json(const ChipRecord &record);
const QStringList &storeOnlyKeys();

// The header line and a run's line, each with its CRLF (RFC 4180): a field holding a
// comma, a quote or a line break is quoted, its quotes doubled. A text field starting
// with =, +, -, @, a tab or a CR is quoted with a ' before it, so that a spreadsheet
// shows it as text rather than running it as a formula.
QByteArray csvHeader();
QByteArray csvLine(const ChipRecord &record);

// "YYYY-MM-DD" (that day's start in UTC; with endOfDay, the next day's start, so that
// --until takes in the day it names) or an ISO date and time, as the UTC text the stores
// compare with.
Result<QString, QString> dateBound(const QString &text, bool endOfDay);

} // namespace RecordExport
