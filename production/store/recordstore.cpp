// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/recordstore.h"

#include "production/store/storesql.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

using Dialect = StoreSql::Dialect;

// What the owner grants a station's role.
const QString StationRights = u"grant it SELECT on schema_version, and SELECT and INSERT on chip_run, chip_setting and chip_check"_s;
const QString MakeTables = u"make its tables"_s;

// How long an SQLite writer waits for another to finish before the record is spooled.
constexpr int SqliteBusyMs = 10000;
// How long a PostgreSQL connection may take before the server counts as not answering.
constexpr int ConnectTimeoutSeconds = 5;

Dialect dialectOf(const StoreTarget &target)
{
    return target.kind == StoreTarget::Kind::Postgresql ? Dialect::Postgresql : Dialect::Sqlite;
}

QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return u"qv12-record-store-%1"_s.arg(counter.fetchAndAddRelaxed(1));
}

// Qt SQL binds a null QString as NULL: an empty text is bound as the empty text.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QString(u""_s)) : QVariant(value);
}

QVariant bytes(const QByteArray &value)
{
    return value.isNull() ? QVariant(QByteArray("")) : QVariant(value);
}

QVariant nullable(const std::optional<QString> &value)
{
    return value ? text(*value) : QVariant(QMetaType::fromType<QString>());
}

template<class T>
QVariant nullableNumber(const std::optional<T> &number)
{
    return number ? QVariant(int(*number)) : QVariant(QMetaType::fromType<int>());
}

// Statement by statement: the first that fails ends the run and says why.
struct Statements
{
    QSqlQuery query;
    QSqlError failed;

    explicit Statements(const QSqlDatabase &db) : query(db) {}

    bool exec(const QString &sql, const QVariantList &values = {})
    {
        // PostgreSQL prepares no transaction control or DDL: those go as they are.
        if (values.isEmpty()) {
            if (!query.exec(sql)) {
                failed = query.lastError();
                return false;
            }
            return true;
        }
        if (!query.prepare(sql)) {
            failed = query.lastError();
            return false;
        }
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (!query.exec()) {
            failed = query.lastError();
            return false;
        }
        return true;
    }
};

ChipRecord recordFromRow(const QSqlQuery &q)
{
    ChipRecord r;
    int i = 0;
    r.runId = QUuid::fromString(q.value(i++).toString());
    r.started = QDateTime::fromString(q.value(i++).toString(), Qt::ISODateWithMs).toUTC();
    r.host = q.value(i++).toString();
    r.pid = q.value(i++).toLongLong();
    r.chipNumber = q.value(i++).toInt();
    r.station = q.value(i++).toInt();
    r.device = q.value(i++).toString();
    r.adapterSerial = q.value(i++).toString();
    r.speed = q.value(i++).toInt();
    r.handshake = handshakeFromKey(q.value(i++).toString()).value_or(Handshake::None);
    r.programVersion = q.value(i++).toString();
    r.databaseFile = q.value(i++).toString();
    r.entry = q.value(i++).toString();
    if (const QVariant word = q.value(i++); !word.isNull())
        r.word = ConfigWord(quint16(word.toUInt()));
    if (const QVariant written = q.value(i++); !written.isNull())
        r.identityWritten = written.toString();
    if (const QVariant polarity = q.value(i++); !polarity.isNull())
        r.detectedPolarity = polarity.toInt();
    r.identityBefore = q.value(i++).toByteArray();
    if (const QVariant after = q.value(i++); !after.isNull())
        r.identityAfter = after.toByteArray();
    r.settingsTotal = q.value(i++).toInt();
    r.passed = q.value(i++).toString() == u"PASS"_s;
    r.failure = q.value(i++).toString();
    r.status = q.value(i++).toInt();
    r.durationMs = q.value(i++).toLongLong();
    return r;
}

QVariantList runValues(const ChipRecord &r)
{
    return {
        r.runId.toString(QUuid::WithoutBraces),
        r.started.toUTC().toString(Qt::ISODateWithMs),
        text(r.host),
        r.pid,
        r.chipNumber,
        r.station,
        text(r.device),
        text(r.adapterSerial),
        r.speed,
        text(handshakeKey(r.handshake)),
        text(r.programVersion),
        text(r.databaseFile),
        text(r.entry),
        r.word ? QVariant(int(r.word->value())) : QVariant(QMetaType::fromType<int>()),
        nullable(r.identityWritten),
        nullableNumber(r.detectedPolarity),
        bytes(r.identityBefore),
        r.identityAfter ? bytes(*r.identityAfter) : QVariant(QMetaType::fromType<QByteArray>()),
        r.settingsTotal,
        r.passed ? u"PASS"_s : u"FAIL"_s,
        text(r.failure),
        r.status,
        r.durationMs,
    };
}

