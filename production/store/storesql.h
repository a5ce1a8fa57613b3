// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Every SQL statement of the record stores, in one place. The same statements serve
// SQLite and PostgreSQL; only the making of the tables differs between the two.
namespace StoreSql {

enum class Dialect { Sqlite, Postgresql };

// The schema this program writes and reads. A database of a later one is refused; an
// earlier one is brought up to this one when opened.
constexpr int SchemaVersion = 1;

// Creates the tables of schema version 1 and records the version.
QStringList createSchema(Dialect dialect);
// The steps from version N to N + 1, for N from 1; empty while there is only version 1.
QStringList migrationFrom(int version, Dialect dialect);

// Whether the schema_version table is there.
QString schemaVersionTableExists(Dialect dialect);
QString readSchemaVersion();
// Whether the connected role may add and read records (PostgreSQL).
QString insertRights();

// A run, its settings and its checks; an existing run id is left as it is.
QString insertRun();
QString insertSetting();
QString insertCheck();

// The spool's: how many runs wait, and a run taken out of it once the store has it.
QString countRuns();
QStringList deleteRun();

// The runs matching `where` (conditions on chip_run's columns), in the order they were
// written, and their settings and checks, by run id and in their order.
QString selectRuns(const QString &where);
QString selectSettings(const QString &where);
QString selectChecks(const QString &where);

// The totals of the runs matching `where`, grouped by `group` (an expression, or "''"
// for all together): group, chips, passed, mean and slowest duration.
QString summary(const QString &group, const QString &where);

// The runs started at or after a time (bound as ISO UTC text), counted by the minute
// they started in: minute ("YYYY-MM-DDTHH:MM"), passed, failed; in time order. By the
// minute rather than the hour so that a reader may sum them into local hours in any
// time zone, half-hour ones too.
QString countsByMinute();

} // namespace StoreSql
