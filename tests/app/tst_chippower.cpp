#include "chiprig.h"

#include "app/chippanel.h"
#include "app/editorpanel.h"
#include "app/portselectiondialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const char *const FourButtons[] = {"SleepButton", "Reset", "GetSettings", "ConfigPrinter"};

bool busyPointer()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

// How many descriptors of this process have device open (the simulated chip keeps one).
int descriptorsOn(const QString &device)
{
    int count = 0;
    const QFileInfoList fds = QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &fd : fds) {
        if (fd.symLinkTarget() == device)
            ++count;
    }
    return count;
}

} // namespace

// Sleep, Wake up and Reset; one chip action at a time; ending the program during one.
class TestChipPower final : public QObject
{
    Q_OBJECT

private slots:
    void sleep();
    void wakeUpAfterSleep();
    void reset();
    void chipNotFound();
    void secondActionRefused();
    void endDuringAction_data();
    void endDuringAction();
    void queriesOnTheMainWindow();
};

void TestChipPower::sleep()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 9600);
    QVERIFY(rig.connect(1, u"9600"_s));
    const int before = chip.received().size();
    bool during = false;
    rig.whenReceived(chip, before + 3, [&] {
        during = busyPointer() && !rig.get("SleepButton")->isEnabled();
    });
    rig.w().click("SleepButton");
    QVERIFY(during);

    QCOMPARE(bytesFrom(chip.received(), before), bytes({24, 27, 83, 24}));
    const auto entries = chip.received().entries().mid(before);
    for (const TranscriptEntry &entry : entries) {
        QCOMPARE(entry.line.speed, 9600);
        QVERIFY(entry.line.rtsCts);
    }
    const double gap = gapMs(entries[2], entries[3]);
    QVERIFY2(gap >= 10.0 && gap < 200.0, qPrintable(QString::number(gap)));
    QTRY_VERIFY(chip.isAsleep());

    for (const char *name : FourButtons)
        QVERIFY2(!rig.get(name)->isEnabled(), name);
    QVERIFY(rig.get("Wakeup")->isEnabled());
    QVERIFY(rig.get("GetID")->isEnabled());
    QCOMPARE(rig.window().focusWidget(), rig.get("Wakeup"));
    QVERIFY(!busyPointer());
    QVERIFY(!rig.context().link().isOpen());
}

void TestChipPower::wakeUpAfterSleep()
{
    ChipRig rig;
    SimulatedChip &quiet = rig.addSilentPort(1);
    SimulatedChip &chip = rig.addChip(3, 115200);
    QVERIFY(rig.connect(3, u"115200"_s));
    rig.w().click("SleepButton");
    QTRY_VERIFY(chip.isAsleep());
    const int before = chip.received().size();
    const int quietBefore = quiet.received().size();

    bool during = false;
    rig.whenReceived(chip, before + 1, [&] {
        during = busyPointer() && !rig.get("Wakeup")->isEnabled()
            && !rig.get("SleepButton")->isEnabled();
    });
    rig.w().click("Wakeup");
    QVERIFY(during);

    // The NUL on every port at 57600 without handshake, COM1 first; the CAN on the chip's
    // port with its own settings after the pause.
    QCOMPARE(bytesFrom(quiet.received(), quietBefore), bytes({0}));
    QCOMPARE(bytesFrom(chip.received(), before), bytes({0, 24}));
    const auto entries = chip.received().entries().mid(before);
    const TranscriptEntry wake = quiet.received().entries().at(quietBefore);
    QCOMPARE(wake.line.speed, 57600);
    QVERIFY(!wake.line.rtsCts && !wake.line.xonXoff);
    QVERIFY(wake.timeNs <= entries[0].timeNs);
    QCOMPARE(entries[0].line.speed, 57600);
    QCOMPARE(entries[1].line.speed, 115200);
    QVERIFY(entries[1].line.rtsCts);
    const double pause = gapMs(entries[0], entries[1]);
    QVERIFY2(pause >= 1000.0 && pause < 1600.0, qPrintable(QString::number(pause)));
    QVERIFY(!chip.isAsleep());

    for (const char *name : FourButtons)
        QVERIFY2(rig.get(name)->isEnabled(), name);
    QVERIFY(rig.get("Wakeup")->isEnabled());
    QVERIFY(!busyPointer());

    // Awake now: it answers again.
    rig.w().click("GetSettings");
    QCOMPARE(rig.get<QLineEdit>("ConfigName")->text(), u"KT 610-ST"_s);
}

