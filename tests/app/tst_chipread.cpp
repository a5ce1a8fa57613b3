#include "chiprig.h"

#include "app/editorpanel.h"
#include "app/portselectiondialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPort>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray ReadMode = bytes({29, 83, 102, 6});
const QByteArray ReadIdMethod = bytes({29, 83, 102, 9});
const QByteArray ReadConfig = bytes({29, 83, 67});
const QByteArray Identify = bytes({27, 73});
const QByteArray WholeRead = ReadMode + ReadIdMethod + ReadConfig + Identify;

bool busyPointer()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

} // namespace

// "Check configuration", against one chip found once for all cases (each case sets the
// chip up as it needs).
class TestChipRead final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void softwareUser();
    void configurationAnswer_data();
    void configurationAnswer();
    void threeByteAnswer();
    void hardwareAutomaticLocksEditorFirst();
    void mechanismIdentity_data();
    void mechanismIdentity();
    void silentChip();
    void portHeldByAnotherProgram();
    void noChipFoundYet();

private:
    void check();
    QStringList selected() const;

    std::unique_ptr<ChipRig> m_rig;
    SimulatedChip *m_chip = nullptr;
    QByteArray m_settings;
    int m_before = 0;
};

void TestChipRead::initTestCase()
{
    m_rig = std::make_unique<ChipRig>();
    m_chip = &m_rig->addChip(1, 115200);
    m_settings = m_chip->settings();
    QVERIFY(m_rig->connect(1, u"115200"_s));
}

void TestChipRead::init()
{
    m_chip->setFaults(ChipFaults{});
    m_chip->setSettings(m_settings);
    m_chip->restart();
    m_before = m_chip->received().size();
    m_rig->prompter().onPrompt = nullptr;
}

void TestChipRead::cleanup()
{
    QCOMPARE(m_rig->prompter().pending(), QString());
    QVERIFY(!m_rig->context().link().isOpen());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestChipRead::check()
{
    m_rig->w().click("GetSettings");
}

QStringList TestChipRead::selected() const
{
    QStringList names;
    for (QRadioButton *option : m_rig->window().findChildren<QRadioButton *>()) {
        if (option->isChecked())
            names << option->objectName();
    }
    names.sort();
    return names;
}

void TestChipRead::softwareUser()
{
    ChipRig &rig = *m_rig;
    const QString identityBefore = rig.get<QLabel>("Identity")->text();
    const QString statusBefore = rig.w().status();
    bool during = false;
    rig.whenReceived(*m_chip, m_before + 1, [&] {
        QVERIFY(!rig.get("GetSettings")->isEnabled());
        QVERIFY(busyPointer());
        during = true;
    });
    check();
    QVERIFY(during);

    const auto entries = m_chip->received().entries().mid(m_before);
    QCOMPARE(bytesFrom(m_chip->received(), m_before), WholeRead);
    for (const TranscriptEntry &entry : entries) {
        QCOMPARE(entry.line.speed, 115200);
        QVERIFY(entry.line.rtsCts);
    }
    // The one-byte answers end their reads at the next poll; the configuration's ends
    // after 500 ms of silence.
    const double afterMode = gapMs(entries[0], entries[4]);
    QVERIFY2(afterMode < 300.0, qPrintable(QString::number(afterMode)));
    const double afterConfig = gapMs(entries[8], entries[11]);
    QVERIFY2(afterConfig >= 500.0 && afterConfig < 1200.0, qPrintable(QString::number(afterConfig)));

    QVERIFY(rig.get<QRadioButton>("ConfUser")->isChecked());
    QVERIFY(rig.get<QRadioButton>("IdUser")->isChecked());
    EditorFields expected;
    expected.PrinterMode = 1;
    expected.LogicVoltage = 1;
    expected.Mechanism = 1;
    expected.MotorSteps = 1;
    expected.MotorRotation = 1;
    expected.HeadType = 2;
    expected.StrobePolarity = 0;
    expected.HeadWidth = 1;
    expected.HeadUpPolarity = 0;
    QCOMPARE(rig.window().editor().fields(), expected);
    QCOMPARE(selected(), (QStringList{u"ConfUser"_s, u"HW2N"_s, u"HeadST"_s, u"HupNormal"_s,
                                      u"IdUser"_s, u"MechaStd"_s, u"ModeChipset"_s, u"Step1"_s,
                                      u"StepperInverted"_s, u"StrobeRohm"_s, u"Voltage5"_s}));
    QCOMPARE(rig.get<QLineEdit>("ConfigName")->text(), u"KT 610-ST"_s);
    QVERIFY(rig.get("ConfigName")->isEnabled());
    QVERIFY(rig.get("Voltage3")->isEnabled());

    QVERIFY(rig.get("GetSettings")->isEnabled());
    QCOMPARE(rig.window().focusWidget(), rig.get("GetSettings"));
    QCOMPARE(rig.get<QLabel>("Identity")->text(), identityBefore);
    QCOMPARE(rig.w().status(), statusBefore);
}

void TestChipRead::configurationAnswer_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<int>("burstSize");
    QTest::addColumn<QString>("word");

    QTest::newRow("252 32") << 252 << 32 << 2 << 0 << u"1111110000100000"_s;
    QTest::newRow("65 66 252 32") << 252 << 32 << 4 << 0 << u"1111110000100000"_s;
    QTest::newRow("largest codes") << 0xFD << 0x90 << 2 << 0 << u"1111110110010000"_s;
    QTest::newRow("PNX mode, in two bursts") << 0x52 << 0x60 << 2 << 1 << u"0101001001100000"_s;
}

