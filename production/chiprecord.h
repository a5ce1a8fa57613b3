// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"
#include "protocol/chipjob.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One check of a chip's read-back against what was meant to be programmed.
struct RecordedCheck
{
    QString name;      // "configuration mode", "head width", "mechanism identity", ...
    QString expected;
    QString actual;
    bool ok = false;
    friend bool operator==(const RecordedCheck &, const RecordedCheck &) = default;
};

// What the production line keeps of one chip: who programmed it where, with what, and
// how it went. Every sink (the JSONL file, SQLite, PostgreSQL) stores this same value;
// a sink neither adds nor drops anything of it.
struct ChipRecord
{
    QUuid runId;                  // the record's key: writing it twice keeps one
    QDateTime started;            // UTC
    QString host;
    qint64 pid = 0;
    int chipNumber = 0;           // the how-manieth chip of this station's run

    int station = 0;              // COM number
    QString device;
    QString adapterSerial;        // empty where the adapter doesn't say
    int speed = 0;
    Handshake handshake = Handshake::None;
    QString programVersion;

    QString databaseFile;         // empty when the word was given directly
    QString entry;                // empty when no database entry was used
    std::optional<ConfigWord> word;  // the configuration word programmed
    std::optional<QString> identityWritten;
    std::optional<int> detectedPolarity;

    QByteArray identityBefore;    // the chip's own text, as read
    std::optional<QByteArray> identityAfter;
    QList<SettingWrite> settings; // each setting written, with its echo
    int settingsTotal = 0;
    QList<RecordedCheck> checks;

    bool passed = false;
    QString failure;              // in words; empty on PASS
    int status = 0;               // the exit status qv12-chip would give this chip alone
    qint64 durationMs = 0;
};
