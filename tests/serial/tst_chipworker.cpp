// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Chip workers in one process: jobs on a thread of their own, one link each, results and
// questions back in the front end's thread, cancellation from any thread, and the
// program's traffic record across links. Against simulated chips on pseudo-terminals.
#include "protocol/commands.h"
#include "protocol/relayedlistener.h"
#include "serial/chipworker.h"
#include "serial/seriallink.h"
#include "serial/trafficrecord.h"
#include "sim/simulatedchip.h"
#include "tests/common/bytes.h"
#include "tests/common/traffic.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Cancellation::Reason)

namespace {

// Runs events until done() holds or seconds have passed; true when it held.
bool waitUntil(const std::function<bool()> &done, int seconds = 20)
{
    return QTest::qWaitFor(done, seconds * 1000);
}

// A simulated chip on COM port of its own map.
struct Station
{
    explicit Station(int port = 1, int speed = 9600) : chip(speed), port(port) { ports.assign(port, chip.devicePath()); }
    SimulatedChip chip;
    int port;
    PortMap ports;
};

// A front end's object, made in the test's thread, that results are for.
struct FrontEnd : QObject
{
};

// Runs exchange(link, port) on two chips at speed, on COM1 and COM2, each on a worker of
// its own, both at once; the program's record of their lines once both have ended.
std::shared_ptr<TrafficRecord> onTwoWorkers(int speed, const std::function<void(SerialLink &, int)> &exchange)
{
    Station one(1, speed), two(2, speed);
    auto traffic = std::make_shared<TrafficRecord>();
    ChipWorker first(traffic), second(traffic);
    FrontEnd frontEnd;
    int done = 0;
    auto job = [&](int port) {
        return [port, speed, exchange](SerialLink &link, const JobChannel &) {
            if (!link.open(port, speed, Handshake::None))
                return false;
            exchange(link, port);
            link.close();
            return true;
        };
    };
    first.start(one.ports, &frontEnd, job(1), [&](bool opened) { done += opened; });
    second.start(two.ports, &frontEnd, job(2), [&](bool opened) { done += opened; });
    if (!waitUntil([&] { return done == 2; }))
        qWarning("the two jobs did not both end");
    return traffic;
}

} // namespace

class TestChipWorker final : public QObject
{
    Q_OBJECT

private slots:
    void jobRunsOnTheWorkersThread();
    void twoWorkersOverlap();
    void jobsOfOneWorkerFollowEachOther();
    void portMapIsTheJobsOwn();
    void cancellationEndsTheWaitAtOnce_data();
    void cancellationEndsTheWaitAtOnce();
    void cancellationReasons();
    void questionIsARoundTrip();
    void cancelledWhileAsked_data();
    void cancelledWhileAsked();
    void resultForAGoneFrontEndIsDropped();
    void programTrafficInTimeOrder();
};

void TestChipWorker::jobRunsOnTheWorkersThread()
{
    Station station;
    ChipWorker worker;
    FrontEnd frontEnd;
    QThread *jobThread = nullptr;
    QThread *linkThread = nullptr;
    QThread *doneThread = nullptr;
    std::optional<QByteArray> reply;
    worker.start(station.ports, &frontEnd,
                 [&](SerialLink &link, const JobChannel &) {
                     jobThread = QThread::currentThread();
                     linkThread = link.thread();
                     if (!link.open(1, 9600, Handshake::DsrDtr))
                         return QByteArray();
                     link.send(Commands::identify());
                     return link.readReply();
                 },
                 [&](const QByteArray &identity) {
                     doneThread = QThread::currentThread();
                     reply = identity;
                 });
    QVERIFY(worker.isBusy());
    QVERIFY(waitUntil([&] { return reply.has_value(); }));
    QCOMPARE(*reply, station.chip.identity());
    QVERIFY(jobThread && jobThread != QThread::currentThread());
    QCOMPARE(linkThread, jobThread);  // the link was made in the worker's thread
    QCOMPARE(doneThread, QThread::currentThread());
    QVERIFY(!worker.isBusy());
    QVERIFY(!worker.isPortOpen());  // a job leaves no port open
}

