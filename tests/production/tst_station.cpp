// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The production station in the program itself (no process started), against simulated
// chips on pseudo-terminals through the real QSerialPort path.
#include "production/jsonlrecordsink.h"
#include "production/recordsinks.h"
#include "production/station.h"
#include "serial/seriallink.h"
#include "sim/simulatedchip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const ConfigWord Word = *ConfigWord::fromText(u"1111110000100000");
const QString Identity = u"KT 620-ST"_s;
constexpr int SettingsOfTarget = 13;  // the modes, the two configuration bytes, the identity

int settingWrites(const SimulatedChip &chip)
{
    return int(chip.received().bytes().count("\x1dSF"));
}

int lineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

// One station's events as they came, and how it ended.
struct Watch
{
    explicit Watch(Station &station)
    {
        QObject::connect(&station, &Station::waiting, &station, [this] { events.append(u"waiting"_s); });
        QObject::connect(&station, &Station::found, &station,
                         [this](int chip, const StationArrival &) { events.append(u"found %1"_s.arg(chip)); });
        QObject::connect(&station, &Station::recordWritten, &station, [this](const ChipRecord &r, const RecordKept &) {
            events.append(u"record %1"_s.arg(r.chipNumber));
        });
        QObject::connect(&station, &Station::verdict, &station, [this](const StationVerdict &v) {
            verdicts.append(v);
            events.append(u"verdict %1 %2"_s.arg(v.record.chipNumber).arg(v.record.passed ? u"PASS"_s : u"FAIL"_s));
        });
        QObject::connect(&station, &Station::gone, &station, [this] { events.append(u"gone"_s); });
        QObject::connect(&station, &Station::portLost, &station, [this](const ChipFailure &) {
            events.append(u"port lost"_s);
        });
        QObject::connect(&station, &Station::finished, &station, [this](const StationEnd &e) {
            end = e;
            finished = true;
        });
    }

    QStringList events;
    QList<StationVerdict> verdicts;
    StationEnd end;
    bool finished = false;
};

} // namespace

class TestStation final : public QObject
{
    Q_OBJECT

private slots:
    void chipsComeAndGo();
    void chipSwappedAtOnce();
    void wrongEcho();
    void pulledCable();
    void portHeldForAMoment();
    void stoppedWhileProgramming();
    void recordNotWritten();
    void twoStationsOverlap();
    void speedFoundOnItsOwnPort();

private:
    StationSettings settingsFor(const QString &device, int port = 1, int count = 0) const;
    std::unique_ptr<RecordSink> sink(const QString &name) const;

    QTemporaryDir m_dir;
};

StationSettings TestStation::settingsFor(const QString &device, int port, int count) const
{
    StationSettings s;
    s.port = port;
    s.ports.assign(port, device);
    s.speed = 9600;
    s.target.setWord(Word);
    s.target.setIdentity(Identity);
    s.count = count;
    return s;
}

std::unique_ptr<RecordSink> TestStation::sink(const QString &name) const
{
    return std::make_unique<JsonlRecordSink>(m_dir.filePath(name));
}

void TestStation::chipsComeAndGo()
{
    // A chip comes, is programmed once, goes; the next comes and is programmed once too.
    const QString link = m_dir.filePath(u"station-link"_s);
    auto first = std::make_unique<SimulatedChip>();
    QVERIFY(first->createLink(link));
    std::unique_ptr<SimulatedChip> second;
    Station station(settingsFor(link, 1, 2), sink(u"comeandgo.jsonl"_s));
    Watch watch(station);
    connect(&station, &Station::verdict, this, [&](const StationVerdict &v) {
        if (v.record.chipNumber == 1)
            first->removeLink();  // taken away; the next one comes after the station saw it go
    });
    connect(&station, &Station::gone, this, [&] {
        second = std::make_unique<SimulatedChip>();
        QVERIFY(second->createLink(link));
    });
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QCOMPARE(watch.events, (QStringList{u"waiting"_s, u"found 1"_s, u"record 1"_s, u"verdict 1 PASS"_s, u"gone"_s,
                                        u"waiting"_s, u"found 2"_s, u"record 2"_s, u"verdict 2 PASS"_s}));
    QCOMPARE(settingWrites(*first), SettingsOfTarget);
    QVERIFY(second);
    QCOMPARE(settingWrites(*second), SettingsOfTarget);
    QCOMPARE(watch.end.chips, 2);
    QCOMPARE(watch.end.passes, 2);
    QVERIFY(!watch.end.error);
    QCOMPARE(lineCount(m_dir.filePath(u"comeandgo.jsonl"_s)), 2);
    QCOMPARE(first->setting(9), quint8('K'));
}

