// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiprig.h"

#include "app/chippanel.h"
#include "app/commandline.h"
#include "app/editorpanel.h"
#include "app/portselectiondialog.h"
#include "serial/portmap.h"
#include "serial/seriallink.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// Each case names only the faults it switches on.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const QList<int> ScanSpeeds{115200, 57600, 38400, 28800, 19200, 9600, 4800, 2400, 1200};
// Identity, probe, setting 28 and CAN: a detection on one port.
const QByteArray Identification = bytes({27, 73, 27, 118, 29, 83, 102, 28, 24});

// The dialog as the main window loads it, shown without blocking so that the test can
// press its buttons one at a time.
struct Dialog
{
    explicit Dialog(ChipRig &rig) : dialog(rig.context, &rig.window())
    {
        dialog.runLoadSteps();
        dialog.show();
    }
    QComboBox *list(const char *name) const { return dialog.findChild<QComboBox *>(QLatin1String(name)); }
    QString result() const { return dialog.findChild<QLabel *>(u"detectedPrinterLabel"_s)->text(); }
    // The port selected, the speed and the handshake: "COM2 9600 DSR/DTR Mode".
    QString choice() const
    {
        QString port = u"no port"_s;
        for (QRadioButton *button : dialog.findChildren<QRadioButton *>())
            port = button->isChecked() ? button->objectName() : port;
        return port + u' ' + list("speedBox")->currentText() + u' ' + list("handshakeBox")->currentText();
    }
    PortSelectionDialog dialog;
};

// A detection: a chip on COM1 at chipSpeed (0: no port at all; -1: at 115200 on COM2,
// with COM1 held by another program), "Detect Chipset" on COM1 at speed with that
// handshake (no speed: "Autodetect Chipset", which identifies with DSR/DTR), then what the
// dialog shows and stores and what the chip received.
struct DetectionCase
{
    int chipSpeed;
    ChipFaults faults;
    int setting28;  // -1: as the chip has it, DSR/DTR and its speed
    QString speed;
    int handshakeIndex;
    QString result, choice, connection;
    QByteArray sent;
};

// Presses button from inside the program's own event loop, as the user does, and runs it
// until the program ends; exec()'s status, 1 when the program has not ended after 20 s.
int clickUntilTheProgramEnds(ChipRig &rig, const char *button)
{
    QTimer::singleShot(0, &rig.window(), [&rig, button] { rig.click(button); });
    QTimer::singleShot(20000, &rig.window(), [] { QCoreApplication::exit(1); });
    return QApplication::exec();
}

} // namespace

Q_DECLARE_METATYPE(DetectionCase)

// Finding the chip, the power buttons and ending the program during an action, each
// case with a main window and chips of its own.
class TestChipConnection final : public QObject
{
    Q_OBJECT

private slots:
    void chipOnCom2BehindCom1();
    void simulateLeavesSystemPortsAlone();
    void detection_data();
    void detection();
    void identificationAndPower();
    void exitWhileAsked();
    void heldUnderAnotherName();
};