// Each worker waits on its own thread: the two jobs' lines are busy at the same time.
void TestChipWorker::twoWorkersOverlap()
{
    const auto traffic = onTwoWorkers(9600, [](SerialLink &link, int) {
        link.send(Commands::cancelByte());
        link.pause(400);
        link.send(Commands::cancelByte());
    });
    const QList<TrafficEvent> onOne = sentEvents(*traffic, 1);
    const QList<TrafficEvent> onTwo = sentEvents(*traffic, 2);
    QCOMPARE(onOne.size(), 2);
    QCOMPARE(onTwo.size(), 2);
    // One after the other, one job's first byte would follow the other's last.
    QVERIFY(onTwo.first().timeNs < onOne.last().timeNs);
    QVERIFY(onOne.first().timeNs < onTwo.last().timeNs);
}

// A job's waits run its thread's event loop; the next job waits until it has ended.
void TestChipWorker::jobsOfOneWorkerFollowEachOther()
{
    Station station;
    auto traffic = std::make_shared<TrafficRecord>();
    ChipWorker worker(traffic);
    FrontEnd frontEnd;
    QList<int> order;
    for (int n = 1; n <= 2; ++n) {
        worker.start(station.ports, &frontEnd,
                     [](SerialLink &link, const JobChannel &) {
                         if (!link.open(1, 9600, Handshake::None))
                             return false;
                         link.send(Commands::cancelByte());
                         link.pause(200);
                         link.close();
                         return true;
                     },
                     [&order, n](bool) { order.append(n); });
    }
    QVERIFY(waitUntil([&] { return order.size() == 2; }));
    QCOMPARE(order, (QList<int>{1, 2}));
    QStringList kinds;
    for (const TrafficEvent &e : traffic->events())
        kinds << QString::number(int(e.kind));
    const QString open = QString::number(int(TrafficEvent::Kind::Opened));
    const QString sent = QString::number(int(TrafficEvent::Kind::Sent));
    const QString closed = QString::number(int(TrafficEvent::Kind::Closed));
    QCOMPARE(kinds, (QStringList{open, sent, closed, open, sent, closed}));
}

// The job works with the ports as they were when it started.
void TestChipWorker::portMapIsTheJobsOwn()
{
    Station station;
    ChipWorker worker;
    FrontEnd frontEnd;
    std::optional<bool> answered;
    worker.start(station.ports, &frontEnd,
                 [](SerialLink &link, const JobChannel &) {
                     QThread::msleep(50);  // the front end changes its map meanwhile
                     if (!link.open(1, 9600, Handshake::None))
                         return false;
                     link.send(Commands::probe());
                     return link.readReplyByte() == ChipEmulator::ProbeReply;
                 },
                 [&](bool yes) { answered = yes; });
    station.ports.assign(1, u"/nonexistent/qv12"_s);
    QVERIFY(waitUntil([&] { return answered.has_value(); }));
    QVERIFY(*answered);
}

void TestChipWorker::cancellationEndsTheWaitAtOnce_data()
{
    QTest::addColumn<Cancellation::Reason>("reason");
    QTest::addColumn<int>("kind");
    QTest::newRow("the operator stopped") << Cancellation::Reason::OperatorStopped << int(JobError::Kind::Stopped);
    QTest::newRow("the program is ending") << Cancellation::Reason::ProgramEnding << int(JobError::Kind::ProgramEnding);
}

