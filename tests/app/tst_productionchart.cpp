// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The production window's figures of the day and its chart of the last hours: read
// from an audit store that already holds runs of today and yesterday, and growing as a
// simulated station's chips finish. Runs in a zone whose hours are not UTC's (UTC+5:30
// or +5:45), so that the local day and its hours differ from the ones the store keeps.
#include "app/production/productionchart.h"
#include "app/production/productionwindow.h"
#include "production/store/recordstore.h"
#include "sim/simulatedstation.h"
#include "tests/store/records.h"
#include "testwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QBarSet>
#include <QCheckBox>
#include <QChartView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <numeric>

#include <time.h>

using namespace Qt::StringLiterals;

namespace {

const QString Word = u"1111110000100000"_s;
const QString Name = u"KT 620-ST"_s;
constexpr int LongWaitMs = 60000;
// Longer than the test of today's figures takes on a busy machine.
constexpr int ClearOfTheHourS = 300;

// Of two zones a quarter of an hour apart, one whose next hour and last midnight are not
// minutes away: the chart moves on at the hour and the day at midnight, and the expected
// figures would with them.
const char *zoneClearOfTheHour()
{
    const qint64 utc = QDateTime::currentSecsSinceEpoch();
    for (const auto &[zone, offset] : {std::pair{"Asia/Kolkata", 19800}, std::pair{"Asia/Kathmandu", 20700}}) {
        const qint64 ofDay = (utc + offset) % 86400;
        if (3600 - ofDay % 3600 >= ClearOfTheHourS && ofDay >= ClearOfTheHourS)
            return zone;
    }
    return "Asia/Kathmandu";
}

// A control of the window by what it is announced as: its accessible name, else its text.
template<class T>
T *control(QWidget *window, const QString &announced)
{
    for (T *found : window->findChildren<T *>()) {
        if (found->accessibleName() == announced)
            return found;
        if constexpr (std::is_base_of_v<QAbstractButton, T>) {
            if (found->text() == announced)
                return found;
        }
    }
    qFatal("No control announced as %s", qPrintable(announced));
}

QDateTime hourStart(const QDateTime &time)
{
    return QDateTime(time.date(), QTime(time.time().hour(), 0));
}

// The counts of the chart's bars, oldest hour first.
QList<int> bars(const QBarSet &set)
{
    QList<int> counts;
    for (int i = 0; i < set.count(); ++i)
        counts.append(int(set.at(i)));
    return counts;
}

// One simulated station on COM1 in the main window, and the production window set up
// to program "KT 620-ST" with its records going to `audit`. Each chip is taken away and
// a new one put there until `chips` have been done.
class Line
{
public:
    Line(const QString &audit, int chips) : window(cdbBytes({{Name, Word}})), m_chips(chips)
    {
        window.context.setUsesSystemPorts(false);
        if (const Result<void, QString> started = m_station.start(); !started)
            qFatal("%s", qPrintable(started.error()));
        window.context.ports().assign(1, m_station.devicePath());
        window.context.setChipTakenAway([this](int) {
            if (++m_done < m_chips)
                m_station.replaceChip();
        });
        window.window().show();
        window.window().showProductionWindow();
        production = window.window().productionWindow();
        control<QComboBox>(production, u"Entry"_s)->setCurrentText(Name);
        control<QLineEdit>(production, u"Identity"_s)->setText(Name);
        control<QLineEdit>(production, u"Audit file"_s)->setText(audit);
        control<QCheckBox>(production, u"COM1"_s)->setChecked(true);
        chart = production->findChild<ProductionChart *>();
    }

    void start() { QTest::mouseClick(control<QPushButton>(production, u"Start"_s), Qt::LeftButton); }
    int done() const { return m_done; }
    QString today() const { return production->findChild<QLabel *>(u"todayFigures"_s)->text(); }
    QString note() const { return production->findChild<QLabel *>(u"chartNote"_s)->text(); }
    QString described() const
    {
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(production->findChild<QChartView *>());
        return view ? view->text(QAccessible::Description) : QString();
    }

    TestWindow window;
    QPointer<ProductionWindow> production;
    ProductionChart *chart = nullptr;

private:
    SimulatedStation m_station;
    int m_done = 0;
    int m_chips;
};

} // namespace

class tst_ProductionChart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void todayFromTheStore();
    void auditFileCountsSinceStart();

private:
    QTemporaryDir m_data;
};

void tst_ProductionChart::initTestCase()
{
    QVERIFY(m_data.isValid());
    // The store's spool goes into the test's own data folder.
    qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
    const int offset = QDateTime::currentDateTime().offsetFromUtc();
    QVERIFY2(offset == 19800 || offset == 20700, qPrintable(QString::number(offset)));
}