void TestChipPower::reset()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    QVERIFY(rig.connect(1, u"115200"_s));
    rig.w().click("SleepButton");  // the asleep arrangement: Reset is off, yet clickable here
    rig.get("Reset")->setEnabled(true);
    const int before = chip.received().size();
    bool during = false;
    QTimer::singleShot(20, &rig.window(), [&] {  // inside the 50 ms the port settles
        during = busyPointer() && !rig.get("Reset")->isEnabled();
    });
    rig.w().click("Reset");
    QVERIFY(during);
    QCOMPARE(bytesFrom(chip.received(), before), bytes({27, 64}));
    QVERIFY(rig.get("Reset")->isEnabled());
    for (const char *name : {"SleepButton", "GetSettings", "ConfigPrinter"})
        QVERIFY2(!rig.get(name)->isEnabled(), name);
    QVERIFY(rig.get("Wakeup")->isEnabled());
    QVERIFY(!busyPointer());
}

void TestChipPower::chipNotFound()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    QVERIFY(rig.connect(1, u"115200"_s));
    rig.connection().ChipFound = false;
    const int before = chip.received().size();

    rig.w().click("Reset");
    QCOMPARE(chip.received().size(), before);
    QVERIFY(rig.get("Reset")->isEnabled());

    rig.w().click("SleepButton");
    QCOMPARE(chip.received().size(), before);
    for (const char *name : FourButtons)
        QVERIFY2(!rig.get(name)->isEnabled(), name);
    QCOMPARE(rig.window().focusWidget(), rig.get("Wakeup"));

    rig.w().click("Wakeup");
    QCOMPARE(bytesFrom(chip.received(), before), bytes({0}));  // the wake-up byte only
    for (const char *name : FourButtons)
        QVERIFY2(rig.get(name)->isEnabled(), name);
}

void TestChipPower::secondActionRefused()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    QVERIFY(rig.connect(1, u"115200"_s));
    const int before = chip.received().size();
    bool dialogShown = false;
    rig.onDialog([&](PortSelectionDialog &) { dialogShown = true; });

    // While "Check configuration" waits for the chip, every other chip action is refused
    // with a beep and changes no button.
    QStringList enabledDuring;
    rig.whenReceived(chip, before + 4, [&] {
        for (int i = 0; i < 6; ++i)
            rig.prompter().expectBeep();
        for (const char *name : {"SleepButton", "Reset", "Wakeup", "ConfigPrinter", "GetID"})
            rig.w().click(name);
        rig.w().trigger("Detect");
        for (const char *name : {"SleepButton", "Reset", "Wakeup", "ConfigPrinter", "GetID"}) {
            if (rig.get(name)->isEnabled())
                enabledDuring << QLatin1String(name);
        }
        QVERIFY(!rig.get("GetSettings")->isEnabled());
    });
    rig.w().click("GetSettings");
    QCOMPARE(enabledDuring, (QStringList{u"SleepButton"_s, u"Reset"_s, u"Wakeup"_s,
                                         u"ConfigPrinter"_s, u"GetID"_s}));
    QCOMPARE(bytesFrom(chip.received(), before),
             bytes({29, 83, 102, 6, 29, 83, 102, 9, 29, 83, 67, 27, 73}));
    QVERIFY(!dialogShown);
    QCOMPARE(rig.prompter().pending(), QString());
    QVERIFY(!rig.window().chip().isBusy());

    // Inside Wake up's pause too; and afterwards the actions run again.
    const int second = chip.received().size();
    rig.whenReceived(chip, second + 1, [&] {
        rig.prompter().expectBeep();
        rig.w().click("GetSettings");
        QVERIFY(rig.get("GetSettings")->isEnabled());
    });
    rig.w().click("Wakeup");
    QCOMPARE(bytesFrom(chip.received(), second), bytes({0, 24}));
    rig.w().click("Reset");
    QCOMPARE(bytesFrom(chip.received(), second), bytes({0, 24, 27, 64}));
    QCOMPARE(rig.prompter().pending(), QString());
}