// Cancelled from the front end's thread, a job's long wait ends at once, its port
// closes, nothing more reaches the chip, and the worker takes the next job as usual.
void TestChipWorker::cancellationEndsTheWaitAtOnce()
{
    QFETCH(Cancellation::Reason, reason);
    QFETCH(int, kind);
    Station station;
    ChipWorker worker;
    FrontEnd frontEnd;
    std::optional<JobResult<void>> result;
    QElapsedTimer clock;
    const Cancellation job = worker.start(
        station.ports, &frontEnd,
        [](SerialLink &link, const JobChannel &) -> JobResult<void> {
            if (!link.open(1, 9600, Handshake::None))
                return Failure(JobError{});
            link.send(Commands::cancelByte());
            link.pause(10000);
            link.send(Commands::cancelByte());  // goes nowhere once cancelled
            if (!link.isOpen())
                return Failure(ChipJob::stopped(link));
            return {};
        },
        [&](const JobResult<void> &r) { result = r; });
    QVERIFY(waitUntil([&] { return worker.isPortOpen() && station.chip.received().size() == 1; }));
    clock.start();
    job.request(reason);
    QVERIFY(waitUntil([&] { return result.has_value(); }));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(u"%1 ms to end"_s.arg(clock.elapsed())));
    QVERIFY(!*result);
    QCOMPARE(int(result->error().kind), kind);
    QVERIFY(!worker.isPortOpen());
    QCOMPARE(station.chip.received().bytes(), bytes({24}));

    // The worker goes on: the next job has a cancellation of its own.
    std::optional<bool> next;
    worker.start(station.ports, &frontEnd,
                 [](SerialLink &link, const JobChannel &) { return link.open(1, 9600, Handshake::None); },
                 [&](bool opened) { next = opened; });
    QVERIFY(waitUntil([&] { return next.has_value(); }));
    QVERIFY(*next);
}

void TestChipWorker::cancellationReasons()
{
    const Cancellation c;
    QVERIFY(!c.isRequested());
    c.request(Cancellation::Reason::OperatorStopped);
    QCOMPARE(c.reason(), Cancellation::Reason::OperatorStopped);
    c.request(Cancellation::Reason::ProgramEnding);  // the stronger replaces it...
    QCOMPARE(c.reason(), Cancellation::Reason::ProgramEnding);
    c.request(Cancellation::Reason::OperatorStopped);  // ...never the other way round
    QCOMPARE(c.reason(), Cancellation::Reason::ProgramEnding);
    const Cancellation copy = c;  // one state
    c.reset();
    QVERIFY(!copy.isRequested());
    copy.request(Cancellation::Reason::OperatorStopped);
    QCOMPARE(c.reason(), Cancellation::Reason::OperatorStopped);
    QVERIFY(!(Cancellation() == c));

    // Requested from another thread, it reaches a receiver here as a queued call.
    const Cancellation fresh;
    QThread *heardIn = nullptr;
    fresh.onRequested(this, [&] { heardIn = QThread::currentThread(); });
    std::unique_ptr<QThread> other(QThread::create([fresh] { fresh.request(Cancellation::Reason::OperatorStopped); }));
    other->start();
    QVERIFY(other->wait(5000));
    QVERIFY(waitUntil([&] { return heardIn != nullptr; }));
    QCOMPARE(heardIn, QThread::currentThread());
}

// A question goes to the front end's thread and its answer comes back to the job, which
// waits meanwhile; the relayed listener's calls come in the order the job made them.
void TestChipWorker::questionIsARoundTrip()
{
    struct Answers : JobListener
    {
        QStringList heard;
        void modeRead(bool software) override { heard << u"mode %1"_s.arg(software); }
        bool programDespitePolarity(quint8 detected, int chosen) override
        {
            heard << u"asked %1 %2 in %3"_s.arg(detected).arg(chosen).arg(QThread::currentThread()->objectName());
            return true;
        }
        void echoMismatch(const SettingWrite &write) override { heard << u"echo %1"_s.arg(write.setting); }
    };
    QThread::currentThread()->setObjectName(u"front end"_s);
    auto answers = std::make_shared<Answers>();
    ChipWorker worker;
    FrontEnd frontEnd;
    std::optional<QString> jobSaw;
    worker.start(PortMap(), &frontEnd,
                 [answers](SerialLink &, const JobChannel &channel) {
                     RelayedListener relayed(answers, channel);
                     relayed.modeRead(true);
                     const bool yes = relayed.programDespitePolarity(1, 0);
                     relayed.echoMismatch(SettingWrite{7, 1, 0});
                     // Both round trips have come back: what they did is there to see.
                     return u"%1 after %2"_s.arg(yes).arg(answers->heard.size());
                 },
                 [&](const QString &saw) { jobSaw = saw; });
    QVERIFY(waitUntil([&] { return jobSaw.has_value(); }));
    QCOMPARE(*jobSaw, u"1 after 3"_s);
    QCOMPARE(answers->heard, (QStringList{u"mode 1"_s, u"asked 1 0 in front end"_s, u"echo 7"_s}));
}

