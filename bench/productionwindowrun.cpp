// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/productionwindowrun.h"

#include "app/appcontext.h"
#include "app/mainwindow.h"
#include "app/production/productionwindow.h"
#include "app/production/stationtile.h"
#include "bench/countingprompter.h"
#include "bench/latenessprobe.h"
#include "bench/median.h"
#include "bench/jobfloors.h"
#include "database/defaultlist.h"
#include "sim/simulatedstation.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int ChipsPerStation = 3;
// A window run that has not ended by then never will: the bench says where each station
// stood rather than waiting for ever.
constexpr int RunTimeoutMs = 120'000;
constexpr int ClickEveryMs = 250;
const QString Entry = u"KT 620-ST"_s;
const QString Identity = u"KT 620-ST"_s;

double loadAverage()
{
    double load[1] = {0};
    return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

double oneStationFloor()
{
    // Each chip found by its answer, programmed with the identity and read back, as the
    // tool's own chip; between two chips the station's pause (the chip taken away takes
    // its device with it, which is seen without an exchange).
    return ChipsPerStation * JobFloors::toolProgram(Identity)
        + (ChipsPerStation - 1) * SimulatedStation::ArrivalPauseMs;
}

qint64 cpuNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// A click on the tile of COM1 (it takes the focus), posted as the window system posts
// it; its time runs from the post to the end of its handling.
class ClickProbe final : public QObject
{
public:
    explicit ClickProbe(QWidget *target) : m_target(target)
    {
        m_timer.setInterval(ClickEveryMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const QPointF at(m_target->width() / 2.0, m_target->height() / 2.0);
            const QPointF global = m_target->mapToGlobal(at);
            QElapsedTimer posted;
            posted.start();
            QCoreApplication::postEvent(m_target, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                                  Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(m_target, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                                  Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
            QMetaObject::invokeMethod(this, [this, posted] {
                m_worstMs = std::max(m_worstMs, double(posted.nsecsElapsed()) / 1e6);
                ++m_clicks;
            }, Qt::QueuedConnection);
        });
        m_timer.start();
    }
    double worstMs() const { return m_worstMs; }
    int clicks() const { return m_clicks; }

private:
    QWidget *m_target;
    QTimer m_timer;
    double m_worstMs = 0;
    int m_clicks = 0;
};

// stations simulated stations in one production window, ChipsPerStation chips each: the
// wall time in ms, or -1. With load, the probes run along.
double timedWindow(int stations, ProductionWindowLoad *load, QString *error)
{
    QTemporaryDir start;
    const QString before = QDir::currentPath();
    QDir::setCurrent(start.path());  // no default.cdb: the built-in list
    CountingPrompter prompter;
    AppContext context(prompter);
    context.setUsesSystemPorts(false);
    std::map<int, std::unique_ptr<SimulatedStation>> chips;
    std::map<int, int> done;
    for (int port = 1; port <= stations; ++port) {
        auto chip = std::make_unique<SimulatedStation>();
        if (const Result<void, QString> started = chip->start(); !started) {
            *error = started.error();
            return -1;
        }
        context.ports().assign(port, chip->devicePath());
        chips[port] = std::move(chip);
    }
    QEventLoop loop;
    int finished = 0;
    context.setChipTakenAway([&](int port) {
        if (++done[port] < ChipsPerStation)
            chips.at(port)->replaceChip();
        else if (++finished == stations)
            loop.quit();
    });

    double ms = -1;
    {
        MainWindow window(context);
        window.runLoadSteps();
        window.show();
        window.showProductionWindow();
        ProductionWindow *production = window.productionWindow();
        production->findChild<QComboBox *>(u"entryCombo"_s)->setCurrentText(Entry);
        production->findChild<QLineEdit *>(u"identityEdit"_s)->setText(Identity);
        production->findChild<QLineEdit *>(u"auditFileEdit"_s)->setText(start.filePath(u"audit.jsonl"_s));
        production->findChild<QComboBox *>(u"speedCombo"_s)->setCurrentText(QString::number(SimulatedStation::Baud));
        for (int port = 1; port <= stations; ++port)
            production->findChild<QCheckBox *>(u"portCheck%1"_s.arg(port))->setChecked(true);
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();

        LatenessProbe lateness;
        std::unique_ptr<ClickProbe> clicks;
        QElapsedTimer clock;
        const qint64 cpuStart = cpuNs();
        if (load)
            load->loadAtStart = loadAverage();
        clock.start();
        production->findChild<QPushButton *>(u"startButton"_s)->click();
        if (load) {
            lateness.resume();
            clicks = std::make_unique<ClickProbe>(production->tile(1));
        }
        bool timedOut = false;
        QTimer::singleShot(RunTimeoutMs, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        if (production->isRunning())
            loop.exec();
        ms = double(clock.nsecsElapsed()) / 1e6;
        if (timedOut) {
            QStringList states;
            for (int port = 1; port <= stations; ++port) {
                states << u"COM%1 after %2 chips taken away: \"%3\""_s.arg(port).arg(done[port])
                              .arg(production->tile(port)->state());
            }
            *error = u"%1 stations: not done after %2 s; %3"_s.arg(stations).arg(RunTimeoutMs / 1000)
                         .arg(states.join(u"; "_s));
        }
        if (load) {
            lateness.pause();
            load->stations = stations;
            load->cpuPercent = 100.0 * double(cpuNs() - cpuStart) / 1e6 / ms;
            load->worstLatenessMs = lateness.worstMs();
            load->latenessP99Ms = lateness.percentileMs(0.99);
            load->loadAtEnd = loadAverage();
            load->worstOwnLatenessMs = lateness.worstOwnMs();
            load->worstClickMs = clicks->worstMs();
            load->clicks = clicks->clicks();
        }
        const LineTotals totals = production->totals();
        production->setStopQuestion([] { return true; });
        production->findChild<QPushButton *>(u"stopButton"_s)->click();
        QElapsedTimer stopping;
        stopping.start();
        while (production->isRunning()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            if (stopping.elapsed() > RunTimeoutMs) {
                // A station that does not stop can't be waited for, nor its window closed.
                std::fprintf(stderr, "qv12-bench: %s; the stations did not stop within %d s\n",
                             qPrintable(error->isEmpty() ? u"%1 stations"_s.arg(stations) : *error),
                             RunTimeoutMs / 1000);
                std::_Exit(2);
            }
        }
        if (load)
            load->stopMs = double(stopping.nsecsElapsed()) / 1e6;
        if (timedOut) {
            ms = -1;
        } else if (totals.passed != stations * ChipsPerStation || prompter.prompts > 0) {
            *error = u"%1 stations: %2 of %3 chips passed, %4 prompts"_s.arg(stations).arg(totals.passed)
                         .arg(stations * ChipsPerStation).arg(prompter.prompts);
            ms = -1;
        }
    }
    QDir::setCurrent(before);
    return ms;
}

} // namespace

ProductionWindowBench productionWindowRows(int runs, QString *error)
{
    ProductionWindowBench bench;
    for (const int stations : {1, 2, 4, 6}) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const double ms = timedWindow(stations, nullptr, error);
            if (ms < 0)
                return {};
            times.push_back(ms);
        }
        bench.rows.push_back({stations, stations * ChipsPerStation, median(times)});
    }
    bench.oneStationFloorMs = oneStationFloor();
    if (timedWindow(6, &bench.load, error) < 0)
        return {};
    return bench;
}
