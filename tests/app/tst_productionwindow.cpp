// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// The production window driven as an operator drives it, with simulated stations on
// pseudo-terminals behind COM1 to COM3.
#include "app/chippanel.h"
#include "app/production/productionwindow.h"
#include "app/production/stationtile.h"
#include "sim/simulatedstation.h"
#include "testwindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsView>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Word = u"1111110000100000"_s;
const QString NormalRotationWord = u"1111010000100000"_s;  // Word with the motor rotation normal
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
// up for the entry "KT 620-ST" (its word given). Each station's chip is taken away once
// its result shows while that station has done fewer than chipsEach; after that its last
// chip stays in. A station held keeps its first chip in.
class Line
{
public:
    explicit Line(int stations, int chipsEach = 2, const QString &word = Word)
        : window(cdbBytes({{Name, word}})), m_chipsEach(chipsEach)
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
            if (++m_done[port] < m_chipsEach && !m_pulled.contains(port) && !m_held.contains(port))
                m_stations.at(port)->replaceChip();
        });
        window.window().show();
        window.window().showProductionWindow();
        production = window.window().productionWindow();
        production->setStopQuestion([this] {
            ++questions;
            return answerStop;
        });
        production->findChild<QComboBox *>(u"entryCombo"_s)->setCurrentText(Name);
        production->findChild<QLineEdit *>(u"identityEdit"_s)->setText(Name);
        production->findChild<QLineEdit *>(u"auditFileEdit"_s)->setText(audit());
        for (int port = 1; port <= stations; ++port)
            box(port)->setChecked(true);
    }

    QString audit() const { return window.path(u"audit.jsonl"_s); }
    QCheckBox *box(int port) const { return production->findChild<QCheckBox *>(u"portCheck%1"_s.arg(port)); }
    QPushButton *button(const QString &name) const { return production->findChild<QPushButton *>(name); }
    StationTile *tile(int port) const { return production->tile(port); }
    QString tileText(int port, const QString &label) const { return tile(port)->findChild<QLabel *>(label)->text(); }
    QString message() const { return production->findChild<QLabel *>(u"lineMessageLabel"_s)->text(); }
    SimulatedStation &station(int port) { return *m_stations.at(port); }
    void start() { QTest::mouseClick(button(u"startButton"_s), Qt::LeftButton); }
    void stop()
    {
        QTest::mouseClick(button(u"stopButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!production->isRunning(), LongWaitMs);
    }
    // The operator leaves the station's chip in after its result.
    void hold(int port) { m_held.insert(port); }
    // The station's chip goes away in the middle of its work: the cable pulled.
    void pull(int port)
    {
        m_pulled.insert(port);
        m_stations.at(port)->replaceChip();
    }
    // Each station but those pulled or left out has had chips results.
    bool allDone(int chips, const QSet<int> &leftOut = {}) const
    {
        for (const auto &[port, station] : m_stations) {
            if (m_pulled.contains(port) || leftOut.contains(port))
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
    QSet<int> m_held;
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
    void recordNotWrittenStopsThatStation();
    void readBackMismatchNamesTheSetting();
    void setUpControlsAreNamed_data();
    void setUpControlsAreNamed();
    void windowOpensOnce();
    void widgetsNamedInCamelCase();
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
        QTest::mouseClick(line.button(u"stopButton"_s), Qt::LeftButton);
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
    QTest::mouseClick(line.button(u"stopButton"_s), Qt::LeftButton);
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
    QCOMPARE(line.production->findChild<QLabel *>(u"totalYieldLabel"_s)->text(), u"Yield: 100.0 %"_s);
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
    QTest::mouseClick(line.button(u"stopButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
}

void tst_ProductionWindow::stopWhileProgramming()
{
    Line line(2);
    line.start();
    QTRY_VERIFY_WITH_TIMEOUT(line.tile(1)->state().startsWith(u"Programming: setting"_s), LongWaitMs);
    QTest::mouseClick(line.button(u"stopButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
    QCOMPARE(line.tile(1)->state(), u"Stopped"_s);
    QCOMPARE(line.tile(1)->verdict(), StationTile::Verdict::Fail);
    QVERIFY(line.production->totals().failed >= 1);
    bool interrupted = false;
    for (const QJsonObject &record : auditLines(line.audit()))
        interrupted = interrupted || (record.value(u"port"_s).toInt() == 1 && record.value(u"result"_s).toString() == u"FAIL"_s);
    QVERIFY(interrupted);
    QVERIFY(line.button(u"startButton"_s)->isEnabled());
    QVERIFY(!line.button(u"stopButton"_s)->isEnabled());
    QVERIFY(line.production->findChild<QWidget *>(u"setUpGroup"_s)->isEnabled());
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

    QTest::mouseClick(line.button(u"stopButton"_s), Qt::LeftButton);
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
    QTest::mouseClick(line.button(u"stopButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!line.production->isRunning(), LongWaitMs);
    QCOMPARE(accessible->text(QAccessible::Name), u"COM1: Stopped"_s);
}

void tst_ProductionWindow::recordNotWrittenStopsThatStation()
{
    // Every station's first chip is recorded; then COM2's second comes alone, while the
    // chips of COM1 and COM3 stay in their sockets (no record of theirs is due).
    Line line(3);
    line.hold(1);
    line.hold(3);
    line.start();
    QTRY_COMPARE_WITH_TIMEOUT(line.production->totals().passed, 3, LongWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(line.tile(2)->state().startsWith(u"Programming"_s), LongWaitMs);
    // COM2's chip is taken: its record's check is behind it. A folder in the audit file's
    // place takes no record, whoever writes.
    const QString aside = line.audit() + u".aside"_s;
    QVERIFY(QFile::rename(line.audit(), aside));
    QVERIFY(QDir().mkdir(line.audit()));
    QTRY_VERIFY_WITH_TIMEOUT(line.tile(2)->state().startsWith(u"Stopped"_s), LongWaitMs);
    QVERIFY(QDir().rmdir(line.audit()));
    QVERIFY(QFile::rename(aside, line.audit()));

    const QString lost = u"%1: the record of chip 2 was not written: it is a folder, not a regular file; the line "
                         "stops here: make room or give another file"_s.arg(line.audit());
    QCOMPARE(line.tile(2)->state(), u"Stopped: %1. Set the last chip apart: it has no record."_s.arg(lost));
    QCOMPARE(line.tile(2)->verdict(), StationTile::Verdict::Fail);
    QCOMPARE(line.tileText(2, u"countsLabel"_s), u"Passed: 1   Failed: 1"_s);
    QCOMPARE(line.message(), u"COM2 stopped: %1"_s.arg(lost));
    QVERIFY(line.production->isRunning());

    // The others go on: their chips are still watched, their records kept.
    for (const int port : {1, 3}) {
        QCOMPARE(line.tile(port)->state(), u"PASS: take it away"_s);
        QCOMPARE(line.tile(port)->verdict(), StationTile::Verdict::Pass);
    }
    QCOMPARE(line.production->totals().chips, 4);
    QCOMPARE(line.production->totals().passed, 3);
    QCOMPARE(line.production->totals().failed, 1);
    line.stop();
    QCOMPARE(line.message(), u"COM2 stopped: %1"_s.arg(lost));
    QStringList recorded;
    for (const QJsonObject &record : auditLines(line.audit())) {
        recorded.append(u"%1/%2 %3"_s.arg(record.value(u"port"_s).toInt()).arg(record.value(u"chip"_s).toInt())
                            .arg(record.value(u"result"_s).toString()));
    }
    recorded.sort();
    QCOMPARE(recorded, (QStringList{u"1/1 PASS"_s, u"2/1 PASS"_s, u"3/1 PASS"_s}));
}

void tst_ProductionWindow::readBackMismatchNamesTheSetting()
{
    // The entry wants the motor rotation normal; the chips keep its bit set whatever is
    // written, and echo what they received: reading back is what tells.
    Line line(1, 1, NormalRotationWord);
    ChipFaults worn;
    worn.stuckBits.insert(7, 0x08);  // position 5 of the word
    line.station(1).setChipFaults(worn);
    line.start();
    QTRY_COMPARE_WITH_TIMEOUT(line.tile(1)->state(), u"FAIL: motor rotation reads inverted: take it away"_s,
                              LongWaitMs);
    QCOMPARE(line.tile(1)->verdict(), StationTile::Verdict::Fail);
    QCOMPARE(line.tileText(1, u"verdictLabel"_s), u"FAIL"_s);
    QCOMPARE(line.tileText(1, u"countsLabel"_s), u"Passed: 0   Failed: 1"_s);
    line.stop();
    const QList<QJsonObject> records = auditLines(line.audit());
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.first().value(u"result"_s).toString(), u"FAIL"_s);
    QStringList wrong;
    for (const QJsonValue check : records.first().value(u"checks"_s).toArray()) {
        if (!check[u"ok"_s].toBool())
            wrong.append(check[u"check"_s].toString() + u": "_s + check[u"actual"_s].toString());
    }
    QCOMPARE(wrong, QStringList{u"motor rotation: inverted"_s});
}

void tst_ProductionWindow::setUpControlsAreNamed_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QString>("text");  // a button's own caption; empty for others
    QTest::newRow("entry") << u"entryCombo"_s << u"Entry"_s << QString();
    QTest::newRow("identity") << u"identityEdit"_s << u"Identity"_s << QString();
    QTest::newRow("automatic identity") << u"automaticIdentityCheck"_s << u"Automatic identity"_s
                                        << u"Automatic identity"_s;
    QTest::newRow("polarity") << u"polarityCombo"_s << u"When the strobe polarity differs"_s << QString();
    QTest::newRow("speed") << u"speedCombo"_s << u"Speed"_s << QString();
    QTest::newRow("handshake") << u"handshakeCombo"_s << u"Handshake"_s << QString();
    QTest::newRow("audit file") << u"auditFileEdit"_s << u"Audit file"_s << QString();
    QTest::newRow("open database") << u"openDatabaseButton"_s << u"Open database"_s << u"Open..."_s;
    QTest::newRow("choose audit file") << u"chooseAuditFileButton"_s << u"Choose audit file"_s << u"Choose..."_s;
    QTest::newRow("start") << u"startButton"_s << u"Start"_s << u"Start"_s;
    QTest::newRow("stop") << u"stopButton"_s << u"Stop"_s << u"Stop"_s;
    for (int port = 1; port <= 6; ++port)
        QTest::addRow("COM%d", port) << u"portCheck%1"_s.arg(port) << u"COM%1"_s.arg(port) << u"COM%1"_s.arg(port);
}

// Each control found by the name that says what it is, announced by its own name,
// reachable from the keyboard.
void tst_ProductionWindow::setUpControlsAreNamed()
{
    QFETCH(QString, objectName);
    QFETCH(QString, accessibleName);
    QFETCH(QString, text);
    Line line(1);
    QWidget *control = line.production->findChild<QWidget *>(objectName);
    QVERIFY(control);
    QVERIFY(control->focusPolicy() & Qt::TabFocus);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    QVERIFY(accessible);
    // A combo box is announced by its own name and, on Linux, with its current item
    // as the interface's name.
    if (qobject_cast<QComboBox *>(control))
        QCOMPARE(control->accessibleName(), accessibleName);
    else
        QCOMPARE(accessible->text(QAccessible::Name), accessibleName);
    if (!text.isEmpty())
        QCOMPARE(qobject_cast<QAbstractButton *>(control)->text(), text);
}

void tst_ProductionWindow::windowOpensOnce()
{
    Line line(3);
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

// Every widget of the window and its tiles has a name in Qt's camelCase; Qt's own parts
// of a widget keep theirs.
void tst_ProductionWindow::widgetsNamedInCamelCase()
{
    Line line(1, 1);
    line.start();
    QVERIFY(line.tile(1));
    static const QRegularExpression camelCase(u"^[a-z][A-Za-z0-9]*$"_s);
    QStringList wrong;
    for (QWidget *widget : line.production->findChildren<QWidget *>()) {
        bool qtPart = false;
        for (QWidget *w = widget; w && w != line.production; w = w->parentWidget())
            qtPart = qtPart || w->objectName().startsWith(u"qt_"_s) || qobject_cast<QComboBox *>(w->parentWidget())
                || qobject_cast<QGraphicsView *>(w->parentWidget());  // the chart view's own viewport
        if (!qtPart && !camelCase.match(widget->objectName()).hasMatch())
            wrong.append(u"%1 \"%2\""_s.arg(QLatin1String(widget->metaObject()->className()), widget->objectName()));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u", "_s)));
    QCOMPARE(line.production->objectName(), u"productionWindow"_s);
    QCOMPARE(line.tile(1)->objectName(), u"stationTile1"_s);
    line.stop();
}

QTEST_MAIN(tst_ProductionWindow)
#include "tst_productionwindow.moc"