// A store holding runs of yesterday and of today: the window shows today's by the local
// day, the chart the last hours by the local hour, and both grow as chips finish.
void tst_ProductionChart::todayFromTheStore()
{
    const QString store = m_data.filePath(u"audit.sqlite"_s);
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime todayStart = now.date().startOfDay();
    const QDateTime chartStart = hourStart(now).addSecs(-7 * 3600);
    // Two hours before the current one, 10 and 20 minutes into it: in UTC, in the hour
    // before.
    const QDateTime twoHoursAgo = hourStart(now).addSecs(-2 * 3600);
    const QList<std::pair<QDateTime, bool>> runs{
        {todayStart.addSecs(-9 * 3600), false},  // yesterday, before the chart
        {todayStart.addSecs(-60), true},         // a minute before midnight: yesterday
        {todayStart.addSecs(60), true},          // a minute after midnight (the UTC day before)
        {todayStart.addSecs(120), false},
        {twoHoursAgo.addSecs(10 * 60), true},
        {twoHoursAgo.addSecs(20 * 60), false},
    };
    LineTotals today;
    QList<int> passed(8, 0);
    QList<int> failed(8, 0);
    {
        RecordStore written(*parseStoreTarget(store));
        QVERIFY(written.open());
        int number = 0;
        for (const auto &[started, pass] : runs) {
            ChipRecord r = TestRecords::made(u"earlier"_s, ++number);
            r.started = started.toUTC();
            r.passed = pass;
            QVERIFY(written.write(r));
            if (started >= todayStart)
                today.add(pass);
            if (started >= chartStart)
                ++(pass ? passed : failed)[int(chartStart.secsTo(started) / 3600)];
        }
    }
    QCOMPARE(passed.at(5), 1);
    QCOMPARE(failed.at(5), 1);

    const auto todayText = [](const LineTotals &t) {
        return u"Today: %1 chips, %2 passed, %3 failed, yield %4 %"_s.arg(t.chips).arg(t.passed).arg(t.failed)
            .arg(t.yieldPercent(), 0, 'f', 1);
    };
    const int currentHour = 7;
    {
        Line line(store, 2);
        line.start();
        QTRY_COMPARE_WITH_TIMEOUT(line.today(), todayText(today), LongWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(bars(line.chart->passedBars()), passed, LongWaitMs);
        QCOMPARE(bars(line.chart->failedBars()), failed);
        QCOMPARE(line.note(), QString());

        // Each chip that finishes counts today and in the current hour.
        for (int chip = 1; chip <= 2; ++chip) {
            QTRY_VERIFY_WITH_TIMEOUT(line.done() >= chip, LongWaitMs);
            today.add(true);
            ++passed[currentHour];
            QTRY_COMPARE_WITH_TIMEOUT(line.today(), todayText(today), LongWaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(bars(line.chart->passedBars()), passed, LongWaitMs);
            QCOMPARE(bars(line.chart->failedBars()), failed);
        }
        // A screen reader hears the figures in words.
        QTRY_VERIFY(line.described().startsWith(todayText(today) + u". from "_s));
        const QString hour = QLocale().toString(twoHoursAgo.time(), QLocale::ShortFormat);
        QVERIFY2(line.described().contains(u"from %1: 1 passed, 1 failed"_s.arg(hour)), qPrintable(line.described()));
        QCOMPARE(line.production->findChild<QChartView *>()->accessibleName(), u"Chips per hour, last 8 hours"_s);

        QTest::mouseClick(control<QPushButton>(line.production, u"Stop"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
    }

    // The program started again: the day's count goes on from the store.
    Line again(store, 1);
    again.start();
    QTRY_COMPARE_WITH_TIMEOUT(again.today(), todayText(today), LongWaitMs);
    QCOMPARE(bars(again.chart->passedBars()), passed);
    QTRY_VERIFY_WITH_TIMEOUT(again.done() >= 1, LongWaitMs);
    today.add(true);
    QTRY_COMPARE_WITH_TIMEOUT(again.today(), todayText(today), LongWaitMs);
}

// An audit file keeps no figures to read back: today's are the chips since Start, and
// the window says so.
void tst_ProductionChart::auditFileCountsSinceStart()
{
    Line line(m_data.filePath(u"audit.jsonl"_s), 2);
    line.start();
    QTRY_COMPARE_WITH_TIMEOUT(line.done(), 2, LongWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(line.today(), u"Today: 2 chips, 2 passed, 0 failed, yield 100.0 %"_s, LongWaitMs);
    QList<int> passed = bars(line.chart->passedBars());
    QCOMPARE(std::accumulate(passed.begin(), passed.end(), 0), 2);
    QCOMPARE(line.note(), u"An audit file keeps no figures to read back: these count the chips since Start."_s);
    QVERIFY(line.described().endsWith(line.note()));
}

int main(int argc, char *argv[])
{
    // Before anything reads the clock.
    qputenv("TZ", zoneClearOfTheHour());
    ::tzset();
    QApplication app(argc, argv);
    tst_ProductionChart test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_productionchart.moc"
