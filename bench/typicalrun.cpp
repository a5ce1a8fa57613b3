// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-bench [RUNS] [--monitor]: the typical run of a day's work against simulated chips,
// through the real windows (offscreen): autodetect with the chip on COM2 at 9600 bauds and
// a silent port on COM1, identification, Check configuration, programming in Software
// mode with a 16-character identity, Sleep, Wake up, Reset.
//
// It prints for each action the time it took (the median of RUNS runs, 3 by default, each
// on a fresh window and fresh chips), its protocol floor (bench/jobfloors.h) and
// their ratio; the CPU time of those runs against their wall time; and, from one more run,
// the worst lateness of a 5 ms repeating timer while the actions run (how long the window
// could not answer). --monitor keeps the traffic monitor open beside the window. Between
// two actions the window is left 250 ms to finish its repaints, as it is while the user
// moves to the next button; those pauses count in the wall time, not in the actions'
// times. Exit status 0 when the targets are met, 1 when not, 2 when the run itself went
// wrong.
#include "app/appcontext.h"
#include "app/chippanel.h"
#include "app/mainwindow.h"
#include "app/portselectiondialog.h"
#include "app/prompter.h"
#include "bench/chiptoolrun.h"
#include "bench/countingprompter.h"
#include "bench/latenessprobe.h"
#include "bench/median.h"
#include "bench/productionwindowrun.h"
#include "bench/jobfloors.h"
#include "bench/stationrun.h"
#include "sim/simulatedchip.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QStorageInfo>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <time.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int Baud = 9600;
const QString NewIdentity = u"BENCH MECHANISM1"_s;  // 16 characters
constexpr int SettleMs = 250;  // between two actions

qint64 cpuNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct Row
{
    const char *action;
    double measuredMs;
    double floorMs;
};

struct RunResult
{
    std::vector<Row> rows;
    double cpuMs = 0;
    double wallMs = 0;
    double worstLatenessMs = 0;
    double worstOwnLatenessMs = 0;  // the thread's waits for a core left out
    int prompts = 0;
    QString identityAfter;
};

// Runs script on the port selection dialog once it is shown modally.
void onDialog(QObject *owner, std::function<void(PortSelectionDialog &)> script)
{
    auto *poll = new QTimer(owner);
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, script] {
        auto *dialog = qobject_cast<PortSelectionDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        script(*dialog);
    });
    poll->start();
}

// Lets the window finish what the last action left (repaints, layout) with events
// running, as it does while the user moves on to the next button.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(SettleMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs events until busy() is false, woken by each of sender's signal: the click has
// started the work, which goes on while the window answers.
template<class Sender, class Signal>
void waitWhile(const Sender *sender, Signal signal, const std::function<bool()> &busy)
{
    if (!busy())
        return;
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, [&] {
        if (!busy())
            loop.quit();
    });
    loop.exec();
}

void waitForAction(const MainWindow &window)
{
    const ChipPanel &panel = window.chip();
    waitWhile(&panel, &ChipPanel::actionEnded, [&panel] { return panel.isBusy(); });
}

void waitForDetection(const PortSelectionDialog &dialog)
{
    waitWhile(&dialog, &PortSelectionDialog::detectionEnded, [&dialog] { return dialog.isDetecting(); });
}

// The time from the click to the end of what it started, as wait() tells it.
double clickMs(QAbstractButton *button, LatenessProbe *lateness, const std::function<void()> &wait)
{
    settle();
    if (lateness)
        lateness->resume();
    QElapsedTimer clock;
    clock.start();
    button->click();
    wait();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (lateness)
        lateness->pause();
    return ms;
}

// The floors of the actions, from one run of the real jobs against simulated chips.
const JobFloors::TypicalRun &floors()
{
    static const JobFloors::TypicalRun taken = JobFloors::typicalRun(NewIdentity);
    return taken;
}

