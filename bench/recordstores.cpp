// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-bench-records: production records per second into an SQLite file and into a
// PostgreSQL server (one of its own, fsync on, on a Unix socket), from six stations
// writing at once, each on its own thread with its own connection, and the time a
// record adds to each chip (the sink's write, as a station waits for it).
//
//     qv12-bench-records [RECORDS PER STATION] [TARGET...]
//
// Without a TARGET both stores are measured, made in a temporary folder.
#include "production/store/databasesink.h"
#include "tests/store/postgresserver.h"
#include "tests/store/records.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int Stations = 6;

struct StationRun
{
    std::vector<double> writeMs;
    QString problem;
};

void measure(const QString &name, const QString &targetText, int perStation)
{
    const auto target = parseStoreTarget(targetText);
    if (!target) {
        std::printf("%-12s %s\n", qPrintable(name), qPrintable(target.error()));
        return;
    }
    std::vector<StationRun> runs(Stations);
    std::vector<std::unique_ptr<QThread>> threads;
    QElapsedTimer wall;
    wall.start();
    for (int s = 0; s < Stations; ++s) {
        threads.emplace_back(QThread::create([&, s] {
            DatabaseRecordSink sink(*target);
            if (const auto checked = sink.check(); !checked) {
                runs[s].problem = checked.error().message;
                return;
            }
            for (int i = 1; i <= perStation; ++i) {
                const ChipRecord record = TestRecords::made(u"station-%1"_s.arg(s), i);
                QElapsedTimer one;
                one.start();
                const auto kept = sink.write(record);
                runs[s].writeMs.push_back(double(one.nsecsElapsed()) / 1e6);
                if (!kept || kept->waiting > 0) {
                    runs[s].problem = kept ? u"records were spooled"_s : kept.error().message;
                    return;
                }
            }
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    std::vector<double> all;
    for (const StationRun &run : runs) {
        if (!run.problem.isEmpty()) {
            std::printf("%-12s failed: %s\n", qPrintable(name), qPrintable(run.problem));
            return;
        }
        all.insert(all.end(), run.writeMs.begin(), run.writeMs.end());
    }
    std::sort(all.begin(), all.end());
    const auto at = [&all](double share) { return all.at(std::min(all.size() - 1, size_t(share * double(all.size())))); };
    std::printf("%-12s %d stations x %d records: %7.0f records/s; added time per chip: median %6.2f ms, "
                "95%% %6.2f ms, max %7.2f ms (target under 20 ms)\n",
                qPrintable(name), Stations, perStation, double(all.size()) / seconds, at(0.5), at(0.95), all.back());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int perStation = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 200;
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", folder.filePath(u"data"_s).toUtf8());
    if (args.size() > 2) {
        for (const QString &target : args.mid(2))
            measure(target, target, perStation);
        return 0;
    }
    measure(u"SQLite"_s, folder.filePath(u"bench.sqlite"_s), perStation);

    PostgresServer server;
    if (const QString problem = server.start(true); !problem.isEmpty()) {
        std::printf("PostgreSQL   not measured: %s\n", qPrintable(problem));
        return 1;
    }
    const QString owner = QString::fromLatin1(PostgresServer::Owner);
    const QString uri = server.uri(owner, QString::fromLatin1(PostgresServer::OwnerPassword), u"postgres"_s);
    {
        RecordStore store(*parseStoreTarget(uri));
        if (const auto made = store.open(RecordStore::Role::Owner); !made) {
            std::printf("PostgreSQL   not measured: %s\n", qPrintable(made.error().message));
            return 1;
        }
    }
    measure(u"PostgreSQL"_s, uri, perStation);
    return 0;
}
