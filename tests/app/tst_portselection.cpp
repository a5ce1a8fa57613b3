#include "chiprig.h"

#include "app/portselectiondialog.h"
#include "protocol/commands.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const char *const ComNames[] = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};

// The nine speeds of a scan, fastest first.
const QList<int> ScanSpeeds{115200, 57600, 38400, 28800, 19200, 9600, 4800, 2400, 1200};

// A dialog shown the way the main window shows it, but not modally, so that the test
// can press its buttons one at a time.
struct Dialog
{
    explicit Dialog(ChipRig &rig) : dialog(rig.context(), &rig.window())
    {
        dialog.Form_Load();
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            qFatal("The port selection dialog did not appear");
    }

    template<class T = QWidget>
    T *get(const char *name) const
    {
        T *found = dialog.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("No control named %s", name);
        return found;
    }
    QString result() const { return get<QLabel>("DetectedPrinter")->text(); }
    void selectPort(int port) { clickIn(&dialog, ComNames[port - 1]); }
    void selectSpeed(const QString &speed)
    {
        auto *speeds = get<QComboBox>("serialspeed");
        speeds->setCurrentIndex(speeds->findText(speed));
    }
    void selectHandshake(int index) { get<QComboBox>("serialhandshakeconf")->setCurrentIndex(index); }
    void click(const char *name) { clickIn(&dialog, name); }
    int checkedPort() const
    {
        for (int port = 1; port <= 6; ++port) {
            if (get<QRadioButton>(ComNames[port - 1])->isChecked())
                return port;
        }
        return 0;
    }

    PortSelectionDialog dialog;
};

// The probes of a scan on one port: ESC "v" at each speed given, no handshake.
void verifyProbes(const QList<TranscriptEntry> &entries, int first, const QList<int> &speeds)
{
    for (int i = 0; i < speeds.size(); ++i) {
        const int at = first + 2 * i;
        QVERIFY2(entries.size() >= at + 2, qPrintable(u"probe %1 missing"_s.arg(i)));
        QCOMPARE(quint8(entries[at].byte), quint8(27));
        QCOMPARE(quint8(entries[at + 1].byte), quint8(118));
        QCOMPARE(entries[at].line.speed, speeds[i]);
        QVERIFY(!entries[at].line.xonXoff && !entries[at].line.rtsCts);
        if (i > 0) {
            const double gap = gapMs(entries[at - 2], entries[at]);
            QVERIFY2(gap >= 99.0 && gap < 400.0, qPrintable(u"probe gap %1 ms"_s.arg(gap)));
        }
    }
}

} // namespace

class TestPortSelection final : public QObject
{
    Q_OBJECT

private slots:
    // The dialog
    void loadState();
    void loadClearsChipFoundOnly();

    // Automatic scan
    void noPortAtAll();
    void chipOnCom2BehindCom1();
    void secondProbeUnanswered_data();
    void secondProbeUnanswered();
    void probesAnsweredButNotIdentity();
    void unopenablePortSkippedWithOneMessage();
    void closeRefusedWhileDetecting();

    // Detection on a chosen port
    void detectNeedsAPort();
    void detectOnVanishedPort();
    void xonXoffOnDsrDtrChip();
    void handshakeFromSerialSetting_data();
    void handshakeFromSerialSetting();
    void resultLine_data();
    void resultLine();
    void silentPort();

    // Identification in the main window
    void identification();
    void chipSilentAfterDetection();
    void longIdentityKeepsTheWindow();
    void okAtOnceClearsDetection();
    void detectMenuEntryRunsTheSame();
};

