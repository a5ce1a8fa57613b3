// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/stationrun.h"

#include "bench/median.h"
#include "production/jsonlrecordsink.h"
#include "production/station.h"
#include "sim/simulatedstation.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int ChipsPerStation = 3;

// stations stations at once, ChipsPerStation chips each: the wall time in ms, or -1.
double timedStations(int stations, const QTemporaryDir &directory, QString *error)
{
    std::vector<std::unique_ptr<SimulatedStation>> chips;
    std::vector<std::unique_ptr<Station>> running;
    QEventLoop loop;
    int left = stations;
    bool allPassed = true;
    for (int i = 0; i < stations; ++i) {
        auto chip = std::make_unique<SimulatedStation>();
        if (const Result<void, QString> started = chip->start(); !started) {
            *error = started.error();
            return -1;
        }
        StationSettings settings;
        settings.port = i + 1;
        settings.ports.assign(settings.port, chip->devicePath());
        settings.speed = SimulatedStation::Baud;
        settings.target.setWord(*ConfigWord::fromText(u"1111110000100000"));
        settings.target.setIdentity(u"KT 620-ST"_s);
        settings.count = ChipsPerStation;
        auto station = std::make_unique<Station>(
            settings, std::make_unique<JsonlRecordSink>(directory.filePath(u"stations%1.jsonl"_s.arg(stations))));
        SimulatedStation *operatorHand = chip.get();
        QObject::connect(station.get(), &Station::verdict, &loop, [operatorHand, &allPassed](const StationVerdict &v) {
            allPassed = allPassed && v.record.passed && !v.recordFailure;
            if (v.record.chipNumber < ChipsPerStation)
                operatorHand->replaceChip();
        });
        QObject::connect(station.get(), &Station::finished, &loop, [&left, &loop](const StationEnd &) {
            if (--left == 0)
                loop.quit();
        });
        chips.push_back(std::move(chip));
        running.push_back(std::move(station));
    }
    QElapsedTimer clock;
    clock.start();
    for (const auto &station : running)
        station->start();
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (!allPassed) {
        *error = u"a chip of %1 stations did not pass"_s.arg(stations);
        return -1;
    }
    return ms;
}

} // namespace

std::vector<StationRow> stationRows(int runs, QString *error)
{
    QTemporaryDir directory;
    std::vector<StationRow> rows;
    for (const int stations : {1, 2}) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const double ms = timedStations(stations, directory, error);
            if (ms < 0)
                return {};
            times.push_back(ms);
        }
        rows.push_back({stations, stations * ChipsPerStation, median(times)});
    }
    return rows;
}
