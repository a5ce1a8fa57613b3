// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/recordsinks.h"

#include "production/jsonlrecordsink.h"

using namespace Qt::StringLiterals;

Result<std::unique_ptr<RecordSink>, RecordError> makeRecordSink(const QString &target)
{
    if (target.isEmpty())
        return Failure(RecordError{RecordError::Kind::Refused, u"no file given for the records"_s});
    return std::unique_ptr<RecordSink>(std::make_unique<JsonlRecordSink>(target));
}
