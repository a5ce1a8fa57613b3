// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/chiptoolrun.h"

#include "bench/median.h"
#include "bench/jobfloors.h"
#include "database/databasefile.h"
#include "database/defaultlist.h"
#include "sim/simulatedchip.h"
#include "sim/simulatedstation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int Baud = 9600;
constexpr int LineChips = 3;
const QString Identity = u"BENCH MECHANISM1"_s;  // 16 characters: 19 settings
const QString Word = u"1111110000100000"_s;      // KT 610-ST: the polarity the chip detects

// Each chip: found by its answer, programmed, read back. Between two chips the station's
// pause; the chip taken away takes its device with it, which is seen without an exchange.
double lineFloor(double programFloor)
{
    return LineChips * programFloor + (LineChips - 1) * SimulatedStation::ArrivalPauseMs;
}

// One run of the tool, timed from its start to its end; negative when it failed.
double timedRun(const QStringList &arguments, QString *error)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    tool.start(QStringLiteral(QV12_CHIP_TOOL), arguments);
    tool.closeWriteChannel();
    const bool ended = tool.waitForFinished(300000);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (!ended || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        *error = u"qv12-chip %1 ended with status %2: %3"_s.arg(arguments.join(u' '))
                     .arg(tool.exitCode()).arg(QString::fromUtf8(tool.readAll()));
        return -1;
    }
    return ms;
}

} // namespace

std::vector<ChipToolRow> chipToolRows(int runs, QString *error)
{
    QTemporaryDir directory;
    const QString database = directory.filePath(u"default.cdb"_s);
    QFile file(database);
    if (!file.open(QIODevice::WriteOnly) || file.write(encodeDatabase(defaultMechanisms())) <= 0) {
        *error = u"cannot write %1"_s.arg(database);
        return {};
    }
    file.close();
    const QStringList line{u"--com"_s, u"1"_s, u"--speed"_s, QString::number(Baud)};

    struct Case
    {
        QString action;
        double floorMs;
        // The arguments of one run; chip is a fresh simulated chip for it.
        std::function<QStringList(const SimulatedChip &chip, int run)> arguments;
    };
    const double programFloor = JobFloors::toolProgram(Identity);
    const Case cases[] = {
        {u"qv12-chip program + verify"_s, programFloor,
         [&](const SimulatedChip &chip, int) {
             return QStringList{u"--port"_s, u"1="_s + chip.devicePath(), u"--given-ports-only"_s, u"program"_s,
                                u"--word"_s, Word, u"--identity"_s, Identity} + line;
         }},
        {u"qv12-chip verify"_s, JobFloors::toolVerify(),
         [&](const SimulatedChip &chip, int) {
             return QStringList{u"--port"_s, u"1="_s + chip.devicePath(), u"--given-ports-only"_s, u"verify"_s,
                                u"--word"_s, Word, u"--identity"_s, u"KT 610-ST"_s} + line;
         }},
        {u"qv12-chip line, %1 chips"_s.arg(LineChips), lineFloor(programFloor),
         [&](const SimulatedChip &, int run) {
             return QStringList{u"--simulate"_s, u"--given-ports-only"_s, u"line"_s, u"--db"_s, database,
                                u"--entry"_s, u"KT 610-ST"_s, u"--identity"_s, Identity, u"--audit"_s,
                                directory.filePath(u"audit%1.jsonl"_s.arg(run)), u"--count"_s,
                                QString::number(LineChips)} + line;
         }},
    };

    std::vector<ChipToolRow> rows;
    for (const Case &c : cases) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            SimulatedChip chip(Baud);
            const double ms = timedRun(c.arguments(chip, run), error);
            if (ms < 0)
                return {};
            times.push_back(ms);
        }
        rows.push_back({c.action, median(times), c.floorMs});
    }
    // The line's rate in chips per minute, measured and at the floor.
    ChipToolRow &lineRow = rows.back();
    lineRow.action += u" (%1 chips/min, floor %2)"_s.arg(LineChips * 60000.0 / lineRow.measuredMs, 0, 'f', 2)
                          .arg(LineChips * 60000.0 / lineRow.floorMs, 0, 'f', 2);
    return rows;
}