void TestChipWorker::cancelledWhileAsked_data()
{
    QTest::addColumn<bool>("programEnds");
    QTest::newRow("the operator stops") << false;
    QTest::newRow("the program ends") << true;
}

// A job is cancelled while it waits for the answer to its question: it stops waiting at
// once, the question is never put, and nothing waits for anything; the program ending
// meanwhile ends the worker at once.
void TestChipWorker::cancelledWhileAsked()
{
    QFETCH(bool, programEnds);
    Station station;
    auto worker = std::make_unique<ChipWorker>();
    FrontEnd frontEnd;
    auto asking = std::make_shared<std::atomic<bool>>(false);
    auto asked = std::make_shared<std::atomic<bool>>(false);
    auto answer = std::make_shared<std::atomic<int>>(-1);  // -1: the job has not seen one yet
    const Cancellation job = worker->start(
        station.ports, &frontEnd,
        [asking, asked, answer](SerialLink &link, const JobChannel &channel) {
            link.open(1, 9600, Handshake::None);
            asking->store(true);
            const std::optional<bool> yes = channel.ask<bool>([asked] {
                asked->store(true);
                return true;
            });
            answer->store(yes ? int(*yes) : 2);
            return 0;
        },
        [](int) {});
    // This thread runs no events meanwhile: the question stays unanswered in its queue.
    QElapsedTimer clock;
    clock.start();
    while (!asking->load() && clock.elapsed() < 10000)
        QThread::msleep(1);
    QVERIFY(asking->load());
    QThread::msleep(50);  // well inside its wait for the answer
    clock.restart();
    if (programEnds) {
        worker.reset();  // as at the program's end: cancels, closes the port, ends the thread
    } else {
        job.request(Cancellation::Reason::OperatorStopped);
        while (answer->load() < 0 && clock.elapsed() < 10000)
            QThread::msleep(1);
    }
    QVERIFY2(clock.elapsed() < 2000, qPrintable(u"%1 ms to end"_s.arg(clock.elapsed())));
    QCOMPARE(answer->load(), 2);  // no answer: the job was cancelled first
    QVERIFY(waitUntil([&] { return !worker || !worker->isBusy(); }));
    QVERIFY(!asked->load());
}

void TestChipWorker::resultForAGoneFrontEndIsDropped()
{
    ChipWorker worker;
    auto frontEnd = std::make_unique<FrontEnd>();
    bool called = false;
    bool idle = false;
    connect(&worker, &ChipWorker::idle, this, [&] { idle = true; });
    worker.start(PortMap(), frontEnd.get(),
                 [](SerialLink &link, const JobChannel &) {
                     link.pause(100);
                     return 1;
                 },
                 [&](int) { called = true; });
    frontEnd.reset();
    QVERIFY(waitUntil([&] { return idle; }));
    QVERIFY(!called);
    QVERIFY(!worker.isBusy());
}

// The program's record holds every link's events in the order of their stamps.
void TestChipWorker::programTrafficInTimeOrder()
{
    const auto traffic = onTwoWorkers(115200, [](SerialLink &link, int) {
        for (int i = 0; i < 20; ++i) {
            link.send(Commands::probe());
            link.readReplyByte();
        }
    });
    const QList<TrafficEvent> events = traffic->events();
    QCOMPARE(events.size(), 2 * (2 + 40));
    for (qsizetype i = 1; i < events.size(); ++i)
        QVERIFY(events[i - 1].timeNs <= events[i].timeNs);
    QCOMPARE(sentEvents(*traffic, 1).size(), 20);
    QCOMPARE(eventsOf(*traffic, TrafficEvent::Kind::Received, 2).size(), 20);
}

QTEST_GUILESS_MAIN(TestChipWorker)
#include "tst_chipworker.moc"
