// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/recordexport.h"

#include "production/jsonlrecordsink.h"
#include "serial/handshake.h"

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

// A cell a spreadsheet would run as a formula: a name from a chip, a database or an
// operator can start so, by chance or by intent.
bool readAsFormula(const QString &text)
{
    static const QString FormulaStarts = u"=+-@\t\r"_s;
    return !text.isEmpty() && FormulaStarts.contains(text.front());
}

// A cell of text: quoted when it holds a comma, a quote or a line break (its quotes
// doubled), and kept as text with a leading ' where it would be read as a formula.
QString csvText(const QString &text)
{
    const bool formula = readAsFormula(text);
    if (!formula && !text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + (formula ? u"'"_s : QString()) + quoted + u'"';
}

// A cell the program made itself (a number, a time, an id): as it is.
struct Cell
{
    QString text;
    bool free = true;  // text from a chip, a file or an operator
};

Cell number(qint64 value)
{
    return {QString::number(value), false};
}

const QStringList CsvColumns{
    u"run_id"_s, u"time"_s, u"host"_s, u"pid"_s, u"chip"_s, u"port"_s, u"device"_s,
    u"adapter_serial"_s, u"speed"_s, u"handshake"_s, u"program_version"_s, u"database"_s,
    u"entry"_s, u"word"_s, u"identity_written"_s, u"detected_polarity"_s, u"identity_before"_s,
    u"identity_after"_s, u"settings_written"_s, u"settings_total"_s, u"failed_checks"_s,
    u"result"_s, u"failure"_s, u"status"_s, u"duration_ms"_s};

QByteArray csvJoin(const QList<Cell> &cells)
{
    QStringList quoted;
    for (const Cell &cell : cells)
        quoted.append(cell.free ? csvText(cell.text) : cell.text);
    return quoted.join(u',').toUtf8() + "\r\n";
}

} // namespace

QJsonObject json(const ChipRecord &r)
{
    // The audit file's line itself, so that an exported run reads as the line its station
    // appended; then what only the store keeps.
    QJsonObject object = JsonlRecordSink::lineOf(r);
    const auto orNull = [](const QString &text) { return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text); };
    object.insert(u"run_id"_s, r.runId.toString(QUuid::WithoutBraces));
    object.insert(u"adapter_serial"_s, orNull(r.adapterSerial));
    object.insert(u"program_version"_s, r.programVersion);
    object.insert(u"database"_s, orNull(r.databaseFile));
    object.insert(u"status"_s, r.status);
    return object;
}

const QStringList &storeOnlyKeys()
{
    static const QStringList keys{u"adapter_serial"_s, u"database"_s, u"program_version"_s, u"run_id"_s, u"status"_s};
    return keys;
}

QByteArray csvHeader()
{
    QList<Cell> cells;
    for (const QString &column : CsvColumns)
        cells.append({column, false});
    return csvJoin(cells);
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
    const Cell none{QString(), false};
    return csvJoin({
        {r.runId.toString(QUuid::WithoutBraces), false},
        {r.started.toUTC().toString(Qt::ISODateWithMs), false},
        {r.host},
        number(r.pid),
        number(r.chipNumber),
        number(r.station),
        {r.device},
        {r.adapterSerial},
        number(r.speed),
        {handshakeKey(r.handshake)},
        {r.programVersion},
        {r.databaseFile},
        {r.entry},
        {wordText(r.word), false},
        {r.identityWritten.value_or(QString())},
        r.detectedPolarity ? number(*r.detectedPolarity) : none,
        {chipText(r.identityBefore)},
        {r.identityAfter ? chipText(*r.identityAfter) : QString()},
        {written.join(u' '), false},
        number(r.settingsTotal),
        {failedChecks.join(u"; "_s)},
        {r.passed ? u"PASS"_s : u"FAIL"_s, false},
        {r.failure},
        number(r.status),
        number(r.durationMs),
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
