#include "protocol/commands.h"
#include "serial/seriallink.h"
#include "serial/timerout.h"
#include "sim/simulatedchip.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <time.h>

namespace {

qint64 processCpuNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace

class TestWaits final : public QObject
{
    Q_OBJECT

private slots:
    void waitMsLasts_data();
    void waitMsLasts();
    void timerFiresInsideWait();
    void handlerRunsInsideWait();
    void idleWaitUsesNoCpu();
    void silentReadUsesNoCpu();
    void timerOutTimesOut();
    void timerOutEndsOnCondition();
    void timerOutKeepsTickingUntilStopped();
    void timerOutWithoutTimerReturns();
    void abortEndsEveryWait();

private:
    PortMap m_ports;
};

void TestWaits::waitMsLasts_data()
{
    QTest::addColumn<int>("ms");
    QTest::newRow("0") << 0;
    QTest::newRow("10") << 10;
    QTest::newRow("50") << 50;
    QTest::newRow("100") << 100;
    QTest::newRow("250") << 250;
}

void TestWaits::waitMsLasts()
{
    QFETCH(int, ms);
    SerialLink link(m_ports);
    QElapsedTimer clock;
    clock.start();
    link.WaitMs(ms);
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    QVERIFY2(elapsed >= ms - 0.5 && elapsed < ms + 150, qPrintable(QString::number(elapsed)));
}

void TestWaits::timerFiresInsideWait()
{
    SerialLink link(m_ports);
    QElapsedTimer clock;
    clock.start();
    qint64 firedAt = -1;
    QTimer::singleShot(50, &link, [&] { firedAt = clock.elapsed(); });
    link.WaitMs(200);
    const qint64 total = clock.elapsed();
    QVERIFY2(firedAt >= 49 && firedAt < 200, qPrintable(QString::number(firedAt)));
    QVERIFY(total >= 199);
}

void TestWaits::handlerRunsInsideWait()
{
    // A handler that itself waits runs to its end inside the outer wait.
    SerialLink link(m_ports);
    QElapsedTimer clock;
    clock.start();
    qint64 innerDone = -1;
    QTimer::singleShot(20, &link, [&] {
        link.WaitMs(100);
        innerDone = clock.elapsed();
    });
    link.WaitMs(50);
    QVERIFY(innerDone >= 119);  // the outer wait ends only when the inner one has
}

void TestWaits::idleWaitUsesNoCpu()
{
    SerialLink link(m_ports);
    const qint64 before = processCpuNs();
    link.WaitMs(2000);
    const double cpuMs = double(processCpuNs() - before) / 1e6;
    QVERIFY2(cpuMs < 50, qPrintable(QString::number(cpuMs)));
}

void TestWaits::silentReadUsesNoCpu()
{
    SimulatedChip chip(9600);
    chip.setSilent(true);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    QVERIFY(link.OpenPort(1, QStringLiteral("9600"), 2));
    const qint64 before = processCpuNs();
    QCOMPARE(link.ReadText(), QByteArray());
    QCOMPARE(link.ReadByte(), quint8(0));
    const double cpuMs = double(processCpuNs() - before) / 1e6;
    QVERIFY2(cpuMs < 50, qPrintable(QString::number(cpuMs)));
}

void TestWaits::timerOutTimesOut()
{
    SerialLink link(m_ports);
    TimerOut timer(link);
    QVERIFY(!timer.TimedOut());
    QElapsedTimer clock;
    clock.start();
    timer.start(150);
    QVERIFY(timer.waitUntil());
    timer.stop();
    QVERIFY(timer.TimedOut());
    QVERIFY2(clock.elapsed() >= 149 && clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
    timer.start(10);
    QVERIFY(!timer.TimedOut());  // start clears the flag
    timer.stop();
}

void TestWaits::timerOutEndsOnCondition()
{
    SimulatedChip chip(9600);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink link(ports);
    TimerOut timer(link);
    QVERIFY(link.OpenPort(1, QStringLiteral("9600"), 2));
    link.SendText(Commands::Probe());
    QElapsedTimer clock;
    clock.start();
    timer.start(500);
    QVERIFY(!timer.waitUntil([&] { return link.bytesWaiting() > 0; }));
    timer.stop();
    QVERIFY(clock.elapsed() < 400);
    QCOMPARE(link.readWaiting(), QByteArray(1, char(ChipEmulator::ProbeReply)));
}

void TestWaits::timerOutKeepsTickingUntilStopped()
{
    SerialLink link(m_ports);
    TimerOut timer(link);
    timer.start(30);
    QVERIFY(timer.waitUntil());
    // Still armed: the caller must stop it; a second wait ends at the next tick.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(timer.waitUntil([] { return false; }));
    timer.stop();
    QVERIFY(clock.elapsed() < 10);  // the flag was already set
}

void TestWaits::timerOutWithoutTimerReturns()
{
    SerialLink link(m_ports);
    TimerOut timer(link);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!timer.waitUntil([] { return false; }));
    QVERIFY(clock.elapsed() < 50);
}

void TestWaits::abortEndsEveryWait()
{
    SerialLink link(m_ports);
    TimerOut timer(link);
    QElapsedTimer clock;
    clock.start();
    bool innerEnded = false;
    // A wait for the time-out inside a WaitMs: both end when the link is aborted.
    QTimer::singleShot(20, &link, [&] {
        timer.start(5000);
        innerEnded = timer.waitUntil();
        timer.stop();
    });
    QTimer::singleShot(100, &link, [&] { link.abort(); });
    link.WaitMs(5000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(innerEnded);
    QVERIFY(timer.TimedOut());
}

QTEST_GUILESS_MAIN(TestWaits)
#include "tst_waits.moc"