void TestChipConnection::chipOnCom2BehindCom1()
{
    ChipRig rig;
    SimulatedChip &com1 = rig.addChip(1, 9600);
    com1.setSilent(true);
    SimulatedChip &com2 = rig.addChip(2, 9600);
    Dialog d(rig);
    QStringList ports;  // each port usable or not, and the device it stands for
    for (QRadioButton *port : d.dialog.findChildren<QRadioButton *>())
        ports << port->toolTip() + (port->isEnabled() ? QString() : u" (off)"_s);
    QCOMPARE(ports.join(u", "), com1.devicePath() + u", "_s + com2.devicePath()
                                    + u", No serial device on COM3 (off), No serial device on COM4 (off), "
                                      "No serial device on COM5 (off), No serial device on COM6 (off)"_s);
    // At the first attempt: its text, the hourglass, the close box and Escape refused.
    QString first;
    rig.whenReceived(com1, 3, [&] {
        d.dialog.close();
        QTest::keyClick(&d.dialog, Qt::Key_Escape);
        const bool busy = d.dialog.isVisible() && d.dialog.cursor().shape() == Qt::WaitCursor;
        first = d.result() + (busy ? u" (busy)"_s : QString());
    });
    clickIn(&d.dialog, "autodetectButton");
    QCOMPARE(first, u"Attempting to contact printer on COM 1 at 115200 bauds. (busy)"_s);
    QCOMPARE(d.result(), u"KT 610-ST found on COM 2 at 9600 bauds"_s);
    QCOMPARE(d.choice() + u", "_s + rig.connectionState(), u"COM2 9600 DSR/DTR Mode, COM2 9600 handshake 2 found"_s);

    // Both woken at 57600 without handshake, a second before COM1's first probe; COM1
    // probed at the nine speeds, COM2 at six, 100 ms apart; COM2 answers at 9600: CAN,
    // the second probe, then the identification with RTS/CTS.
    QCOMPARE(com1.received().bytes(), bytes({0}) + QByteArray("\x1bv").repeated(9));
    QTRY_COMPARE(com2.received().bytes(), bytes({0}) + "\x1bv"_ba.repeated(6) + bytes({24, 27, 118}) + Identification);
    const auto one = com1.received().entries();
    const auto two = com2.received().entries();
    QVERIFY(sentWith(one.mid(1) + two.mid(1, 15), 0, 0));
    QVERIFY(sentWith(two.mid(16), 9600, 2));
    // The wake-up bytes as the program sent them: a pseudo-terminal takes them at once and
    // the port closes right after, sooner than the chip's thread may look at the line.
    const QList<TrafficEvent> sent = rig.sent();
    for (const TrafficEvent &wake : sent.mid(0, 2))
        QCOMPARE(u"%1 %2 %3"_s.arg(int(wake.bytes.at(0))).arg(wake.speed).arg(int(wake.handshake)), u"0 57600 0"_s);
    // The gaps as the program made them: the wake-up pause after the last NUL, then
    // 100 ms after each probe.
    QCOMPARE(gapError(sent[1], sent[2], 1000, 1400), QString());
    QList<TrafficEvent> probes;
    std::copy_if(sent.begin(), sent.end(), std::back_inserter(probes), [](const TrafficEvent &e) { return e.bytes == "\x1bv"; });
    const QList<int> speeds = ScanSpeeds + ScanSpeeds.mid(0, 6) << 9600;
    QCOMPARE(probes.size(), speeds.size() + 1);  // and the identification's
    for (int i = 0; i < speeds.size(); ++i) {
        QCOMPARE(probes[i].speed, speeds[i]);
        QCOMPARE(gapError(probes[qMax(0, i - 1)], probes[i], i ? 100 : 0, 400), QString());
    }
}

void TestChipConnection::detection_data()
{
    QTest::addColumn<DetectionCase>("detection");
    const QString none = u"COM5 1200 handshake 1 not found"_s;  // kept from before, ChipFound cleared
    auto found = [](int speed, int setting28, int handshakeIndex, const QString &handshake,
                    const char *identity = nullptr, const QString &name = u"KT 610-ST"_s) {
        return DetectionCase{speed, {.identityReply = identity ? std::optional<QByteArray>(identity) : std::nullopt}, setting28,
                         QString::number(speed), handshakeIndex, u"%1 found on COM 1 at %2 bauds"_s.arg(name).arg(speed),
                         u"COM1 %1 "_s.arg(speed) + handshake,
                         u"COM1 %1 handshake %2 found"_s.arg(speed).arg(handshake == u"Xon-Xoff"_s ? 1 : 2), Identification};
    };
    const QString dsr = u"DSR/DTR Mode"_s;
    QTest::newRow("Xon-Xoff selected, DSR/DTR reported") << found(19200, -1, 0, dsr);
    QTest::newRow("Xon-Xoff reported") << found(9600, 0x03, 1, u"Xon-Xoff"_s);
    QTest::newRow("28800 reported as 5") << found(28800, 0x05, 1, u"Xon-Xoff"_s);
    QTest::newRow("20 characters cut to 16, then stripped")
        << found(115200, -1, 1, dsr, "  ABCDEFGHIJKL  XYZ", u"ABCDEFGHIJKL"_s);
    QTest::newRow("markup, bytes above 127") << found(115200, -1, 1, dsr, "<b>Caf\xe9</b> \xb0", u"<b>Café</b> °"_s);
    QTest::newRow("not the chip's speed") << DetectionCase{9600, {}, -1, u"38400"_s, 1, u"No printer found on COM 1 at 38400 bauds"_s,
                                                       u"COM1 38400 DSR/DTR Mode"_s, none, bytes({27, 73})};

    const QByteArray probes = bytes({0, 27, 118, 24, 27, 118});
    const QString scanned = u"no port 9600 DSR/DTR Mode"_s, nothing = u"No printer found"_s;
    QTest::newRow("no port at all") << DetectionCase{0, {}, -1, {}, 1, nothing, scanned, none, {}};
    QTest::newRow("second probe unanswered") << DetectionCase{115200, {.probeReplyBytes = 0, .probeFaultFrom = 2}, -1, {}, 1,
                                                          nothing, scanned, none, probes + "\x1bv"_ba.repeated(8)};
    QTest::newRow("probes answered, identity not")
        << DetectionCase{115200, {.identityReply = QByteArray()}, -1, {}, 1, u"No printer found on COM 1 at 115200 bauds"_s,
                     u"COM1 115200 DSR/DTR Mode"_s, none, probes + bytes({27, 73})};
    QTest::newRow("a port another program holds")
        << DetectionCase{-1, {}, -1, {}, 1, u"KT 610-ST found on COM 2 at 115200 bauds"_s, u"COM2 115200 DSR/DTR Mode"_s,
                     u"COM2 115200 handshake 2 found"_s, probes + Identification};
}