void TestPortSelection::loadState()
{
    ChipRig rig;
    rig.addChip(1, 9600);
    rig.addChip(3, 9600);
    Dialog d(rig);

    QCOMPARE(d.dialog.windowTitle(), u"Communication Port Selection"_s);
    QCOMPARE(d.dialog.objectName(), u"PortSelection"_s);
    for (int port = 1; port <= 6; ++port) {
        auto *button = d.get<QRadioButton>(ComNames[port - 1]);
        QCOMPARE(button->text(), u"COM %1"_s.arg(port));
        QCOMPARE(button->isEnabled(), port == 1 || port == 3);
        QVERIFY(!button->isChecked());
        const QString expected = port == 1 || port == 3 ? rig.chip(port).devicePath()
                                                        : u"No serial device on COM%1"_s.arg(port);
        QCOMPARE(button->toolTip(), expected);
    }
    auto *speeds = d.get<QComboBox>("serialspeed");
    QStringList speedTexts;
    for (int i = 0; i < speeds->count(); ++i)
        speedTexts << speeds->itemText(i);
    QCOMPARE(speedTexts, (QStringList{u"1200"_s, u"2400"_s, u"4800"_s, u"9600"_s, u"19200"_s,
                                      u"28800"_s, u"38400"_s, u"57600"_s, u"115200"_s}));
    QCOMPARE(speeds->currentIndex(), 3);
    auto *handshakes = d.get<QComboBox>("serialhandshakeconf");
    QCOMPARE(handshakes->count(), 2);
    QCOMPARE(handshakes->itemText(0), u"Xon-Xoff"_s);
    QCOMPARE(handshakes->itemText(1), u"DSR/DTR Mode"_s);
    QCOMPARE(handshakes->currentIndex(), 1);
    QCOMPARE(d.result(), u"No printer found yet, please start detection."_s);
    QCOMPARE(d.get<QLabel>("DetectedPrinter")->textFormat(), Qt::PlainText);
    QCOMPARE(d.get<QPushButton>("DetectSerialPrinter")->text(), u"Detect Chipset"_s);
    QCOMPARE(d.get<QPushButton>("Autodetect")->text(), u"Autodetect Chipset"_s);
    QCOMPARE(d.get<QPushButton>("OKButton")->text(), u"OK"_s);
    QCOMPARE(d.get<QLabel>("label")->text(), u"Baudrate:"_s);
    QCOMPARE(d.get<QLabel>("Label1")->text(), u"Handshake:"_s);
    QTRY_VERIFY(d.get("Autodetect")->hasFocus());
    // Fixed size, at least the reference size (4725 x 3850 twips).
    QCOMPARE(d.dialog.minimumSize(), d.dialog.maximumSize());
    const qreal dpi = d.dialog.screen()->logicalDotsPerInchX();
    QVERIFY(d.dialog.width() >= qRound(4725 * dpi / 1440) - 1);
    // Nothing has been sent on any port.
    QCOMPARE(rig.chip(1).received().size(), 0);
    QCOMPARE(rig.chip(3).received().size(), 0);
}

void TestPortSelection::loadClearsChipFoundOnly()
{
    ChipRig rig;
    rig.connection() = ConnectionSettings{4, u"2400"_s, 1, true};
    Dialog d(rig);
    QCOMPARE(rig.connection().ChipFound, false);
    QCOMPARE(rig.connection().PortNumber, qint16(4));
    QCOMPARE(rig.connection().Speed, u"2400"_s);
    QCOMPARE(rig.connection().Handshake, qint16(1));
}

void TestPortSelection::noPortAtAll()
{
    ChipRig rig;
    Dialog d(rig);
    for (const char *name : ComNames)
        QVERIFY(!d.get(name)->isEnabled());

    QElapsedTimer clock;
    clock.start();
    d.click("Autodetect");
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 1000 && elapsed < 1600, qPrintable(QString::number(elapsed)));
    QCOMPARE(d.result(), u"No printer found"_s);
    QCOMPARE(rig.connection().ChipFound, false);
    QVERIFY(d.get("OKButton")->isEnabled());
    QVERIFY(d.get("Autodetect")->isEnabled());
    QVERIFY(d.get("DetectSerialPrinter")->isEnabled());
    QTRY_VERIFY(d.get("OKButton")->hasFocus());
}

