// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"

#include <QString>

// Where production records go, as the operator names it with --audit: a JSONL file, an
// SQLite database or a PostgreSQL server.
struct StoreTarget
{
    enum class Kind { Jsonl, Sqlite, Postgresql };

    Kind kind = Kind::Sqlite;
    QString file;  // Jsonl, Sqlite: the file

    // Postgresql: the parts of the URI. host is a name, an address or, starting with
    // "/", the folder of the server's Unix socket.
    QString host;
    int port = 5432;
    QString user;
    QString password;  // from the URI, PGPASSWORD or ~/.pgpass; never shown
    QString database;
    QString sslmode;   // passed on as given; empty for libpq's default

    // The target as it may be shown: the path, or the URI with the password masked.
    QString describe() const;
    // The same for a file name, a spool name: stable for the same target, no password.
    QString key() const;
};

// Reads TARGET: "FILE.jsonl", "FILE.sqlite", "sqlite:FILE" or
// "postgresql://[user[:password]@]host[:port]/dbname[?sslmode=...&host=...]" (also
// "postgres://"). The error says what is wrong in words, without the password.
Result<StoreTarget, QString> parseStoreTarget(const QString &text);

// The folder of the program's own record files: $XDG_DATA_HOME/qv12-configurator.
QString recordDataFolder();
// The production window's store when none is chosen: audit.sqlite in that folder.
QString defaultStorePath();