// One typical run on a fresh window and fresh chips. With a lateness probe the 5 ms
// timer runs during each action (its own wake-ups cost CPU, so the run that measures
// CPU time goes without it).
RunResult typicalRun(bool probeLateness, bool withMonitor)
{
    QTemporaryDir directory;  // no default.cdb: the built-in list, as on a first start
    QDir::setCurrent(directory.path());

    SimulatedChip quiet(Baud);
    quiet.setSilent(true);
    SimulatedChip chip(Baud);
    CountingPrompter prompter;
    AppContext context(prompter);
    context.setUsesSystemPorts(false);
    context.ports().assign(1, quiet.devicePath());
    context.ports().assign(2, chip.devicePath());

    RunResult result;
    {
        MainWindow window(context);
        window.runLoadSteps();
        window.show();
        QElapsedTimer shown;
        shown.start();
        while ((!window.windowHandle() || !window.windowHandle()->isExposed()) && shown.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

        // The traffic monitor open beside it, following every byte.
        if (withMonitor)
            window.findChild<QAction *>(u"trafficMonitorAction"_s)->trigger();

        auto button = [&window](const char *name) {
            auto *found = window.findChild<QAbstractButton *>(QLatin1String(name));
            if (!found)
                qFatal("No control named %s", name);
            return found;
        };
        auto *configName = window.findChild<QLineEdit *>(u"identityEdit"_s);
        auto *identity = window.findChild<QLabel *>(u"firmwareIdentityLabel"_s);
        LatenessProbe probe;
        LatenessProbe *lateness = probeLateness ? &probe : nullptr;
        std::vector<Row> &rows = result.rows;

        settle();
        QElapsedTimer wall;
        wall.start();
        const qint64 cpuStart = cpuNs();

        // Detect Chipset: the dialog, Autodetect Chipset, OK; then the identity again.
        QElapsedTimer sinceOk;
        onDialog(&window, [&](PortSelectionDialog &dialog) {
            auto *autodetect = dialog.findChild<QAbstractButton *>(u"autodetectButton"_s);
            rows.push_back({"Autodetect Chipset", clickMs(autodetect, lateness, [&] { waitForDetection(dialog); }),
                            floors().autodetect});
            settle();
            if (lateness)
                lateness->resume();
            sinceOk.start();
            dialog.findChild<QAbstractButton *>(u"okButton"_s)->click();
        });
        button("detectButton")->click();
        waitForAction(window);
        rows.push_back({"Identification", double(sinceOk.nsecsElapsed()) / 1e6, floors().identification});
        if (lateness)
            lateness->pause();

        auto action = [&](const char *name) {
            return clickMs(button(name), lateness, [&] { waitForAction(window); });
        };
        rows.push_back({"Check configuration", action("checkConfigurationButton"), floors().checkConfiguration});

        // Software mode and a user identity of 16 characters, over what was read.
        settle();
        if (!button("softwareModeOption")->isChecked())
            button("softwareModeOption")->click();
        if (!button("userIdentityOption")->isChecked())
            button("userIdentityOption")->click();
        configName->setText(NewIdentity);
        rows.push_back({"Configure chipset", action("configureChipsetButton"), floors().programming});

        rows.push_back({"Sleep", action("sleepButton"), floors().sleep});
        rows.push_back({"Wake up", action("wakeUpButton"), floors().wakeUp});
        rows.push_back({"Reset", action("resetButton"), floors().reset});

        result.cpuMs = double(cpuNs() - cpuStart) / 1e6;
        result.wallMs = double(wall.nsecsElapsed()) / 1e6;
        result.worstLatenessMs = probe.worstMs();
        result.worstOwnLatenessMs = probe.worstOwnMs();
        result.prompts = prompter.prompts;
        result.identityAfter = identity->text();
    }
    QDir::setCurrent(QDir::rootPath());
    return result;
}

} // namespace