void TestChipConnection::detection()
{
    QFETCH(DetectionCase, detection);
    ChipRig rig;
    QSerialPort other;  // holding COM1 when the chip is on COM2
    if (detection.chipSpeed < 0) {
        const QString held = rig.addChip(1, 115200).devicePath();
        other.setPortName(held);
        QVERIFY(other.open(QIODevice::ReadWrite));
        rig.prompter.expectMessage(u"The detection skipped a port that could not be opened:\n"
                                   "COM1 (%1): held by another program\n\nClose the program that holds the port (a "
                                   "terminal program, or ModemManager, which probes new serial devices) and try again."_s.arg(held),
                                   Prompter::Icon::Critical);
    }
    const int chipSpeed = detection.chipSpeed > 0 ? detection.chipSpeed : 115200;
    SimulatedChip &chip = rig.addChip(detection.chipSpeed < 0 ? 2 : 1, chipSpeed);
    if (!detection.chipSpeed)
        rig.context.ports().assign(1, QString());
    if (detection.setting28 >= 0)
        chip.setSetting(28, quint8(detection.setting28));  // stored; the chip keeps its speed until a restart
    chip.setFaults(detection.faults);
    rig.connection() = ConnectionSettings{5, 1200, Handshake::XonXoff, true};
    Dialog d(rig);
    const qint64 started = SimulatedChip::nowNs();
    if (!detection.speed.isEmpty()) {
        clickIn(&d.dialog, "COM1");
        d.list("speedBox")->setCurrentText(detection.speed);
        d.list("handshakeBox")->setCurrentIndex(detection.handshakeIndex);
        clickIn(&d.dialog, "detectButton");
    } else {
        clickIn(&d.dialog, "autodetectButton");
        QVERIFY(SimulatedChip::nowNs() - started >= 1'000'000'000);  // the wake-up pause first
    }
    QCOMPARE(d.result(), detection.result);
    QCOMPARE(d.dialog.findChild<QLabel *>(u"detectedPrinterLabel"_s)->textFormat(), Qt::PlainText);
    QCOMPARE(d.choice(), detection.choice);
    QCOMPARE(rig.connectionState(), detection.connection);
    QTRY_COMPARE(chip.received().bytes(), detection.sent);
    // The identification with the handshake selected, not the one found; 250 ms for the
    // identity's answer, then 100 ms after the probe and setting 28.
    const auto entries = chip.received().entries().mid(detection.sent.indexOf(bytes({27, 73})));
    const int speed = detection.speed.isEmpty() ? chipSpeed : detection.speed.toInt();
    QVERIFY(!detection.sent.contains(bytes({27, 73})) || sentWith(entries, speed, detection.handshakeIndex + 1));
    const QList<TrafficEvent> sent = rig.sent();
    const qsizetype identify = std::find_if(sent.begin(), sent.end(), [](const TrafficEvent &e) { return e.bytes == "\x1bI"; }) - sent.begin();
    for (const auto &[from, to, ms] : {std::tuple{0, 1, 250}, {1, 2, 100}, {2, 3, 100}}) {
        if (sent.size() - identify == 4)
            QCOMPARE(gapError(sent[identify + from], sent[identify + to], ms, ms + 300), QString());
    }
}

// --simulate asks for no hardware: "Autodetect Chipset" wakes and scans the simulated
// chip and the devices given with --port, never the system's serial ports (which the
// window would otherwise number, and name in a message when it can't open them).
void TestChipConnection::simulateLeavesSystemPortsAlone()
{
    ChipRig rig;
    rig.context.setUsesSystemPorts(true);  // as the program starts
    SimulatedChip &simulated = rig.addChip(1, 9600);
    SimulatedChip &given = rig.addChip(3, 9600);
    given.setSilent(true);
    rig.context.ports().assign(1, QString());
    rig.context.ports().assign(3, QString());
    const CommandLine commandLine = parseCommandLine(
        {u"qv12-configurator"_s, u"--simulate"_s, u"--port"_s, u"3="_s + given.devicePath()});
    rig.context.takePorts(commandLine, simulated.devicePath());
    QVERIFY(!rig.context.usesSystemPorts());

    Dialog d(rig);
    QStringList ports;
    for (QRadioButton *port : d.dialog.findChildren<QRadioButton *>())
        ports << port->toolTip();
    QCOMPARE(ports, (QStringList{simulated.devicePath(), u"No serial device on COM2"_s, given.devicePath(),
                                 u"No serial device on COM4"_s, u"No serial device on COM5"_s,
                                 u"No serial device on COM6"_s}));
    clickIn(&d.dialog, "autodetectButton");
    QTRY_COMPARE(d.result(), u"KT 610-ST found on COM 1 at 9600 bauds"_s);
    QCOMPARE(rig.prompter.prompts().size(), 0);
    QList<int> woken;
    for (const TrafficEvent &event : rig.sent()) {
        if (event.bytes == bytes({0}))
            woken << event.port;
    }
    QCOMPARE(woken, (QList<int>{1, 3}));
    QTRY_COMPARE(given.received().bytes(), bytes({0}));
}

// "Detect Chipset"; Sleep, Wake up and Reset; Sleep and Wake up with ChipFound false;
// "Detect a printer" and "OK" at once; then a detection again and, in the program's own
// event loop, Exit while it programs: it ends within a second with the port closed.
void TestChipConnection::identificationAndPower()
{
    ChipRig rig;
    SimulatedChip &quiet = rig.addChip(1, 9600);
    quiet.setSilent(true);
    SimulatedChip &chip = rig.addChip(3, 19200);
    chip.setFaults({.identityReply = "<b>KT 610-ST</b>   QV12 FW 2.07"});  // 31 characters
    auto labels = [&] {
        return QStringList{rig.get<QLabel>("firmwareIdentityLabel")->text(), rig.get<QLabel>("portLabel")->text(), rig.get<QLabel>("baudRateLabel")->text()};
    };
    QVERIFY(rig.connect(3, u"19200"_s));
    // After the dialog: the identity again, with the settings found, shown whole.
    QTRY_COMPARE(chip.received().bytes(), Identification + bytes({27, 73}));
    QCOMPARE(replyWaitError(rig.context.traffic(), bytes({27, 73}), 100), QString());
    QCOMPARE(labels(), (QStringList{u"<b>KT 610-ST</b>   QV12 FW 2.07"_s, u"Port: COM3"_s, u"Baudrate: 19200"_s}));
    QCOMPARE(rig.get<QLabel>("firmwareIdentityLabel")->textFormat(), Qt::PlainText);
    QCOMPARE(rig.state(true), AllChipButtons + u", focus checkConfigurationButton"_s);

    int before = chip.received().size();
    rig.click("sleepButton");
    QTRY_COMPARE(chip.received().bytes().mid(before), bytes({24, 27, 83, 24}));
    QCOMPARE(gapError(rig.sent(3).at(rig.sent(3).size() - 2), rig.sent(3).last(), 10, 200), QString());
    QCOMPARE(rig.state(true), u"detectButton wakeUpButton, focus wakeUpButton"_s);
    // The NUL on every port, COM1 first; the CAN on the chip's port after the pause.
    before = chip.received().size();
    rig.click("wakeUpButton");
    QTRY_COMPARE(quiet.received().bytes().right(1) + chip.received().bytes().mid(before), bytes({0, 0, 24}));
    QCOMPARE(gapError(rig.sent(1).last(), rig.sent(3).last(), 1000, 1600), QString());
    QCOMPARE(rig.state(), AllChipButtons);
    before = chip.received().size();
    rig.click("resetButton");
    QTRY_COMPARE(chip.received().bytes().mid(before), bytes({27, 64}));
    QCOMPARE(rig.state(), AllChipButtons);

    rig.connection().chipFound = false;
    before = chip.received().size();
    rig.click("sleepButton");
    QCOMPARE(rig.state(true), u"detectButton wakeUpButton, focus wakeUpButton"_s);
    rig.click("wakeUpButton");
    QCOMPARE(rig.state(), AllChipButtons);
    QTRY_COMPARE(chip.received().bytes().mid(before), bytes({0}));
    rig.onDialog([](PortSelectionDialog &dialog) { clickIn(&dialog, "okButton"); });
    rig.trigger("detectAction");
    QCOMPARE(labels(), (QStringList{u"No chipset found"_s, u"No chipset found, please"_s, u"Perform a chipset detection"_s}));
    QCOMPARE(rig.state(true), u"detectButton, focus detectButton"_s);

    QVERIFY(rig.connect(3, u"19200"_s));
    rig.click("hardwareModeOption");
    rig.click("automaticIdentityOption");
    before = chip.received().size();
    QElapsedTimer clock;
    rig.whenReceived(chip, before + 5, [&] {  // the first write
        clock.start();
        rig.trigger("exitAction");
    });
    QCOMPARE(clickUntilTheProgramEnds(rig, "configureChipsetButton"), 0);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(u"%1 ms to end"_s.arg(clock.elapsed())));
    QVERIFY(!rig.window().isVisible() && !rig.window().chip().isBusy());
    QVERIFY(!rig.state().contains(u", busy"_s) && !rig.context.chipWorker().isPortOpen());
    QTRY_COMPARE(chip.received().bytes().mid(before), bytes({29, 83, 70, 6, 0}));
}