void TestChipPower::endDuringAction_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("how");       // "Exit" or "close"
    QTest::addColumn<int>("after");         // bytes received before ending

    // Software with Automatic identity: the polarity request, four writes, reset, identity.
    QTest::newRow("Exit during programming") << u"ConfigPrinter"_s << u"Exit"_s << 3 + 5 * 2;
    QTest::newRow("Exit in the restart pause") << u"ConfigPrinter"_s << u"Exit"_s << 3 + 5 * 4 + 2;
    QTest::newRow("closed during Check configuration") << u"GetSettings"_s << u"close"_s << 11;
    QTest::newRow("Exit during Wake up") << u"Wakeup"_s << u"Exit"_s << 1;
}

void TestChipPower::endDuringAction()
{
    QFETCH(QString, action);
    QFETCH(QString, how);
    QFETCH(int, after);
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    const int chipsOwn = descriptorsOn(chip.devicePath());
    QVERIFY(rig.connect(1, u"115200"_s));
    rig.window().editor().DecodeConfig(u"1111110000100000");
    rig.w().click("ConfUser");
    rig.w().click("IdAuto");
    const int before = chip.received().size();

    // The program as it runs for real: its event loop, ended by the last window closing.
    QElapsedTimer clock;
    qint64 endedAt = -1;
    bool handlerReturned = false;
    rig.whenReceived(chip, before + after, [&] {
        endedAt = clock.elapsed();
        if (how == u"Exit"_s)
            rig.w().trigger("Exit");
        else
            rig.window().close();
    });
    QTimer::singleShot(0, &rig.window(), [&] {
        rig.w().click(action.toLatin1().constData());
        handlerReturned = true;
    });
    // Should the program not end, the test must still.
    bool stuck = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &guard, [&] {
        stuck = true;
        QCoreApplication::exit(1);
    });
    guard.start(20000);
    clock.start();
    QApplication::exec();
    guard.stop();
    QVERIFY(!stuck);
    const qint64 exitedAt = clock.elapsed();

    QVERIFY(endedAt >= 0);
    QVERIFY(handlerReturned);
    QVERIFY2(exitedAt - endedAt < 1000, qPrintable(u"%1 ms to end"_s.arg(exitedAt - endedAt)));
    QVERIFY(!rig.window().isVisible());
    QVERIFY(!rig.context().link().isOpen());
    QCOMPARE(descriptorsOn(chip.devicePath()), chipsOwn);
    QVERIFY(!busyPointer());
    QVERIFY(!rig.window().chip().isBusy());
    // Nothing more went to the chip once the program was ending.
    const int atEnd = chip.received().size();
    QTest::qWait(200);
    QCOMPARE(chip.received().size(), atEnd);
    QVERIFY(atEnd - before <= after + 5);
    QVERIFY(rig.prompter().prompts().isEmpty());
}

void TestChipPower::queriesOnTheMainWindow()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    SerialLink &link = rig.context().link();
    QVERIFY(link.OpenPort(1, u"115200"_s, 2));
    QCOMPARE(rig.window().get_opto(), ChipEmulator::OptoReply);
    QCOMPARE(rig.window().get_ad(), ChipEmulator::AdReply);
    QCOMPARE(chip.received().bytes(), bytes({27, 29, 79, 27, 29, 65}));
    QCOMPARE(rig.window().get_value(), quint8(0));
    // The whole identity waiting: its first byte, the rest dropped with that read.
    const int sent = chip.sent().size();
    link.SendText(bytes({27, 73}));
    QVERIFY(chip.waitForSent(sent + int(chip.identity().size())));
    QCOMPARE(rig.window().get_value(), quint8('K'));
    QCOMPARE(rig.window().get_string(), QByteArray(1, '\0'));
    link.SendText(bytes({27, 73}));
    QCOMPARE(rig.window().get_string(), chip.identity());  // ended by the silence
    link.ClosePort();
}

QTEST_MAIN(TestChipPower)
#include "tst_chippower.moc"
