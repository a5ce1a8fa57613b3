// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/recordsink.h"

#include <memory>

// The record sink a target names: FILE.sqlite, sqlite:FILE or a postgresql:// URI is a
// database (see production/store/storetarget.h); any other path a JSONL audit file.
Result<std::unique_ptr<RecordSink>, RecordError> makeRecordSink(const QString &target);
