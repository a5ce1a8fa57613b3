// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/chiprecord.h"

#include <QCoreApplication>
#include <QSysInfo>

// Made-up production records, as a station would make them, for the store tests.
namespace TestRecords {

// Record `number` of writer `name`: every field filled, three settings and two checks;
// every fifth one failed.
inline ChipRecord made(const QString &name, int number)
{
    using namespace Qt::StringLiterals;
    ChipRecord r;
    r.runId = QUuid::createUuid();
    r.started = QDateTime::currentDateTimeUtc();
    r.host = name;
    r.pid = QCoreApplication::applicationPid();
    r.chipNumber = number;
    r.station = 2;
    r.device = u"/dev/ttyUSB1"_s;
    r.adapterSerial = u"A10K2"_s;
    r.speed = 9600;
    r.handshake = Handshake::XonXoff;
    r.programVersion = u"2.4"_s;
    r.databaseFile = u"/srv/line/qv12.cdb"_s;
    r.entry = u"KT 620-ST"_s;
    r.word = ConfigWord(0x1A2B);
    r.identityWritten = u"LINE-%1"_s.arg(number);
    r.detectedPolarity = 1;
    r.identityBefore = QByteArrayLiteral("QV12 blank\xe9");
    r.identityAfter = u"LINE-%1"_s.arg(number).toLatin1();
    r.settings = {{1, 2, 2}, {3, 4, 4}, {5, 6, number % 5 == 0 ? quint8(7) : quint8(6)}};
    r.settingsTotal = 3;
    r.checks = {{u"configuration mode"_s, u"software"_s, u"software"_s, true},
                {u"head width"_s, u"80 mm"_s, number % 5 == 0 ? u"58 mm"_s : u"80 mm"_s, number % 5 != 0}};
    r.passed = number % 5 != 0;
    r.failure = r.passed ? QString() : u"head width reads 58 mm, not 80 mm"_s;
    r.status = r.passed ? 0 : 3;
    r.durationMs = 1000 + number;
    return r;
}

// Record `number` of writer `name` with every field that may be missing missing: no
// word, identity written, polarity, identity after, settings or checks, and empty texts
// where a station may have none (adapter serial, database, entry, handshake).
inline ChipRecord sparse(const QString &name, int number)
{
    ChipRecord r = made(name, number);
    r.word.reset();
    r.identityWritten.reset();
    r.detectedPolarity.reset();
    r.identityAfter.reset();
    r.adapterSerial.clear();
    r.databaseFile.clear();
    r.entry.clear();
    r.handshake = Handshake::None;
    r.settings.clear();
    r.checks.clear();
    return r;
}

} // namespace TestRecords
