// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/verification.h"
#include "protocol/chipjob.h"
#include "tools/chiptool/exitstatus.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

class ChipSession;
struct ProgramRun;
struct ProgrammingTarget;

// The pieces of qv12-chip's JSON results, under the keys its manual page lists. Text
// from the chip is not UTF-8: each byte is taken as the ISO 8859-1 character of that
// code, as the window shows it, and JSON escapes what needs escaping.
namespace ResultJson {

QJsonValue chipText(const QByteArray &bytes);
// "command" and "status", and "error" when there is one.
QJsonObject head(const QString &command, const std::optional<ToolError> &error);
// "port", "device", "speed", "handshake".
QJsonObject line(const ChipSession &session, const ConnectionSettings &chip);
// [{"field", "meaning", "known"}]
QJsonArray fields(ConfigWord word);
// What a programming run wrote and read back: "entry", "word", "identity_written",
// "detected_polarity", "settings", "settings_total", "identity_after", "checks", "result".
QJsonObject run(const ProgrammingTarget &target, const ProgramRun &run);

// a's keys with b's added (b wins).
QJsonObject merged(QJsonObject a, const QJsonObject &b);

} // namespace ResultJson
