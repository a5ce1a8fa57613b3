// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/recordexport.h"

#include "production/recordjson.h"

#include <QJsonArray>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace RecordExport {

namespace {

// The chip's own text: its bytes as Latin-1, one character each, as the audit file has it.
QString chipText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QString wordText(const std::optional<ConfigWord> &word)
{
    return word ? u"%1"_s.arg(uint(word->value()), 4, 16, QChar(u'0')).toUpper() : QString();
}

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

const QStringList CsvColumns{
    u"run_id"_s, u"time"_s, u"host"_s, u"pid"_s, u"chip"_s, u"port"_s, u"device"_s,
    u"adapter_serial"_s, u"speed"_s, u"handshake"_s, u"program_version"_s, u"database"_s,
    u"entry"_s, u"word"_s, u"identity_written"_s, u"detected_polarity"_s, u"identity_before"_s,
    u"identity_after"_s, u"settings_written"_s, u"settings_total"_s, u"failed_checks"_s,
    u"result"_s, u"failure"_s, u"status"_s, u"duration_ms"_s};

QByteArray csvJoin(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted.append(csvField(field));
    return quoted.join(u',').toUtf8() + "\r\n";
}

} // namespace

QJsonObject json(const ChipRecord &r)
{
    const QJsonArray settings = RecordJson::settings(r.settings);
    const QJsonArray checks = RecordJson::checks(r.checks);
    const auto orNull = [](const QString &text) { return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text); };
    QJsonObject object{
        {u"run_id"_s, r.runId.toString(QUuid::WithoutBraces)},
        {u"time"_s, r.started.toUTC().toString(Qt::ISODateWithMs)},
        {u"host"_s, r.host},
        {u"pid"_s, r.pid},
        {u"chip"_s, r.chipNumber},
        {u"port"_s, r.station},
        {u"device"_s, r.device},
        {u"adapter_serial"_s, orNull(r.adapterSerial)},
        {u"speed"_s, r.speed},
        {u"handshake"_s, orNull(handshakeKey(r.handshake))},
        {u"program_version"_s, r.programVersion},
        {u"database"_s, orNull(r.databaseFile)},
        {u"entry"_s, orNull(r.entry)},
        {u"word"_s, r.word ? QJsonValue(wordText(r.word)) : QJsonValue(QJsonValue::Null)},
        {u"identity_written"_s, r.identityWritten ? QJsonValue(*r.identityWritten) : QJsonValue(QJsonValue::Null)},
        {u"detected_polarity"_s, r.detectedPolarity ? QJsonValue(*r.detectedPolarity) : QJsonValue(QJsonValue::Null)},
        {u"identity_before"_s, chipText(r.identityBefore)},
        {u"identity_after"_s, r.identityAfter ? QJsonValue(chipText(*r.identityAfter)) : QJsonValue(QJsonValue::Null)},
        {u"settings"_s, settings},
        {u"settings_total"_s, r.settingsTotal},
        {u"checks"_s, checks},
        {u"result"_s, r.passed ? u"PASS"_s : u"FAIL"_s},
        {u"status"_s, r.status},
        {u"duration_ms"_s, r.durationMs},
    };
    if (!r.failure.isEmpty())
        object.insert(u"error"_s, r.failure);
    return object;
}

QByteArray csvHeader()
{
    return csvJoin(CsvColumns);
}

QByteArray csvLine(const ChipRecord &r)
{
    QStringList written;
    for (const SettingWrite &w : r.settings)
        written.append(u"%1=%2"_s.arg(w.setting).arg(w.value) + (w.echoed() ? QString() : u" (echo %1)"_s.arg(w.echo)));
    QStringList failedChecks;
    for (const RecordedCheck &c : r.checks) {
        if (!c.ok)
            failedChecks.append(c.name);
    }
    return csvJoin({
        r.runId.toString(QUuid::WithoutBraces),
        r.started.toUTC().toString(Qt::ISODateWithMs),
        r.host,
        QString::number(r.pid),
        QString::number(r.chipNumber),
        QString::number(r.station),
        r.device,
        r.adapterSerial,
        QString::number(r.speed),
        handshakeKey(r.handshake),
        r.programVersion,
        r.databaseFile,
        r.entry,
        wordText(r.word),
        r.identityWritten.value_or(QString()),
        r.detectedPolarity ? QString::number(*r.detectedPolarity) : QString(),
        chipText(r.identityBefore),
        r.identityAfter ? chipText(*r.identityAfter) : QString(),
        written.join(u' '),
        QString::number(r.settingsTotal),
        failedChecks.join(u"; "_s),
        r.passed ? u"PASS"_s : u"FAIL"_s,
        r.failure,
        QString::number(r.status),
        QString::number(r.durationMs),
    });
}

Result<QString, QString> dateBound(const QString &text, bool endOfDay)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid() && text.size() == 10)
        return QDateTime(endOfDay ? day.addDays(1) : day, QTime(0, 0), Qt::UTC).toString(Qt::ISODateWithMs);
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return Failure(u"\"%1\" is not a date (YYYY-MM-DD) or an ISO date and time"_s.arg(text));
    // A time without a zone is the operator's local time.
    return time.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace RecordExport