void TestStation::chipSwappedAtOnce()
{
    // The chip that passed is swapped for a fresh one faster than any poll could find
    // the socket empty: the fresh one answers with another name, so it is a new chip,
    // and it is programmed, once; the tile does not go on showing the last PASS.
    const QString link = m_dir.filePath(u"swap-link"_s);
    auto first = std::make_unique<SimulatedChip>();
    QVERIFY(first->createLink(link));
    std::unique_ptr<SimulatedChip> second;
    Station station(settingsFor(link, 1, 2), sink(u"swapped.jsonl"_s));
    Watch watch(station);
    connect(&station, &Station::verdict, this, [&](const StationVerdict &v) {
        if (v.record.chipNumber == 1) {
            first->removeLink();
            second = std::make_unique<SimulatedChip>();
            QVERIFY(second->createLink(link));
        }
    });
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 30000);
    QCOMPARE(watch.events, (QStringList{u"waiting"_s, u"found 1"_s, u"record 1"_s, u"verdict 1 PASS"_s, u"gone"_s,
                                        u"waiting"_s, u"found 2"_s, u"record 2"_s, u"verdict 2 PASS"_s}));
    QCOMPARE(settingWrites(*first), SettingsOfTarget);
    QCOMPARE(settingWrites(*second), SettingsOfTarget);
    QCOMPARE(lineCount(m_dir.filePath(u"swapped.jsonl"_s)), 2);
}

void TestStation::wrongEcho()
{
    SimulatedChip chip;
    ChipFaults faults;
    faults.wrongEcho.insert(7, 0x55);
    chip.setFaults(faults);
    Station station(settingsFor(chip.devicePath(), 1, 1), sink(u"echo.jsonl"_s));
    Watch watch(station);
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QCOMPARE(watch.verdicts.size(), 1);
    const StationVerdict &v = watch.verdicts.first();
    QVERIFY(!v.record.passed);
    QVERIFY(v.failure);
    QCOMPARE(v.failure->kind, ChipFailure::Kind::Mismatch);
    QVERIFY2(v.failure->line.contains(u"echoed 1 of 13 settings wrong (setting 7)"_s), qPrintable(v.failure->line));
    QCOMPARE(v.record.status, 3);
    QCOMPARE(v.record.failure, v.failure->line);
    const auto wrong = std::find_if(v.record.settings.cbegin(), v.record.settings.cend(),
                                    [](const SettingWrite &w) { return !w.echoed(); });
    QVERIFY(wrong != v.record.settings.cend());
    QCOMPARE(int(wrong->setting), 7);
    QCOMPARE(int(wrong->echo), 0x55);
    QCOMPARE(watch.end.failures, 1);
}

void TestStation::pulledCable()
{
    // The cable goes in the middle of programming: the chip fails with the port, the
    // station says its port is lost and ends.
    SimulatedChip chip;
    StationSettings settings = settingsFor(chip.devicePath());
    settings.endOnPortLoss = true;
    Station station(settings, sink(u"pulled.jsonl"_s));
    Watch watch(station);
    connect(&station, &Station::progress, this, [&](const ProgrammingStep &step) {
        if (step.done == 3 && !chip.isUnplugged())
            chip.unplug();
    });
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QVERIFY2(watch.events.contains(u"port lost"_s), qPrintable(watch.events.join(u", "_s)));
    QCOMPARE(watch.verdicts.size(), 1);
    QCOMPARE(watch.verdicts.first().failure->kind, ChipFailure::Kind::PortLost);
    QVERIFY(watch.end.error);
    QCOMPARE(watch.end.error->kind, ChipFailure::Kind::PortLost);
    QCOMPARE(watch.end.failures, 1);
    QVERIFY(settingWrites(chip) < SettingsOfTarget);
}

