// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The production window driven as an operator drives it, with simulated stations on
// pseudo-terminals behind COM1 to COM3.
#include "app/chippanel.h"
#include "app/production/productionwindow.h"
#include "app/production/stationtile.h"
#include "sim/simulatedstation.h"
#include "testwindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Word = u"1111110000100000"_s;
const QString Name = u"KT 620-ST"_s;
constexpr int LongWaitMs = 60000;

QList<QJsonObject> auditLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.append(QJsonDocument::fromJson(line).object());
    }
    return lines;
}

// The main window with simulated stations on COM1..COM n and its production window set
// up for the entry "KT 620-ST". Each station's chip is taken away once its result shows
// while that station has done fewer than chipsEach; after that its last chip stays in.
class Line
{
public:
    explicit Line(int stations, int chipsEach = 2)
        : window(cdbBytes({{Name, Word}})), m_chipsEach(chipsEach)
    {
        window.context.setUsesSystemPorts(false);
        for (int port = 1; port <= stations; ++port) {
            auto station = std::make_unique<SimulatedStation>();
            const Result<void, QString> started = station->start();
            if (!started)
                qFatal("%s", qPrintable(started.error()));
            window.context.ports().assign(port, station->devicePath());
            m_stations[port] = std::move(station);
        }
        window.context.setChipTakenAway([this](int port) {
            if (++m_done[port] < m_chipsEach && !m_pulled.contains(port))
                m_stations.at(port)->replaceChip();
        });
        window.window().show();
        window.window().showProductionWindow();
        production = window.window().productionWindow();
        production->setStopQuestion([this] {
            ++questions;
            return answerStop;
        });
        production->findChild<QComboBox *>(u"Entry"_s)->setCurrentText(Name);
        production->findChild<QLineEdit *>(u"Identity"_s)->setText(Name);
        production->findChild<QLineEdit *>(u"AuditFile"_s)->setText(audit());
        for (int port = 1; port <= stations; ++port)
            box(port)->setChecked(true);
    }

    QString audit() const { return window.path(u"audit.jsonl"_s); }
    QCheckBox *box(int port) const { return production->findChild<QCheckBox *>(u"COM%1"_s.arg(port)); }
    QPushButton *button(const QString &name) const { return production->findChild<QPushButton *>(name); }
    StationTile *tile(int port) const { return production->tile(port); }
    void start() { QTest::mouseClick(button(u"Start"_s), Qt::LeftButton); }
    // The station's chip goes away in the middle of its work: the cable pulled.
    void pull(int port)
    {
        m_pulled.insert(port);
        m_stations.at(port)->replaceChip();
    }
    bool allDone(int chips) const
    {
        for (const auto &[port, station] : m_stations) {
            if (m_pulled.contains(port))
                continue;
            const auto found = m_done.find(port);
            if (found == m_done.end() || found->second < chips)
                return false;
        }
        return true;
    }

    TestWindow window;
    QPointer<ProductionWindow> production;
    int questions = 0;
    bool answerStop = true;

private:
    std::map<int, std::unique_ptr<SimulatedStation>> m_stations;
    std::map<int, int> m_done;
    QSet<int> m_pulled;
    int m_chipsEach;
};

} // namespace

class tst_ProductionWindow : public QObject
{
    Q_OBJECT

private slots:
    void stationsSideBySide();
    void pulledCableEndsThatStationOnly();
    void stopWhileProgramming();
    void quittingWhileRunningAsksFirst();
    void mainWindowActionsLockedWhileRunning();
    void lineWaitsForRunningChipAction();
    void tilesAnnounceTheirState();
    void setUpControlsAreNamed();
};