// The conditions of a filter as SQL, with the values they bind.
std::pair<QString, QVariantList> whereClause(const RunFilter &filter)
{
    QStringList conditions;
    QVariantList values;
    if (!filter.since.isEmpty()) {
        conditions.append(u"started >= ?"_s);
        values.append(filter.since);
    }
    if (!filter.until.isEmpty()) {
        conditions.append(u"started < ?"_s);
        values.append(filter.until);
    }
    if (!filter.identity.isEmpty()) {
        conditions.append(u"(identity_written = ? OR identity_before = ? OR identity_after = ?)"_s);
        values << filter.identity << filter.identity.toUtf8() << filter.identity.toUtf8();
    }
    if (!filter.runId.isEmpty()) {
        conditions.append(u"run_id = ?"_s);
        values.append(QUuid::fromString(filter.runId).isNull()
                          ? filter.runId
                          : QUuid::fromString(filter.runId).toString(QUuid::WithoutBraces));
    }
    if (!filter.device.isEmpty()) {
        conditions.append(u"device = ?"_s);
        values.append(filter.device);
    }
    if (conditions.isEmpty())
        return {};
    return {u"WHERE "_s + conditions.join(u" AND "_s), values};
}

} // namespace

RecordStore::RecordStore(StoreTarget target)
    : m_target(std::move(target)), m_connection(uniqueConnectionName())
{
}

RecordStore::~RecordStore()
{
    close();
}

void RecordStore::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    // Removing closes it; a station's sink may end on another thread than it wrote on,
    // where the connection itself may not be used.
    QSqlDatabase::removeDatabase(m_connection);
    m_open = false;
}

RecordError RecordStore::error(const QSqlError &sqlError, const QString &doing) const
{
    const QString where = m_target.describe();
    QString words = sqlError.databaseText().isEmpty() ? sqlError.text() : sqlError.databaseText();
    words = words.simplified();
    if (!m_target.password.isEmpty())
        words.replace(m_target.password, u"***"_s);
    const QString code = sqlError.nativeErrorCode();

    if (dialectOf(m_target) == Dialect::Sqlite) {
        // Busy, locked, I/O, full, can't open: the file may take it later.
        const int primary = code.toInt() & 0xff;
        const bool later = primary == 5 || primary == 6 || primary == 10 || primary == 13 || primary == 14;
        return {later ? RecordError::Kind::Unavailable : RecordError::Kind::Refused,
                u"the audit store %1 could not %2: %3"_s.arg(where, doing, words)};
    }

    // PostgreSQL: what the server said, or libpq when no server was reached.
    if (words.contains(u"password authentication failed"_s) || words.contains(u"no password supplied"_s)) {
        return {RecordError::Kind::Refused,
                u"the audit store %1 refused the password of \"%2\": give the right one in PGPASSWORD or ~/.pgpass"_s
                    .arg(where, m_target.user)};
    }
    if (words.contains(u"could not translate host name"_s)) {
        return {RecordError::Kind::Refused,
                u"the audit store's host \"%1\" is unknown: check the name in %2"_s.arg(m_target.host, where)};
    }
    if (code == u"42501"_s) {
        if (doing == MakeTables) {
            return {RecordError::Kind::Refused,
                    u"the role \"%1\" may not make the tables of the audit store %2: run audit init as the database's owner"_s
                        .arg(m_target.user, where)};
        }
        return {RecordError::Kind::Refused, u"the role \"%1\" lacks a right a station needs in the audit store %2: %3"_s
                                                .arg(m_target.user, where, StationRights)};
    }
    if (words.contains(u"does not exist"_s) && code.isEmpty()) {
        return {RecordError::Kind::Refused,
                u"the audit store %1 refused the connection: %2"_s.arg(where, words)};
    }
    // Connection lost or refused, server shutting down or starting, out of resources,
    // a conflict to retry: the server may answer later.
    const bool later = code.isEmpty() || code.startsWith(u"08"_s) || code.startsWith(u"57P"_s)
                       || code.startsWith(u"53"_s) || code.startsWith(u"40"_s) || code.startsWith(u"58"_s);
    if (later) {
        return {RecordError::Kind::Unavailable,
                u"the audit store %1 does not answer: %2"_s.arg(where, words)};
    }
    return {RecordError::Kind::Refused, u"the audit store %1 could not %2: %3"_s.arg(where, doing, words)};
}

