// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/recordsinks.h"

#include "production/jsonlrecordsink.h"
#include "production/store/databasesink.h"

using namespace Qt::StringLiterals;

Result<std::unique_ptr<RecordSink>, RecordError> makeRecordSink(const QString &target)
{
    if (target.isEmpty())
        return Failure(RecordError{RecordError::Kind::Refused, u"no file given for the records"_s});
    const Result<StoreTarget, QString> store = parseStoreTarget(target);
    if (store && store->kind != StoreTarget::Kind::Jsonl)
        return std::unique_ptr<RecordSink>(std::make_unique<DatabaseRecordSink>(*store));
    // A database named wrongly is refused; any other path is an audit file, as it always was.
    if (!store && (target.contains(u"://"_s) || target.startsWith(u"sqlite:"_s)))
        return Failure(RecordError{RecordError::Kind::Refused, store.error()});
    return std::unique_ptr<RecordSink>(std::make_unique<JsonlRecordSink>(target));
}