void TestStation::portHeldForAMoment()
{
    // Another program holds the port when the station starts: held for half a second,
    // it is waited out and the chip programmed; held on, the station ends, not before
    // it has been held HeldMs, saying by whom.
    SimulatedChip chip;
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink holder(ports);
    QVERIFY(holder.open(1, 9600, Handshake::DsrDtr));
    {
        Station station(settingsFor(chip.devicePath(), 1, 1), sink(u"heldshortly.jsonl"_s));
        Watch watch(station);
        station.start();
        QTimer::singleShot(500, &holder, [&holder] { holder.close(); });
        QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
        QVERIFY2(!watch.end.error, qPrintable(watch.end.error ? watch.end.error->line : QString()));
        QCOMPARE(watch.end.passes, 1);
        QCOMPARE(settingWrites(chip), SettingsOfTarget);
    }

    QVERIFY(holder.open(1, 9600, Handshake::DsrDtr));
    Station station(settingsFor(chip.devicePath(), 1, 1), sink(u"heldon.jsonl"_s));
    Watch watch(station);
    QElapsedTimer clock;
    clock.start();  // before the station's first look: its wait can only seem longer
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QVERIFY2(clock.elapsed() >= Station::HeldMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(watch.end.error);
    QCOMPARE(watch.end.error->line,
             u"COM1 (%1): held by another program (process %2); close the program that holds the port, such as a "
             "terminal program or ModemManager, and try again"_s.arg(chip.devicePath())
                 .arg(QCoreApplication::applicationPid()));
    QCOMPARE(watch.end.chips, 0);
    QCOMPARE(settingWrites(chip), SettingsOfTarget);  // the first station's, nothing more
}

void TestStation::stoppedWhileProgramming()
{
    // Stop while a chip is programmed: it ends at its next wait, fails with its record,
    // and the station ends cleanly.
    SimulatedChip chip;
    Station station(settingsFor(chip.devicePath()), sink(u"stopped.jsonl"_s));
    Watch watch(station);
    connect(&station, &Station::progress, this, [&](const ProgrammingStep &step) {
        if (step.done == 3)
            station.stop();
    });
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QVERIFY(!station.isRunning());
    QCOMPARE(watch.end.stopped, Cancellation::Reason::OperatorStopped);
    QCOMPARE(watch.end.chips, 1);
    QCOMPARE(watch.end.failures, 1);
    QVERIFY(!watch.end.error);
    QCOMPARE(watch.verdicts.size(), 1);
    QCOMPARE(watch.verdicts.first().failure->kind, ChipFailure::Kind::Interrupted);
    QCOMPARE(watch.verdicts.first().record.status, 130);
    QVERIFY(settingWrites(chip) < SettingsOfTarget);
    QCOMPARE(lineCount(m_dir.filePath(u"stopped.jsonl"_s)), 1);
}

void TestStation::recordNotWritten()
{
    // The record can't be written once the chip is programmed: the station says so in
    // the verdict, never reports a record written, and stops.
    SimulatedChip chip;
    const QString audit = m_dir.filePath(u"gone-record.jsonl"_s);
    Station station(settingsFor(chip.devicePath(), 1, 3), std::make_unique<JsonlRecordSink>(audit));
    Watch watch(station);
    connect(&station, &Station::found, this, [&] {
        // The file is checked by now; a folder in its place takes no record.
        QVERIFY(QFile::remove(audit));
        QVERIFY(QDir().mkdir(audit));
    });
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QCOMPARE(watch.events, (QStringList{u"waiting"_s, u"found 1"_s, u"verdict 1 PASS"_s}));
    QVERIFY(watch.verdicts.first().recordFailure);
    QCOMPARE(watch.verdicts.first().recordFailure->kind, ChipFailure::Kind::RecordNotKept);
    QVERIFY(watch.end.error);
    QCOMPARE(watch.end.error->status(), 5);
    QCOMPARE(watch.end.passes, 0);
    QCOMPARE(watch.end.failures, 1);
}

void TestStation::twoStationsOverlap()
{
    // Two stations on two workers at once take about the time of one: their waits overlap.
    auto oneChip = [this](SimulatedChip &chip, int port, const QString &audit) {
        return std::make_unique<Station>(settingsFor(chip.devicePath(), port, 1), sink(audit));
    };
    SimulatedChip alone;
    QElapsedTimer clock;
    auto single = oneChip(alone, 1, u"alone.jsonl"_s);
    Watch singleWatch(*single);
    clock.start();
    single->start();
    QTRY_VERIFY_WITH_TIMEOUT(singleWatch.finished, 60000);
    const qint64 oneMs = clock.elapsed();

    SimulatedChip a;
    SimulatedChip b;
    auto first = oneChip(a, 1, u"pair.jsonl"_s);
    auto second = oneChip(b, 2, u"pair.jsonl"_s);
    Watch firstWatch(*first);
    Watch secondWatch(*second);
    clock.restart();
    first->start();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(firstWatch.finished && secondWatch.finished, 60000);
    const qint64 twoMs = clock.elapsed();
    QCOMPARE(firstWatch.end.passes + secondWatch.end.passes, 2);
    QCOMPARE(lineCount(m_dir.filePath(u"pair.jsonl"_s)), 2);
    QVERIFY2(twoMs <= oneMs * 12 / 10, qPrintable(u"one station %1 ms, two %2 ms"_s.arg(oneMs).arg(twoMs)));
}

void TestStation::speedFoundOnItsOwnPort()
{
    // Not given the speed, the station finds it on its own port: the wake-up and the scan
    // go nowhere else, and a chip on the next COM number hears nothing.
    SimulatedChip chip(19200);
    SimulatedChip neighbour(19200);
    StationSettings settings = settingsFor(chip.devicePath(), 2, 1);
    settings.speed = 0;
    settings.ports.assign(3, neighbour.devicePath());
    Station station(settings, sink(u"speed.jsonl"_s));
    Watch watch(station);
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(watch.finished, 60000);
    QCOMPARE(watch.verdicts.size(), 1);
    QVERIFY(watch.verdicts.first().record.passed);
    QCOMPARE(watch.verdicts.first().record.speed, 19200);
    QCOMPARE(watch.verdicts.first().record.station, 2);
    QCOMPARE(settingWrites(chip), SettingsOfTarget);
    QCOMPARE(neighbour.received().size(), 0);
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