Result<void, RecordError> RecordStore::connect(Role role)
{
    close();
    if (m_target.kind == StoreTarget::Kind::Jsonl)
        return Failure(RecordError{RecordError::Kind::Refused, u"%1 is a JSONL file, not a database"_s.arg(m_target.file)});
    const bool pg = m_target.kind == StoreTarget::Kind::Postgresql;
    const QString driver = pg ? u"QPSQL"_s : u"QSQLITE"_s;
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        return Failure(RecordError{RecordError::Kind::Refused,
                                   u"Qt's %1 driver is not installed: install %2"_s
                                       .arg(driver, pg ? u"libqt6sql6-psql"_s : u"libqt6sql6-sqlite"_s)});
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connection);
    if (pg) {
        db.setHostName(m_target.host);
        db.setPort(m_target.port);
        db.setDatabaseName(m_target.database);
        db.setUserName(m_target.user);
        db.setPassword(m_target.password);
        QStringList options{u"connect_timeout=%1"_s.arg(ConnectTimeoutSeconds),
                            u"application_name=qv12-configurator"_s};
        if (!m_target.sslmode.isEmpty())
            options.append(u"sslmode="_s + m_target.sslmode);
        db.setConnectOptions(options.join(u';'));
    } else {
        const QFileInfo file(m_target.file);
        // A FIFO or a device under the name would hang the open or take the pages: only
        // a regular file (or none yet) is a store.
        if (file.exists() && !file.isFile()) {
            return Failure(RecordError{RecordError::Kind::Refused,
                                       u"the audit store %1 is not a regular file"_s.arg(m_target.file)});
        }
        if (role == RecordStore::Role::Reader && !file.exists()) {
            return Failure(RecordError{RecordError::Kind::Refused,
                                       u"the audit store %1 does not exist: check the name, or let a station make it"_s.arg(m_target.file)});
        }
        if (!QDir().mkpath(file.absolutePath())) {
            return Failure(RecordError{RecordError::Kind::Refused,
                                       u"the folder of the audit store %1 cannot be made"_s.arg(m_target.file)});
        }
        db.setDatabaseName(m_target.file);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(SqliteBusyMs));
    }
    if (!db.open())
        return Failure(error(db.lastError(), u"be opened"_s));
    if (!pg) {
        // WAL: readers and one writer at a time from several processes; FULL: a
        // committed run is on the disk before the station shows its verdict.
        Statements s(db);
        if (!s.exec(u"PRAGMA journal_mode=WAL"_s) || !s.exec(u"PRAGMA synchronous=FULL"_s)
            || !s.exec(u"PRAGMA foreign_keys=ON"_s))
            return Failure(error(s.failed, u"be opened"_s));
        if (s.exec(u"PRAGMA journal_mode"_s) && s.query.next()
            && s.query.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0) {
            return Failure(RecordError{RecordError::Kind::Refused,
                                       u"the audit store %1 cannot keep a write-ahead log (is it on a network share?)"_s
                                           .arg(m_target.file)});
        }
    }
    return {};
}

