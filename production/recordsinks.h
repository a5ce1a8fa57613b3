// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/recordsink.h"

#include <memory>

// The record sink a target names: a path is a JSONL audit file.
Result<std::unique_ptr<RecordSink>, RecordError> makeRecordSink(const QString &target);