void TestPortSelection::chipOnCom2BehindCom1()
{
    ChipRig rig;
    SimulatedChip &com1 = rig.addSilentPort(1);
    SimulatedChip &com2 = rig.addChip(2, 9600);
    Dialog d(rig);

    // The progress line, sampled while the scan runs; each text stays 100 ms at least.
    QStringList progress;
    QTimer sampler;
    sampler.setInterval(5);
    QObject::connect(&sampler, &QTimer::timeout, &sampler, [&] {
        const QString text = d.result();
        if (progress.isEmpty() || progress.last() != text)
            progress.append(text);
    });
    // Busy while it runs: the three buttons off, the ports and lists on, the hourglass.
    bool busyChecked = false;
    rig.whenReceived(com1, 3, [&] {
        QVERIFY(!d.get("Autodetect")->isEnabled());
        QVERIFY(!d.get("DetectSerialPrinter")->isEnabled());
        QVERIFY(!d.get("OKButton")->isEnabled());
        QVERIFY(d.get("COM1")->isEnabled());
        QVERIFY(d.get("serialspeed")->isEnabled());
        QVERIFY(d.get("serialhandshakeconf")->isEnabled());
        QCOMPARE(d.dialog.cursor().shape(), Qt::WaitCursor);
        busyChecked = true;
    });
    sampler.start();
    d.click("Autodetect");
    sampler.stop();
    progress.append(d.result());
    QVERIFY(busyChecked);

    QStringList expected{u"No printer found yet, please start detection."_s};
    for (int port : {1, 2}) {
        for (int speed : ScanSpeeds) {
            expected << u"Attempting to contact printer on COM %1 at %2 bauds."_s.arg(port).arg(speed);
            if (port == 2 && speed == 9600)
                break;
        }
    }
    expected << u"KT 610-ST found on COM 2 at 9600 bauds"_s;
    QCOMPARE(progress, expected);

    // COM1: woken, then probed at the nine speeds without handshake.
    const auto one = com1.received().entries();
    QCOMPARE(one.size(), 1 + 2 * 9);
    QCOMPARE(quint8(one[0].byte), quint8(0));
    QCOMPARE(one[0].line.speed, 57600);
    QVERIFY(!one[0].line.xonXoff && !one[0].line.rtsCts);
    verifyProbes(one, 1, ScanSpeeds);

    // COM2: woken after COM1, probed at five speeds, then the two probes at 9600, then the
    // identity and serial setting with "DSR/DTR Mode" (RTS/CTS).
    const auto two = com2.received().entries();
    QCOMPARE(QByteArray(com2.received().bytes()),
             bytes({0, 27, 118, 27, 118, 27, 118, 27, 118, 27, 118, 27, 118, 24, 27, 118, 27, 73,
                    27, 118, 29, 83, 102, 28, 24}));
    QCOMPARE(two[0].line.speed, 57600);
    QVERIFY(two[0].timeNs >= one[0].timeNs);
    const double wake = gapMs(two[0], one[1]);
    QVERIFY2(wake >= 999.0 && wake < 1400.0, qPrintable(u"wake pause %1 ms"_s.arg(wake)));
    QVERIFY(gapMs(one.last(), two[1]) >= 99.0);  // COM1's last probe waited its 100 ms
    verifyProbes(two, 1, ScanSpeeds.mid(0, 6));
    // The probe at 9600 answered: CAN, 100 ms, the second probe.
    QCOMPARE(two[13].line.speed, 9600);
    QVERIFY(gapMs(two[11], two[13]) >= 99.0);
    QVERIFY(gapMs(two[13], two[14]) >= 99.0);
    QCOMPARE(two[14].line.speed, 9600);
    QVERIFY(!two[14].line.rtsCts);
    // DetectOnPort at 9600 with handshake code 2.
    for (int i = 16; i < two.size(); ++i) {
        QCOMPARE(two[i].line.speed, 9600);
        QVERIFY(two[i].line.rtsCts);
        QVERIFY(!two[i].line.xonXoff);
    }
    QVERIFY(gapMs(two[14], two[16]) >= 99.0);
    const double identify = gapMs(two[16], two[18]);
    QVERIFY2(identify >= 249.0 && identify < 600.0, qPrintable(QString::number(identify)));
    QVERIFY(gapMs(two[18], two[20]) >= 99.0);
    const double cancel = gapMs(two[20], two[24]);
    QVERIFY2(cancel >= 99.0 && cancel < 400.0, qPrintable(QString::number(cancel)));

    QCOMPARE(d.get<QComboBox>("serialspeed")->currentText(), u"9600"_s);
    QCOMPARE(d.checkedPort(), 2);
    QCOMPARE(d.get<QComboBox>("serialhandshakeconf")->currentIndex(), 1);
    QCOMPARE(rig.connection().ChipFound, true);
    QCOMPARE(rig.connection().PortNumber, qint16(2));
    QCOMPARE(rig.connection().Speed, u"9600"_s);
    QCOMPARE(rig.connection().Handshake, qint16(2));
    QTRY_VERIFY(d.get("OKButton")->hasFocus());
    QVERIFY(d.get("OKButton")->isEnabled());
    QCOMPARE(d.dialog.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!rig.context().link().isOpen());
}