void TestChipRead::configurationAnswer()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, replyLength);
    QFETCH(int, burstSize);
    QFETCH(QString, word);
    m_chip->setSetting(7, quint8(first));
    m_chip->setSetting(8, quint8(second));
    m_chip->restart();
    ChipFaults faults;
    faults.configReplyLength = replyLength;
    faults.burstSize = burstSize;
    faults.burstGapMs = 200;  // less than the 500 ms that end a reply
    m_chip->setFaults(faults);

    check();
    QCOMPARE(bytesFrom(m_chip->received(), m_before), WholeRead);
    EditorFields expected = ::DecodeConfig(word).values;
    QCOMPARE(m_rig->window().editor().fields(), expected);
    QCOMPARE(m_rig->get<QRadioButton>("ModePNX")->isChecked(), word.startsWith(u'0'));
}

void TestChipRead::threeByteAnswer()
{
    ChipRig &rig = *m_rig;
    rig.window().editor().DecodeConfig(u"1100001101100000");
    const EditorFields before = rig.window().editor().fields();
    rig.get<QLineEdit>("ConfigName")->setText(u"previous"_s);
    ChipFaults faults;
    faults.configReplyLength = 3;
    m_chip->setFaults(faults);

    // The message comes before the identity request, with the button still off; the
    // button comes back, focused, before that request.
    QByteArray sentAtMessage;
    bool disabledAtMessage = false;
    rig.prompter().onPrompt = [&](const ScriptedPrompter::Prompt &) {
        sentAtMessage = bytesFrom(m_chip->received(), m_before);
        disabledAtMessage = !rig.get("GetSettings")->isEnabled() && busyPointer();
    };
    bool enabledAtIdentity = false;
    rig.whenReceived(*m_chip, m_before + WholeRead.size(), [&] {
        enabledAtIdentity = rig.get("GetSettings")->isEnabled() && !busyPointer();
    });
    rig.prompter().expectMessage(u"Error while reading printer parameters !"_s,
                                 Prompter::Icon::Critical);
    check();

    QCOMPARE(sentAtMessage, ReadMode + ReadIdMethod + ReadConfig);
    QVERIFY(disabledAtMessage);
    QVERIFY(enabledAtIdentity);
    QCOMPARE(bytesFrom(m_chip->received(), m_before), WholeRead);
    QCOMPARE(rig.window().editor().fields(), before);
    QVERIFY(rig.get<QRadioButton>("ConfUser")->isChecked());
    QVERIFY(rig.get<QRadioButton>("IdUser")->isChecked());
    QCOMPARE(rig.get<QLineEdit>("ConfigName")->text(), u"KT 610-ST"_s);
    QCOMPARE(rig.window().focusWidget(), rig.get("GetSettings"));
}

void TestChipRead::hardwareAutomaticLocksEditorFirst()
{
    ChipRig &rig = *m_rig;
    // Software and User editable from an earlier read.
    rig.window().editor().selectSoftwareAndUser();
    m_chip->setSetting(6, 0);
    m_chip->setSetting(9, 0);
    m_chip->restart();  // the strapped configuration and the automatic identity in force
    const auto [first, second] = m_chip->configuration();
    const QString word = binary(first) + binary(second);
    const QByteArray identity = m_chip->identity();

    const QList<QRadioButton *> editable = rig.window().editor().editableOptions();
    auto noneEnabled = [&] {
        return std::none_of(editable.begin(), editable.end(),
                            [](QRadioButton *o) { return o->isEnabled(); });
    };
    // Hardware applies before the next command goes out, Automatic likewise, and both
    // before the configuration is shown.
    bool lockedAtSecond = false;
    rig.whenReceived(*m_chip, m_before + 5, [&] {
        lockedAtSecond = rig.get<QRadioButton>("ConfRes")->isChecked() && noneEnabled()
            && rig.get("ConfigName")->isEnabled();
    });
    bool lockedAtThird = false;
    rig.whenReceived(*m_chip, m_before + 9, [&] {
        lockedAtThird = rig.get<QRadioButton>("IdAuto")->isChecked()
            && !rig.get("ConfigName")->isEnabled() && rig.window().editor().fields().HeadType == -1;
    });
    rig.window().editor().resetFields();
    check();

    QVERIFY(lockedAtSecond);
    QVERIFY(lockedAtThird);
    QVERIFY(noneEnabled());
    QVERIFY(!rig.get("ConfigName")->isEnabled());
    QCOMPARE(rig.window().editor().fields(), ::DecodeConfig(word).values);
    QCOMPARE(rig.get<QLineEdit>("ConfigName")->text(),
             QString::fromLatin1(identity.left(16)).trimmed());
}

