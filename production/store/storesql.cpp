// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/storesql.h"

using namespace Qt::StringLiterals;

namespace StoreSql {

namespace {

// Started is kept as ISO 8601 text in UTC ("2026-12-07T04:30:00.000Z"): it sorts as
// time, its first ten characters are the day, and both databases read it alike.
const QString RunColumns = uR"(run_id, started, host, pid, chip_number, station, device,
    adapter_serial, speed, handshake, program_version, database_file, entry, word,
    identity_written, detected_polarity, identity_before, identity_after, settings_total,
    result, failure, status, duration_ms)"_s;

} // namespace

QStringList createSchema(Dialect dialect)
{
    const bool pg = dialect == Dialect::Postgresql;
    // The key a run is read back in order by; the run id keeps it single.
    const QString key = pg ? u"id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY"_s
                           : u"id INTEGER PRIMARY KEY AUTOINCREMENT"_s;
    const QString bytes = pg ? u"bytea"_s : u"BLOB"_s;
    const QString integer = pg ? u"bigint"_s : u"INTEGER"_s;
    return {
        u"CREATE TABLE schema_version (version integer NOT NULL)"_s,
        uR"(CREATE TABLE chip_run (
            %1,
            run_id text NOT NULL UNIQUE,
            started text NOT NULL,
            host text NOT NULL,
            pid %3 NOT NULL,
            chip_number integer NOT NULL,
            station integer NOT NULL,
            device text NOT NULL,
            adapter_serial text NOT NULL,
            speed integer NOT NULL,
            handshake text NOT NULL,
            program_version text NOT NULL,
            database_file text NOT NULL,
            entry text NOT NULL,
            word integer,
            identity_written text,
            detected_polarity integer,
            identity_before %2 NOT NULL,
            identity_after %2,
            settings_total integer NOT NULL,
            result text NOT NULL CHECK (result IN ('PASS', 'FAIL')),
            failure text NOT NULL,
            status integer NOT NULL,
            duration_ms %3 NOT NULL))"_s.arg(key, bytes, integer),
        u"CREATE INDEX chip_run_started ON chip_run (started)"_s,
        uR"(CREATE TABLE chip_setting (
            run_id text NOT NULL REFERENCES chip_run (run_id),
            position integer NOT NULL,
            setting integer NOT NULL,
            value integer NOT NULL,
            echo integer NOT NULL,
            PRIMARY KEY (run_id, position)))"_s,
        uR"(CREATE TABLE chip_check (
            run_id text NOT NULL REFERENCES chip_run (run_id),
            position integer NOT NULL,
            name text NOT NULL,
            expected text NOT NULL,
            actual text NOT NULL,
            ok integer NOT NULL,
            PRIMARY KEY (run_id, position)))"_s,
        u"INSERT INTO schema_version (version) VALUES (1)"_s,
    };
}

QStringList migrationFrom(int /*version*/, Dialect /*dialect*/)
{
    return {};
}

QString schemaVersionTableExists(Dialect dialect)
{
    return dialect == Dialect::Postgresql
               ? u"SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() AND table_name = 'schema_version'"_s
               : u"SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'"_s;
}

QString readSchemaVersion()
{
    return u"SELECT max(version) FROM schema_version"_s;
}

QString insertRights()
{
    return uR"(SELECT has_table_privilege('chip_run', 'INSERT')
        AND has_table_privilege('chip_setting', 'INSERT')
        AND has_table_privilege('chip_check', 'INSERT')
        AND has_table_privilege('chip_run', 'SELECT'))"_s;
}

QString insertRun()
{
    return u"INSERT INTO chip_run (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
           "ON CONFLICT (run_id) DO NOTHING"_s.arg(RunColumns);
}

QString insertSetting()
{
    return u"INSERT INTO chip_setting (run_id, position, setting, value, echo) VALUES (?, ?, ?, ?, ?)"_s;
}

QString insertCheck()
{
    return u"INSERT INTO chip_check (run_id, position, name, expected, actual, ok) VALUES (?, ?, ?, ?, ?, ?)"_s;
}

QString countRuns()
{
    return u"SELECT count(*) FROM chip_run"_s;
}

QStringList deleteRun()
{
    return {u"DELETE FROM chip_setting WHERE run_id = ?"_s, u"DELETE FROM chip_check WHERE run_id = ?"_s,
            u"DELETE FROM chip_run WHERE run_id = ?"_s};
}

QString selectRuns(const QString &where)
{
    return u"SELECT %1 FROM chip_run %2 ORDER BY id"_s.arg(RunColumns, where);
}

QString selectSettings(const QString &where)
{
    return u"SELECT run_id, setting, value, echo FROM chip_setting WHERE run_id IN (SELECT run_id FROM chip_run %1) "
           "ORDER BY run_id, position"_s.arg(where);
}

QString selectChecks(const QString &where)
{
    return u"SELECT run_id, name, expected, actual, ok FROM chip_check WHERE run_id IN (SELECT run_id FROM chip_run %1) "
           "ORDER BY run_id, position"_s.arg(where);
}

QString summary(const QString &group, const QString &where)
{
    return uR"(SELECT %1 AS grouped, count(*),
        sum(CASE WHEN result = 'PASS' THEN 1 ELSE 0 END),
        avg(duration_ms), max(duration_ms)
        FROM chip_run %2 GROUP BY grouped ORDER BY grouped)"_s.arg(group, where);
}

QString countsByMinute()
{
    return uR"(SELECT substr(started, 1, 16) AS minute,
        sum(CASE WHEN result = 'PASS' THEN 1 ELSE 0 END),
        sum(CASE WHEN result = 'PASS' THEN 0 ELSE 1 END)
        FROM chip_run WHERE started >= ? GROUP BY minute ORDER BY minute)"_s;
}

} // namespace StoreSql