void TestPortSelection::secondProbeUnanswered_data()
{
    QTest::addColumn<int>("secondProbeBytes");
    QTest::newRow("no byte") << 0;
    QTest::newRow("two bytes") << 2;
}

void TestPortSelection::secondProbeUnanswered()
{
    QFETCH(int, secondProbeBytes);
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    ChipFaults faults;
    faults.probeReplyBytes = secondProbeBytes;
    faults.probeFaultFrom = 2;
    chip.setFaults(faults);
    rig.connection() = ConnectionSettings{3, u"4800"_s, 1, true};
    Dialog d(rig);

    d.click("Autodetect");
    QCOMPARE(d.result(), u"No printer found"_s);
    QCOMPARE(rig.connection().ChipFound, false);
    QCOMPARE(rig.connection().PortNumber, qint16(3));  // never cleared
    // The two probes at 115200, then the scan goes on with the next speeds.
    const auto entries = chip.received().entries();
    QCOMPARE(chip.received().bytes(), bytes({0, 27, 118, 24, 27, 118, 27, 118, 27, 118, 27, 118,
                                             27, 118, 27, 118, 27, 118, 27, 118, 27, 118}));
    QCOMPARE(entries[4].line.speed, 115200);
    QCOMPARE(entries[6].line.speed, 57600);
    verifyProbes(entries, 6, ScanSpeeds.mid(1));
}

void TestPortSelection::probesAnsweredButNotIdentity()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    ChipFaults faults;
    faults.identityReply = QByteArray();
    chip.setFaults(faults);
    rig.connection() = ConnectionSettings{5, u"1200"_s, 1, false};
    Dialog d(rig);

    d.click("Autodetect");
    QCOMPARE(d.result(), u"No printer found on COM 1 at 115200 bauds"_s);
    QCOMPARE(rig.connection().ChipFound, false);
    QCOMPARE(rig.connection().PortNumber, qint16(5));
    QCOMPARE(rig.connection().Speed, u"1200"_s);
    QCOMPARE(rig.connection().Handshake, qint16(1));
    QCOMPARE(d.get<QComboBox>("serialspeed")->currentText(), u"115200"_s);
    QCOMPARE(d.checkedPort(), 1);
    // No identity: the probe and the serial setting are not asked for.
    QCOMPARE(chip.received().bytes(), bytes({0, 27, 118, 24, 27, 118, 27, 73}));
}

void TestPortSelection::unopenablePortSkippedWithOneMessage()
{
    ChipRig rig;
    SimulatedChip &held = rig.addChip(1, 115200);
    SimulatedChip &chip = rig.addChip(2, 115200);
    // Another program has COM1.
    QSerialPort other(held.devicePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    Dialog d(rig);
    QVERIFY(d.get("COM1")->isEnabled());

    rig.prompter().expectMessageMatching(
        u"The detection skipped a port that could not be opened:\n"
        "COM1 \\(%1\\): another program is using it\n\n"
        "Close the program that holds the port \\(a terminal program, or ModemManager, which "
        "probes new serial devices\\) and try again."_s.arg(QRegularExpression::escape(held.devicePath())),
        Prompter::Icon::Critical);
    d.click("Autodetect");
    QCOMPARE(d.result(), u"KT 610-ST found on COM 2 at 115200 bauds"_s);
    QCOMPARE(held.received().size(), 0);
    QCOMPARE(chip.received().bytes(),
             bytes({0, 27, 118, 24, 27, 118, 27, 73, 27, 118, 29, 83, 102, 28, 24}));
    QCOMPARE(rig.prompter().pending(), QString());
}

void TestPortSelection::closeRefusedWhileDetecting()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    Dialog d(rig);
    bool stayed = false;
    rig.whenReceived(chip, 1, [&] {
        d.dialog.close();
        QTest::keyClick(&d.dialog, Qt::Key_Escape);
        stayed = d.dialog.isVisible();
    });
    d.click("Autodetect");
    QVERIFY(stayed);
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.result(), u"KT 610-ST found on COM 1 at 115200 bauds"_s);
    // Once the detection has ended the close box works.
    QVERIFY(d.dialog.close());
    QVERIFY(!d.dialog.isVisible());
    QCOMPARE(rig.connection().ChipFound, true);
}