void TestChipRead::mechanismIdentity_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");

    QTest::newRow("PNX suffix") << QByteArray("  KT 610-ST PNX QV12 FW 2.07") << u"KT 610-ST"_s;
    QTest::newRow("lower-case pnx") << QByteArray("  KT 610-ST pnx QV12 FW 2.07") << u"KT 610-ST pnx"_s;
    QTest::newRow("PNX alone") << QByteArray("PNX") << QString();
    QTest::newRow("20 characters") << QByteArray("ABCDEFGHIJKLMNOPQRST") << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("no answer") << QByteArray() << QString();
    QTest::newRow("markup and Latin-1") << QByteArray("<b>T\xeate</b>") << u"<b>Tête</b>"_s;
}

void TestChipRead::mechanismIdentity()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    m_rig->get<QLineEdit>("ConfigName")->setText(u"previous"_s);
    ChipFaults faults;
    faults.identityReply = reply;
    m_chip->setFaults(faults);
    check();
    QCOMPARE(m_rig->get<QLineEdit>("ConfigName")->text(), name);
}

void TestChipRead::silentChip()
{
    ChipRig &rig = *m_rig;
    rig.get<QLineEdit>("ConfigName")->setText(u"previous"_s);
    m_chip->setSilent(true);
    rig.prompter().expectMessage(u"Error while reading printer parameters !"_s,
                                 Prompter::Icon::Critical);
    check();
    QCOMPARE(bytesFrom(m_chip->received(), m_before), WholeRead);
    QVERIFY(rig.get<QRadioButton>("ConfRes")->isChecked());
    QVERIFY(rig.get<QRadioButton>("IdAuto")->isChecked());
    QCOMPARE(rig.get<QLineEdit>("ConfigName")->text(), QString());
}

void TestChipRead::portHeldByAnotherProgram()
{
    ChipRig &rig = *m_rig;
    QSerialPort other(m_chip->devicePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    // One message naming the port, then the exchange reads as unanswered.
    rig.prompter().expectMessage(
        u"The serial port could not be used, so the chip could not answer:\n"
        "COM1 (%1): another program is using it\n\n"
        "Close the program that holds the port (a terminal program, or ModemManager, which "
        "probes new serial devices) and try again."_s.arg(m_chip->devicePath()),
        Prompter::Icon::Critical);
    rig.prompter().expectMessage(u"Error while reading printer parameters !"_s,
                                 Prompter::Icon::Critical);
    check();
    QCOMPARE(m_chip->received().size(), m_before);
    QVERIFY(rig.get<QRadioButton>("ConfRes")->isChecked());
    QVERIFY(rig.get("GetSettings")->isEnabled());
}

void TestChipRead::noChipFoundYet()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    bool dialogShown = false;
    rig.onDialog([&](PortSelectionDialog &dialog) {
        dialogShown = true;
        clickIn(&dialog, "OKButton");
    });
    // The button is off without a chip; were it on, the message comes first, then the
    // detection as "Detect Chipset" runs it.
    rig.get("GetSettings")->setEnabled(true);
    bool dialogBeforeMessage = true;
    rig.prompter().onPrompt = [&](const ScriptedPrompter::Prompt &) {
        dialogBeforeMessage = dialogShown;
    };
    rig.prompter().expectMessage(u"Please detect the printer first"_s);
    rig.w().click("GetSettings");
    QVERIFY(dialogShown);
    QVERIFY(!dialogBeforeMessage);
    QCOMPARE(chip.received().size(), 0);
    QCOMPARE(rig.get<QLabel>("Identity")->text(), u"No chipset found"_s);
    QVERIFY(!rig.get("GetSettings")->isEnabled());
    QCOMPARE(rig.window().focusWidget(), rig.get("GetID"));
}

QTEST_MAIN(TestChipRead)
#include "tst_chipread.moc"