// Two chips on one station, then two chips on each of three at once: each chip is
// programmed once, each has its record, and three stations take hardly longer than one.
void tst_ProductionWindow::stationsSideBySide()
{
    qint64 oneStationMs = 0;
    {
        Line line(1);
        QElapsedTimer clock;
        clock.start();
        line.start();
        QTRY_VERIFY_WITH_TIMEOUT(line.allDone(2), LongWaitMs);
        oneStationMs = clock.elapsed();
        QTest::mouseClick(line.button(u"Stop"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
        QCOMPARE(auditLines(line.audit()).size(), 2);
    }

    Line line(3);
    QElapsedTimer clock;
    clock.start();
    line.start();
    QVERIFY(line.production->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(line.allDone(2), LongWaitMs);
    const qint64 threeStationsMs = clock.elapsed();
    QTest::mouseClick(line.button(u"Stop"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);

    const QList<QJsonObject> records = auditLines(line.audit());
    QCOMPARE(records.size(), 6);
    QSet<QString> chips;
    for (const QJsonObject &record : records) {
        QCOMPARE(record.value(u"result"_s).toString(), u"PASS"_s);
        chips.insert(u"%1/%2"_s.arg(record.value(u"port"_s).toInt()).arg(record.value(u"chip"_s).toInt()));
    }
    QCOMPARE(chips, (QSet<QString>{u"1/1"_s, u"1/2"_s, u"2/1"_s, u"2/2"_s, u"3/1"_s, u"3/2"_s}));
    for (int port = 1; port <= 3; ++port) {
        QCOMPARE(line.tile(port)->verdict(), StationTile::Verdict::Pass);
        QCOMPARE(line.tile(port)->state(), u"Stopped"_s);
    }
    QCOMPARE(line.production->totals().chips, 6);
    QCOMPARE(line.production->totals().passed, 6);
    QCOMPARE(line.production->findChild<QLabel *>(u"TotalYield"_s)->text(), u"Yield: 100.0 %"_s);
    QVERIFY2(threeStationsMs <= oneStationMs * 12 / 10,
             qPrintable(u"three stations %1 ms, one %2 ms"_s.arg(threeStationsMs).arg(oneStationMs)));
}

void tst_ProductionWindow::pulledCableEndsThatStationOnly()
{
    Line line(3);
    line.start();
    QTRY_VERIFY_WITH_TIMEOUT(line.tile(2)->state().startsWith(u"Programming: setting"_s), LongWaitMs);
    line.pull(2);
    QTRY_COMPARE_WITH_TIMEOUT(line.tile(2)->state(), u"Port lost: the device went away"_s, LongWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(line.allDone(2), LongWaitMs);
    QVERIFY(line.production->isRunning());
    QCOMPARE(line.tile(2)->state(), u"Port lost: the device went away"_s);
    QCOMPARE(line.tile(1)->verdict(), StationTile::Verdict::Pass);
    QCOMPARE(line.tile(3)->verdict(), StationTile::Verdict::Pass);
    QTest::mouseClick(line.button(u"Stop"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
}

void tst_ProductionWindow::stopWhileProgramming()
{
    Line line(2);
    line.start();
    QTRY_VERIFY_WITH_TIMEOUT(line.tile(1)->state().startsWith(u"Programming: setting"_s), LongWaitMs);
    QTest::mouseClick(line.button(u"Stop"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
    QCOMPARE(line.tile(1)->state(), u"Stopped"_s);
    QCOMPARE(line.tile(1)->verdict(), StationTile::Verdict::Fail);
    QVERIFY(line.production->totals().failed >= 1);
    bool interrupted = false;
    for (const QJsonObject &record : auditLines(line.audit()))
        interrupted = interrupted || (record.value(u"port"_s).toInt() == 1 && record.value(u"result"_s).toString() == u"FAIL"_s);
    QVERIFY(interrupted);
    QVERIFY(line.button(u"Start"_s)->isEnabled());
    QVERIFY(!line.button(u"Stop"_s)->isEnabled());
    QVERIFY(line.production->findChild<QWidget *>(u"SetUp"_s)->isEnabled());
}

void tst_ProductionWindow::quittingWhileRunningAsksFirst()
{
    Line line(2);
    line.start();
    QTRY_VERIFY_WITH_TIMEOUT(line.tile(1)->state().startsWith(u"Programming"_s), LongWaitMs);

    line.answerStop = false;
    line.window.window().close();
    QCOMPARE(line.questions, 1);
    QVERIFY(line.window.window().isVisible());
    QVERIFY(line.production->isRunning());
    line.production->close();
    QCOMPARE(line.questions, 2);
    QVERIFY(line.production->isVisible());

    line.answerStop = true;
    line.window.window().close();
    QCOMPARE(line.questions, 3);
    QVERIFY(!line.window.window().isVisible());
    QTRY_VERIFY(line.production.isNull());
}

void tst_ProductionWindow::mainWindowActionsLockedWhileRunning()
{
    Line line(1);
    QWidget *detect = line.window.get("detectButton");
    QAction *detectEntry = line.window.get<QAction>("detectAction");
    QVERIFY(detect->isEnabled());
    line.start();
    QVERIFY(!detect->isEnabled());
    QVERIFY(!detectEntry->isEnabled());
    for (const char *name : {"checkConfigurationButton", "configureChipsetButton", "wakeUpButton", "sleepButton", "resetButton"})
        QVERIFY(!line.window.get(name)->isEnabled());
    QCOMPARE(line.window.status(), u"Production line running: the chip actions wait until it stops"_s);
    line.window.prompter.expectBeep();
    detectEntry->setEnabled(true);  // a shortcut that got through all the same
    detectEntry->trigger();
    QVERIFY(line.window.prompter.pending().isEmpty());

    QTest::mouseClick(line.button(u"Stop"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
    QVERIFY(detect->isEnabled());
    QVERIFY(detectEntry->isEnabled());
    // The buttons that needed a detected chip before the line still do.
    QVERIFY(!line.window.get("checkConfigurationButton")->isEnabled());
    QCOMPARE(line.window.status(), u"Production line stopped"_s);
}

void tst_ProductionWindow::lineWaitsForRunningChipAction()
{
    Line line(1);
    line.window.trigger("detectAction");  // the port selection dialog opens: the action runs
    QVERIFY(line.window.window().chip().isBusy());
    line.window.prompter.expectMessage(
        u"A chip action of the main window is using a port. Start the line when it has ended."_s);
    line.start();
    QVERIFY(line.window.prompter.pending().isEmpty());
    QVERIFY(!line.production->isRunning());
    QVERIFY(line.tile(1) == nullptr);
}

void tst_ProductionWindow::tilesAnnounceTheirState()
{
    Line line(1, 1);
    line.start();
    StationTile *tile = line.tile(1);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(tile);
    QVERIFY(accessible);
    // What a screen reader reads of the tile follows each state as it comes.
    QStringList heard;
    QTimer listen;
    listen.setInterval(1);
    QObject::connect(&listen, &QTimer::timeout, tile, [&] {
        const QString name = accessible->text(QAccessible::Name);
        if (heard.isEmpty() || heard.last() != name)
            heard.append(name);
    });
    listen.start();
    QTRY_COMPARE_WITH_TIMEOUT(tile->state(), u"PASS: take it away"_s, LongWaitMs);
    QTest::qWait(10);
    listen.stop();
    QCOMPARE(accessible->text(QAccessible::Name), u"COM1: PASS: take it away"_s);
    QVERIFY(accessible->text(QAccessible::Description).contains(u"Passed 1, failed 0"_s));
    QVERIFY2(heard.contains(u"COM1: Checking"_s), qPrintable(heard.join(u" | "_s)));
    // States that last long enough for the listener to hear them on a loaded machine.
    QVERIFY2(std::any_of(heard.cbegin(), heard.cend(),
                         [](const QString &name) { return name.startsWith(u"COM1: Programming: setting "_s); }),
             qPrintable(heard.join(u" | "_s)));
    QTest::mouseClick(line.button(u"Stop"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
    QCOMPARE(accessible->text(QAccessible::Name), u"COM1: Stopped"_s);
}

void tst_ProductionWindow::setUpControlsAreNamed()
{
    Line line(3);
    for (const char *name : {"Entry", "Identity", "AutomaticIdentity", "Polarity", "Speed", "Handshake", "AuditFile",
                             "OpenDatabase", "ChooseAuditFile", "Start", "Stop", "COM1", "COM2", "COM3"}) {
        QWidget *control = line.production->findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(control, name);
        QVERIFY2(control->focusPolicy() & Qt::TabFocus, name);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), name);
    }
    for (const char *name : {"Entry", "Identity", "Speed", "Handshake"})
        QCOMPARE(line.production->findChild<QWidget *>(QLatin1String(name))->accessibleName(), QLatin1String(name));
    QCOMPARE(line.production->findChild<QWidget *>(u"AuditFile"_s)->accessibleName(), u"Audit file"_s);
    QCOMPARE(line.production->windowTitle(), u"Production line"_s);
    QVERIFY(line.box(1)->isEnabled());
    QVERIFY(!line.box(4)->isEnabled());
    QVERIFY(line.box(1)->toolTip().contains(u"simulated-chip"_s));
    // Opened again: the same window, brought forward.
    QPointer<ProductionWindow> first = line.production;
    line.window.trigger("productionLineAction");
    QCOMPARE(line.window.window().productionWindow(), first.data());
    QVERIFY(!first->isModal());
}

QTEST_MAIN(tst_ProductionWindow)
#include "tst_productionwindow.moc"