void TestPortSelection::detectNeedsAPort()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 9600);
    Dialog d(rig);
    rig.prompter().expectMessage(u"You must select a serial port"_s, Prompter::Icon::Critical);
    d.click("DetectSerialPrinter");
    QCOMPARE(d.result(), u"No printer found yet, please start detection."_s);
    QCOMPARE(chip.received().size(), 0);
}

void TestPortSelection::detectOnVanishedPort()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 9600);
    const QString link = rig.w().path(u"qv12-com1"_s);
    QVERIFY(chip.createLink(link));
    rig.context().ports().assign(1, link);
    Dialog d(rig);
    QVERIFY(d.get("COM1")->isEnabled());
    d.selectPort(1);
    chip.removeLink();  // unplugged while the dialog is open
    rig.prompter().expectMessage(u"This port does not exist"_s, Prompter::Icon::Critical);
    d.click("DetectSerialPrinter");
    QCOMPARE(d.result(), u"No printer found yet, please start detection."_s);
    QCOMPARE(rig.connection().ChipFound, false);
    QCOMPARE(chip.received().size(), 0);
}

void TestPortSelection::xonXoffOnDsrDtrChip()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(3, 19200, SimulatedChip::Handshake::DsrDtr);
    QVERIFY(chip.setting(28) & 0x80);
    Dialog d(rig);
    d.selectPort(3);
    d.selectSpeed(u"19200"_s);
    d.selectHandshake(0);
    d.click("DetectSerialPrinter");

    QCOMPARE(d.result(), u"KT 610-ST found on COM 3 at 19200 bauds"_s);
    const auto entries = chip.received().entries();
    QCOMPARE(chip.received().bytes(), bytes({27, 73, 27, 118, 29, 83, 102, 28, 24}));
    for (const TranscriptEntry &entry : entries) {
        QCOMPARE(entry.line.speed, 19200);
        QVERIFY(entry.line.xonXoff);   // handshake code 1
        QVERIFY(!entry.line.rtsCts);
    }
    const double identify = gapMs(entries[0], entries[2]);
    QVERIFY2(identify >= 249.0 && identify < 600.0, qPrintable(QString::number(identify)));
    QVERIFY(gapMs(entries[2], entries[4]) >= 99.0);
    QVERIFY(gapMs(entries[4], entries[8]) >= 99.0);
    QCOMPARE(d.get<QComboBox>("serialhandshakeconf")->currentText(), u"DSR/DTR Mode"_s);
    QCOMPARE(rig.connection().Handshake, qint16(2));
    QCOMPARE(rig.connection().PortNumber, qint16(3));
    QCOMPARE(rig.connection().Speed, u"19200"_s);
    QCOMPARE(rig.connection().ChipFound, true);
    QVERIFY(d.get("DetectSerialPrinter")->isEnabled());
}

void TestPortSelection::handshakeFromSerialSetting_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("setting28");   // -1: as the chip has it
    QTest::addColumn<int>("expectedIndex");

    QTest::newRow("Xon-Xoff at 9600") << 9600 << 0x03 << 0;
    QTest::newRow("28800 with code 5") << 28800 << 0x05 << 0;
    QTest::newRow("code of another speed") << 9600 << 0x04 << 1;
    QTest::newRow("bit 7 and the right code") << 9600 << 0x83 << 1;
}