// The program ends while the polarity question is on show (the session ending, say): the
// job stops at once, nothing more reaches the chip, whatever the answer, and the program
// ends with the port closed.
void TestChipConnection::exitWhileAsked()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 9600);
    chip.access([](ChipEmulator &c) { c.setDetectedPolarity(1); });
    QVERIFY(rig.connect(1, u"9600"_s));
    rig.window().editor().showWord(*ConfigWord::fromText(u"1111110000100000"));  // strobe positive
    rig.click("softwareModeOption");
    rig.click("automaticIdentityOption");
    const qsizetype before = chip.received().size();
    QElapsedTimer clock;
    rig.prompter.expectQuestion(u"Hardware detected polarity doesn't match user choice !  Program anyway ?"_s, true);
    rig.prompter.onPrompt = [&](const ScriptedPrompter::Prompt &) {
        rig.prompter.onPrompt = nullptr;
        clock.start();
        rig.trigger("exitAction");
    };
    QCOMPARE(clickUntilTheProgramEnds(rig, "configureChipsetButton"), 0);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(u"%1 ms to end"_s.arg(clock.elapsed())));
    QVERIFY(!rig.window().isVisible() && !rig.window().chip().isBusy());
    QVERIFY(!rig.context.chipWorker().isPortOpen());
    QTest::qWait(300);  // nothing more on its way
    QCOMPARE(chip.received().bytes().mid(before), bytes({29, 83, 104}));
}

// The window's COM1 is a link to a device that another user has opened under its own
// name (as root too): one device, one user, and the message says who has it.
void TestChipConnection::heldUnderAnotherName()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 9600);
    const QString link = rig.path(u"qv12-held"_s);
    QVERIFY(chip.createLink(link));
    rig.context.ports().assign(1, link);
    QVERIFY(rig.connect(1, u"9600"_s));
    const int before = chip.received().size();
    PortMap ports;
    ports.assign(1, chip.devicePath());
    SerialLink holder(ports);
    QVERIFY(holder.open(1, 9600, Handshake::DsrDtr));
    rig.prompter.expectMessage(u"The serial port could not be used, so the chip could not answer:\n"
                               "COM1 (%1): held by another program (process %2)\n\nClose the program that holds the "
                               "port (a terminal program, or ModemManager, which probes new serial devices) and try "
                               "again."_s.arg(link).arg(QCoreApplication::applicationPid()),
                               Prompter::Icon::Critical);
    rig.click("checkConfigurationButton");
    QCOMPARE(rig.prompter.pending(), QString());
    QCOMPARE(chip.received().size(), before);
}

QTEST_MAIN(TestChipConnection)
#include "tst_chipconnection.moc"