Result<void, RecordError> RecordStore::prepareSchema(Role role)
{
    const Dialect dialect = dialectOf(m_target);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    const bool sqlite = dialect == Dialect::Sqlite;
    // One maker at a time: of several stations opening a new SQLite file together, one
    // makes the tables and the others find them.
    if (!s.exec(sqlite ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s))
        return Failure(error(s.failed, u"be opened"_s));
    const auto fail = [&](const QString &doing) {
        const RecordError e = error(s.failed, doing);
        s.exec(u"ROLLBACK"_s);
        return Failure(e);
    };
    if (!s.exec(StoreSql::schemaVersionTableExists(dialect)) || !s.query.next())
        return fail(u"be read"_s);
    if (s.query.value(0).toInt() == 0) {
        if (role == Role::Reader || (!sqlite && role == Role::Station)) {
            s.exec(u"ROLLBACK"_s);
            return Failure(RecordError{RecordError::Kind::Refused,
                                       u"the audit store %1 has no record tables yet: make them once with \"qv12-chip audit init --audit URI\" as the database's owner"_s
                                           .arg(m_target.describe())});
        }
        for (const QString &statement : StoreSql::createSchema(dialect)) {
            if (!s.exec(statement))
                return fail(MakeTables);
        }
    }
    if (!s.exec(StoreSql::readSchemaVersion()) || !s.query.next())
        return fail(u"be read"_s);
    int version = s.query.value(0).toInt();
    if (version > StoreSql::SchemaVersion) {
        s.exec(u"ROLLBACK"_s);
        return Failure(RecordError{RecordError::Kind::Refused,
                                   u"the audit store %1 is of schema version %2, newer than this program's %3: use a newer qv12-chip"_s
                                       .arg(m_target.describe())
                                       .arg(version)
                                       .arg(StoreSql::SchemaVersion)});
    }
    for (; version < StoreSql::SchemaVersion; ++version) {
        for (const QString &statement : StoreSql::migrationFrom(version, dialect)) {
            if (!s.exec(statement))
                return fail(u"bring its tables up to date"_s);
        }
        if (!s.exec(u"INSERT INTO schema_version (version) VALUES (?)"_s, {version + 1}))
            return fail(u"bring its tables up to date"_s);
    }
    if (!sqlite && role == Role::Station) {
        if (!s.exec(StoreSql::insertRights()) || !s.query.next())
            return fail(u"be read"_s);
        if (!s.query.value(0).toBool()) {
            s.exec(u"ROLLBACK"_s);
            return Failure(RecordError{RecordError::Kind::Refused,
                                       u"the role \"%1\" may not add records to the audit store %2: %3"_s
                                           .arg(m_target.user, m_target.describe(), StationRights)});
        }
    }
    if (!s.exec(u"COMMIT"_s))
        return fail(u"be opened"_s);
    return {};
}

Result<void, RecordError> RecordStore::open(Role role)
{
    if (const auto connected = connect(role); !connected)
        return connected;
    if (const auto prepared = prepareSchema(role); !prepared) {
        close();
        return prepared;
    }
    m_open = true;
    return {};
}

Result<bool, RecordError> RecordStore::write(const ChipRecord &record)
{
    if (!m_open) {
        if (const auto opened = open(); !opened)
            return Failure(opened.error());
    }
    const bool sqlite = dialectOf(m_target) == Dialect::Sqlite;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    const auto fail = [&] {
        const RecordError e = error(s.failed, u"add the record"_s);
        s.exec(u"ROLLBACK"_s);
        // A connection that failed is made anew for the next record.
        if (e.kind == RecordError::Kind::Unavailable)
            m_open = false;
        return Failure(e);
    };
    const auto step = [this] {
        if (m_stepHook)
            m_stepHook();
    };
    if (!s.exec(sqlite ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s))
        return fail();
    if (!s.exec(StoreSql::insertRun(), runValues(record)))
        return fail();
    if (s.query.numRowsAffected() == 0) {
        if (!s.exec(u"COMMIT"_s))
            return fail();
        return false;
    }
    step();
    const QString runId = record.runId.toString(QUuid::WithoutBraces);
    for (qsizetype i = 0; i < record.settings.size(); ++i) {
        const SettingWrite &w = record.settings.at(i);
        if (!s.exec(StoreSql::insertSetting(), {runId, int(i), int(w.setting), int(w.value), int(w.echo)}))
            return fail();
        step();
    }
    for (qsizetype i = 0; i < record.checks.size(); ++i) {
        const RecordedCheck &c = record.checks.at(i);
        if (!s.exec(StoreSql::insertCheck(), {runId, int(i), text(c.name), text(c.expected), text(c.actual), int(c.ok)}))
            return fail();
        step();
    }
    if (!s.exec(u"COMMIT"_s))
        return fail();
    return true;
}