void TestPortSelection::handshakeFromSerialSetting()
{
    QFETCH(int, speed);
    QFETCH(int, setting28);
    QFETCH(int, expectedIndex);
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, speed, SimulatedChip::Handshake::XonXoff);
    chip.setSetting(28, quint8(setting28));  // stored; the chip keeps its speed until a restart
    Dialog d(rig);
    d.selectPort(1);
    d.selectSpeed(QString::number(speed));
    d.click("DetectSerialPrinter");
    QCOMPARE(d.result(), u"KT 610-ST found on COM 1 at %1 bauds"_s.arg(speed));
    QCOMPARE(d.get<QComboBox>("serialhandshakeconf")->currentIndex(), expectedIndex);
    QCOMPARE(rig.connection().Handshake, qint16(expectedIndex + 1));
    // The identity request went out with the handshake selected before (DSR/DTR).
    QVERIFY(chip.received().entries().first().line.rtsCts);
}

void TestPortSelection::resultLine_data()
{
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QString>("name");

    QTest::newRow("20 characters cut to 16")
        << QByteArray("ABCDEFGHIJKLMNOPQRST") << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("cut before the spaces are stripped")
        << QByteArray("  ABCDEFGHIJKL  XYZ") << u"ABCDEFGHIJKL"_s;
    QTest::newRow("markup stays text") << QByteArray("<b>QV12</b>") << u"<b>QV12</b>"_s;
    QTest::newRow("bytes above 127") << QByteArray("Caf\xe9 \xb0" "C") << u"Café °C"_s;
}

void TestPortSelection::resultLine()
{
    QFETCH(QByteArray, identity);
    QFETCH(QString, name);
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(2, 115200);
    ChipFaults faults;
    faults.identityReply = identity;
    chip.setFaults(faults);
    Dialog d(rig);
    d.selectPort(2);
    d.selectSpeed(u"115200"_s);
    d.click("DetectSerialPrinter");
    QCOMPARE(d.result(), name + u" found on COM 2 at 115200 bauds"_s);
    QCOMPARE(d.get<QLabel>("DetectedPrinter")->textFormat(), Qt::PlainText);
}

void TestPortSelection::silentPort()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(4, 9600);
    rig.connection() = ConnectionSettings{2, u"57600"_s, 1, false};
    Dialog d(rig);
    d.selectPort(4);
    d.selectSpeed(u"38400"_s);  // not the chip's speed
    d.click("DetectSerialPrinter");
    QCOMPARE(d.result(), u"No printer found on COM 4 at 38400 bauds"_s);
    QCOMPARE(rig.connection().ChipFound, false);
    QCOMPARE(rig.connection().PortNumber, qint16(2));
    QCOMPARE(chip.received().bytes(), bytes({27, 73}));
}

void TestPortSelection::identification()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(3, 19200);
    ChipFaults faults;
    faults.identityReply = QByteArray("<b>KT 610-ST</b>   QV12 FW 2.07");  // 31 characters
    chip.setFaults(faults);

    // While the identity is read: the busy pointer, "Detect Chipset" disabled.
    bool checked = false;
    rig.whenReceived(chip, 11, [&] {
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QVERIFY(!rig.get("GetID")->isEnabled());
        QVERIFY(rig.get("GetSettings")->isEnabled());  // enabled before the request
        checked = true;
    });
    QVERIFY(rig.connect(3, u"19200"_s));
    QVERIFY(checked);

    // After the dialog: the identity again, at 19200 with RTS/CTS, 100 ms, then the read.
    const auto entries = chip.received().entries();
    QCOMPARE(chip.received().bytes(), bytes({27, 73, 27, 118, 29, 83, 102, 28, 24, 27, 73}));
    QVERIFY(entries[9].line.rtsCts);
    QCOMPARE(entries[9].line.speed, 19200);

    QCOMPARE(rig.get<QLabel>("Identity")->text(), u"<b>KT 610-ST</b>   QV12 FW 2.07"_s);
    QCOMPARE(rig.get<QLabel>("Identity")->textFormat(), Qt::PlainText);
    QCOMPARE(rig.get<QLabel>("LabelCom")->text(), u"Port: COM3"_s);
    QCOMPARE(rig.get<QLabel>("LabelBauds")->text(), u"Baudrate: 19200"_s);
    for (const char *name : {"GetID", "GetSettings", "ConfigPrinter", "Wakeup", "SleepButton", "Reset"})
        QVERIFY2(rig.get(name)->isEnabled(), name);
    QCOMPARE(rig.window().focusWidget(), rig.get("GetSettings"));
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(!rig.context().link().isOpen());
}

