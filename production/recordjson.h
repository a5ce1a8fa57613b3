// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/chiprecord.h"

#include <QJsonArray>

// The parts of a run's JSON that the audit line, the store's export and qv12-chip's
// results share, so that all three spell them alike.
namespace RecordJson {

// [{"setting", "value", "echo", "ok"}]
QJsonArray settings(const QList<SettingWrite> &writes);
// [{"check", "expected", "actual", "ok"}]
QJsonArray checks(const QList<RecordedCheck> &checks);

} // namespace RecordJson