Result<QList<ChipRecord>, RecordError> RecordStore::runs(const RunFilter &filter)
{
    if (!m_open) {
        if (const auto opened = open(); !opened)
            return Failure(opened.error());
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    const auto [where, values] = whereClause(filter);
    if (!s.exec(StoreSql::selectRuns(where), values))
        return Failure(error(s.failed, u"be read"_s));
    QList<ChipRecord> records;
    QHash<QString, qsizetype> byRunId;
    while (s.query.next()) {
        records.append(recordFromRow(s.query));
        byRunId.insert(s.query.value(0).toString(), records.size() - 1);
    }
    // Three queries in all, however many runs: an export of a year stays quick.
    if (!s.exec(StoreSql::selectSettings(where), values))
        return Failure(error(s.failed, u"be read"_s));
    while (s.query.next()) {
        if (const auto at = byRunId.constFind(s.query.value(0).toString()); at != byRunId.constEnd()) {
            records[*at].settings.append({quint8(s.query.value(1).toUInt()), quint8(s.query.value(2).toUInt()),
                                          quint8(s.query.value(3).toUInt())});
        }
    }
    if (!s.exec(StoreSql::selectChecks(where), values))
        return Failure(error(s.failed, u"be read"_s));
    while (s.query.next()) {
        if (const auto at = byRunId.constFind(s.query.value(0).toString()); at != byRunId.constEnd()) {
            records[*at].checks.append({s.query.value(1).toString(), s.query.value(2).toString(),
                                        s.query.value(3).toString(), s.query.value(4).toInt() != 0});
        }
    }
    return records;
}

Result<QList<SummaryRow>, RecordError> RecordStore::summary(const RunFilter &filter, const QString &by)
{
    if (!m_open) {
        if (const auto opened = open(); !opened)
            return Failure(opened.error());
    }
    static const QHash<QString, QString> groups{
        {QString(), u"''"_s},
        {u"day"_s, u"substr(started, 1, 10)"_s},
        {u"entry"_s, u"entry"_s},
        {u"station"_s, u"host || ' COM' || station"_s},
        {u"host"_s, u"host"_s},
    };
    const QString group = groups.value(by);
    Q_ASSERT(!group.isEmpty());
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    const auto [where, values] = whereClause(filter);
    if (!s.exec(StoreSql::summary(group, where), values))
        return Failure(error(s.failed, u"be read"_s));
    QList<SummaryRow> rows;
    while (s.query.next()) {
        rows.append({s.query.value(0).toString(), s.query.value(1).toLongLong(), s.query.value(2).toLongLong(),
                     s.query.value(3).toDouble(), s.query.value(4).toLongLong()});
    }
    return rows;
}

Result<QList<MinuteCount>, RecordError> RecordStore::countsByMinute(const QDateTime &since)
{
    if (!m_open) {
        if (const auto opened = open(RecordStore::Role::Reader); !opened)
            return Failure(opened.error());
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    if (!s.exec(StoreSql::countsByMinute(), {since.toUTC().toString(Qt::ISODateWithMs)}))
        return Failure(error(s.failed, u"be read"_s));
    QList<MinuteCount> counts;
    while (s.query.next()) {
        const QString text = s.query.value(0).toString();
        const QDateTime minute(QDate::fromString(text.left(10), Qt::ISODate), QTime::fromString(text.mid(11), u"HH:mm"_s),
                               Qt::UTC);
        counts.append({minute, s.query.value(1).toLongLong(), s.query.value(2).toLongLong()});
    }
    return counts;
}

Result<qint64, RecordError> RecordStore::count()
{
    if (!m_open) {
        if (const auto opened = open(); !opened)
            return Failure(opened.error());
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    if (!s.exec(StoreSql::countRuns()) || !s.query.next())
        return Failure(error(s.failed, u"be read"_s));
    return s.query.value(0).toLongLong();
}

Result<void, RecordError> RecordStore::forget(const QUuid &runId)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Statements s(db);
    const QString id = runId.toString(QUuid::WithoutBraces);
    if (!s.exec(u"BEGIN IMMEDIATE"_s))
        return Failure(error(s.failed, u"take out a sent record"_s));
    for (const QString &statement : StoreSql::deleteRun()) {
        if (!s.exec(statement, {id})) {
            const RecordError e = error(s.failed, u"take out a sent record"_s);
            s.exec(u"ROLLBACK"_s);
            return Failure(e);
        }
    }
    if (!s.exec(u"COMMIT"_s))
        return Failure(error(s.failed, u"take out a sent record"_s));
    return {};
}