void TestPortSelection::chipSilentAfterDetection()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    rig.onDialog([&chip](PortSelectionDialog &dialog) {
        clickIn(&dialog, "COM1");
        dialog.findChild<QComboBox *>(u"serialspeed"_s)->setCurrentIndex(8);
        clickIn(&dialog, "DetectSerialPrinter");
        chip.setSilent(true);
        clickIn(&dialog, "OKButton");
    });
    rig.w().click("GetID");
    // The decision rests on ChipFound alone: an empty identity, the buttons on.
    QCOMPARE(rig.get<QLabel>("Identity")->text(), QString());
    QCOMPARE(rig.get<QLabel>("LabelCom")->text(), u"Port: COM1"_s);
    for (const char *name : {"GetSettings", "ConfigPrinter", "Wakeup", "SleepButton", "Reset"})
        QVERIFY2(rig.get(name)->isEnabled(), name);
    QCOMPARE(chip.received().bytes().right(2), bytes({27, 73}));
}

void TestPortSelection::longIdentityKeepsTheWindow()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    QVERIFY(rig.connect(1, u"115200"_s));
    const int height = rig.window().height();
    const int width = rig.window().width();
    ChipFaults faults;
    faults.identityReply = QByteArray("WORD ").repeated(80);
    chip.setFaults(faults);
    QVERIFY(rig.connect(1, u"115200"_s));
    QCOMPARE(rig.get<QLabel>("Identity")->text(), u"WORD "_s.repeated(80));  // whole, unchanged
    // At most two lines more than a normal identity, and no wider.
    QTRY_VERIFY(rig.window().height() <= height + 2 * rig.get("Identity")->fontMetrics().lineSpacing());
    QVERIFY(rig.window().width() <= width);
}

void TestPortSelection::okAtOnceClearsDetection()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    QVERIFY(rig.connect(1, u"115200"_s));
    QVERIFY(rig.get("Reset")->isEnabled());
    const int sent = chip.received().size();

    rig.onDialog([](PortSelectionDialog &dialog) { clickIn(&dialog, "OKButton"); });
    rig.w().click("GetID");
    QCOMPARE(rig.connection().ChipFound, false);
    QCOMPARE(chip.received().size(), sent);
    QCOMPARE(rig.get<QLabel>("Identity")->text(), u"No chipset found"_s);
    QCOMPARE(rig.get<QLabel>("LabelCom")->text(), u"No chipset found, please"_s);
    QCOMPARE(rig.get<QLabel>("LabelBauds")->text(), u"Perform a chipset detection"_s);
    for (const char *name : {"GetSettings", "ConfigPrinter", "Wakeup", "SleepButton", "Reset"})
        QVERIFY2(!rig.get(name)->isEnabled(), name);
    QVERIFY(rig.get("GetID")->isEnabled());
    QCOMPARE(rig.window().focusWidget(), rig.get("GetID"));
}

void TestPortSelection::detectMenuEntryRunsTheSame()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(2, 115200);
    rig.onDialog([](PortSelectionDialog &dialog) {
        clickIn(&dialog, "COM2");
        auto *speeds = dialog.findChild<QComboBox *>(u"serialspeed"_s);
        speeds->setCurrentIndex(8);
        clickIn(&dialog, "DetectSerialPrinter");
        clickIn(&dialog, "OKButton");
    });
    rig.w().trigger("Detect");
    QCOMPARE(rig.get<QLabel>("Identity")->text(), QString::fromLatin1(chip.identity()));
    QCOMPARE(rig.get<QLabel>("LabelCom")->text(), u"Port: COM2"_s);
    QCOMPARE(rig.get<QLabel>("LabelBauds")->text(), u"Baudrate: 115200"_s);
    QVERIFY(rig.get("SleepButton")->isEnabled());
}

QTEST_MAIN(TestPortSelection)
#include "tst_portselection.moc"