// The stations' table; false when a run did not go as it should.
bool printStationRows(int runs)
{
    QString error;
    // Production stations of the core in this process, each on its own worker.
    const std::vector<StationRow> stations = stationRows(runs, &error);
    if (stations.empty()) {
        std::fprintf(stderr, "qv12-bench: %s\n", qPrintable(error));
        return false;
    }
    std::printf("| Stations in one process | Chips | Measured (ms) | Chips per minute | x one station |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    const double oneRate = stations.front().chipsPerMinute();
    for (const StationRow &row : stations) {
        std::printf("| %s | %d | %.1f | %.2f | %.2f |\n", row.stations == 1 ? "one station" : "two stations",
                    row.chips, row.measuredMs, row.chipsPerMinute(), row.chipsPerMinute() / oneRate);
    }
    const double twoStations = stations.back().chipsPerMinute() / oneRate;
    std::printf("Two stations in one process: %.2f x one station's chips per minute (target >= 1.9): %s\n\n",
                twoStations, twoStations >= 1.9 ? "met" : "NOT met");
    return true;
}

// The production window's table and its load figures; false when a run did not go as it should.
bool printProductionWindowRows(int runs)
{
    QString error;
    const ProductionWindowBench bench = productionWindowRows(runs, &error);
    if (bench.rows.empty()) {
        std::fprintf(stderr, "qv12-bench: %s\n", qPrintable(error));
        return false;
    }
    std::printf("| Stations in the production window | Chips | Measured (ms) | Chips per minute | x (N x one station) |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    const double oneRate = bench.rows.front().chipsPerMinute();
    double worst = 1e9;
    for (const StationRow &row : bench.rows) {
        const double share = row.chipsPerMinute() / (oneRate * row.stations);
        worst = std::min(worst, share);
        std::printf("| %d | %d | %.1f | %.2f | %.3f |\n", row.stations, row.chips, row.measuredMs,
                    row.chipsPerMinute(), share);
    }
    std::printf("Worst: %.3f x N x one station (target >= 0.95): %s\n", worst, worst >= 0.95 ? "met" : "NOT met");
    const StationRow &one = bench.rows.front();
    const double floorRate = one.chips * 60000.0 / bench.oneStationFloorMs;
    const double overFloor = one.measuredMs / bench.oneStationFloorMs;
    std::printf("One station: %.1f ms for %d chips against a protocol floor of %.1f ms; %.2f chips per minute, floor "
                "%.2f: %.3f x the floor's time (target <= 1.03): %s\n",
                one.measuredMs, one.chips, bench.oneStationFloorMs, one.chipsPerMinute(), floorRate, overFloor,
                overFloor <= 1.03 ? "met" : "NOT met");
    const ProductionWindowLoad &load = bench.load;
    std::printf("With %d stations running: CPU %.2f %% of one core (target < 5 %%); worst of %d clicks handled in "
                "%.1f ms (target <= 100 ms); Stop ended them in %.0f ms\n",
                load.stations, load.cpuPercent, load.clicks, load.worstClickMs, load.stopMs);
    std::printf("The window's %d ms timer with %d stations: late by %.1f ms at worst, %.1f ms at the 99th percentile "
                "(%.1f ms at worst without its waits for a core; target: never more than 20 ms), with a 1-minute load "
                "average of %.2f at the start and %.2f at the end on %d cores%s\n\n",
                LatenessProbe::IntervalMs, load.stations, load.worstLatenessMs, load.latenessP99Ms,
                load.worstOwnLatenessMs, load.loadAtStart, load.loadAtEnd, QThread::idealThreadCount(),
                std::max(load.loadAtStart, load.loadAtEnd) > QThread::idealThreadCount()
                    ? " (busy: more work than cores; measure again on a quiet machine)"
                    : "");
    return true;
}

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The timed runs go without the lateness probe; the action times are their medians.
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool withMonitor = arguments.removeAll(u"--monitor"_s) > 0;
    const bool stationsOnly = arguments.removeAll(u"--stations"_s) > 0;
    const bool productionOnly = arguments.removeAll(u"--production"_s) > 0;
    const int runs = arguments.isEmpty() ? 3 : std::max(1, arguments.first().toInt());
    if (stationsOnly)
        return printStationRows(runs) ? 0 : 2;
    if (productionOnly)
        return printProductionWindowRows(runs) ? 0 : 2;
    std::vector<RunResult> timed;
    for (int i = 0; i < runs; ++i)
        timed.push_back(typicalRun(false, withMonitor));
    const RunResult probed = typicalRun(true, withMonitor);
    if (withMonitor)
        std::printf("With the traffic monitor open.\n");

    std::printf("| Action | Measured (ms) | Protocol floor (ms) | Ratio |\n");
    std::printf("|---|---:|---:|---:|\n");
    double measuredSum = 0;
    double floorSum = 0;
    double worstRatio = 0;
    for (size_t i = 0; i < timed.front().rows.size(); ++i) {
        std::vector<double> times;
        for (const RunResult &run : timed)
            times.push_back(run.rows[i].measuredMs);
        const double measured = median(times);
        const Row &row = timed.front().rows[i];
        const double ratio = measured / row.floorMs;
        worstRatio = std::max(worstRatio, ratio);
        measuredSum += measured;
        floorSum += row.floorMs;
        std::printf("| %s | %.1f | %.1f | %.3f |\n", row.action, measured, row.floorMs, ratio);
    }
    std::printf("| All seven actions | %.1f | %.1f | %.3f |\n", measuredSum, floorSum,
                measuredSum / floorSum);
    // qv12-chip, as its own process against simulated chips (bench/chiptoolrun.cpp).
    QString toolError;
    const std::vector<ChipToolRow> toolRows = chipToolRows(runs, &toolError);
    if (toolRows.empty()) {
        std::fprintf(stderr, "qv12-bench: %s\n", qPrintable(toolError));
        return 2;
    }
    for (const ChipToolRow &row : toolRows) {
        const double ratio = row.measuredMs / row.floorMs;
        worstRatio = std::max(worstRatio, ratio);
        std::printf("| %s | %.1f | %.1f | %.3f |\n", qPrintable(row.action), row.measuredMs, row.floorMs, ratio);
    }
    std::printf("\n");
    if (!printStationRows(runs) || !printProductionWindowRows(runs))
        return 2;
    double cpuMs = 0;
    double wallMs = 0;
    for (const RunResult &run : timed) {
        cpuMs += run.cpuMs;
        wallMs += run.wallMs;
    }
    std::printf("Median of %d runs. ", runs);
    const double cpuShare = 100.0 * cpuMs / wallMs;
    std::printf("CPU time of the runs: %.1f ms over %.1f ms of wall time (%.2f %%)\n", cpuMs,
                wallMs, cpuShare);
    std::printf("Worst lateness of a %d ms repeating timer during the actions: %.2f ms (%.2f ms without its "
                "thread's waits for a core)\n",
                LatenessProbe::IntervalMs, probed.worstLatenessMs, probed.worstOwnLatenessMs);

    const bool onTarget = worstRatio <= 1.03 && cpuShare < 2.0 && probed.worstLatenessMs < 5.0;
    // Qt takes a lock file for every open of a serial device, written with fdatasync: on
    // a disk that costs about a millisecond per open, on tmpfs (the usual /run) nothing.
    const QStorageInfo locks(u"/var/lock"_s);
    std::printf("Lock files of the serial ports: /var/lock on %s\n",
                locks.isValid() ? locks.fileSystemType().constData() : "?");
    std::printf("Targets (every ratio <= 1.03, CPU < 2 %%, lateness < 5 ms): %s\n",
                onTarget ? "met" : "NOT met");
    timed.push_back(probed);
    for (const RunResult &run : timed) {
        if (run.prompts > 0 || !run.identityAfter.startsWith(NewIdentity)) {
            std::fprintf(stderr, "qv12-bench: the run did not go as it should (%d prompts, identity \"%s\")\n",
                         run.prompts, qPrintable(run.identityAfter));
            return 2;
        }
    }
    return onTarget ? 0 : 1;
}
