#include "chiprig.h"

#include "app/editorpanel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Writes = QList<QPair<int, int>>;

const QString ProgrammingError = u"Programming error ! Please check cables and power."_s;
const QByteArray ReadPolarity = bytes({29, 83, 104});
const QByteArray Reset = bytes({27, 64});
const QByteArray Identify = bytes({27, 73});

QByteArray writes(const Writes &settings)
{
    QByteArray out;
    for (const auto &[setting, value] : settings)
        out += bytes({29, 83, 70, setting, value});
    return out;
}

Writes identityWrites(const QByteArray &name)
{
    Writes out;
    for (int i = 0; i < qMin(16, int(name.size())); ++i)
        out.append({9 + i, quint8(name.at(i))});
    if (name.size() < 16)
        out.append({9 + int(name.size()), 0});
    return out;
}

bool busyPointer()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

} // namespace

// "Configure chipset", against one chip found once for all cases.
class TestChipProgram final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void programs_data();
    void programs();
    void validation_data();
    void validation();
    void polarityQuestion_data();
    void polarityQuestion();
    void wrongEcho();
    void pulledCable();

private:
    // The editor as the user leaves it: the word's options, the modes, the identity.
    void prepare(ChipRig &rig, const QString &word, bool software, bool user, const QString &name);

    std::unique_ptr<ChipRig> m_rig;
    SimulatedChip *m_chip = nullptr;
    QByteArray m_settings;
    int m_before = 0;
};

void TestChipProgram::initTestCase()
{
    m_rig = std::make_unique<ChipRig>();
    m_chip = &m_rig->addChip(1, 115200);
    m_settings = m_chip->settings();
    QVERIFY(m_rig->connect(1, u"115200"_s));
}

void TestChipProgram::init()
{
    m_chip->setFaults(ChipFaults{});
    m_chip->setSettings(m_settings);
    m_chip->access([](ChipEmulator &chip) { chip.setDetectedPolarity(0); });
    m_chip->restart();
    m_before = m_chip->received().size();
    m_rig->prompter().onPrompt = nullptr;
    m_rig->window().statusText().setText(u"Status bar"_s);
}

void TestChipProgram::cleanup()
{
    QCOMPARE(m_rig->prompter().pending(), QString());
    QVERIFY(!m_rig->context().link().isOpen());
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(m_rig->get("ConfigPrinter")->isEnabled());
}

void TestChipProgram::prepare(ChipRig &rig, const QString &word, bool software, bool user,
                              const QString &name)
{
    EditorPanel &editor = rig.window().editor();
    editor.resetFields();
    editor.clearOptions();
    if (!word.isEmpty())
        editor.DecodeConfig(word);
    rig.w().click(software ? "ConfUser" : "ConfRes");
    rig.w().click(user ? "IdUser" : "IdAuto");
    rig.get<QLineEdit>("ConfigName")->setText(name);
}

void TestChipProgram::programs_data()
{
    QTest::addColumn<bool>("software");
    QTest::addColumn<bool>("user");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");   // after the polarity question, before the reset

    QTest::newRow("Hardware, Automatic") << false << false << QString()
                                         << writes({{6, 0}, {9, 0}});
    QTest::newRow("Software, User of 5 characters")
        << true << true << u"AB CD"_s
        << writes(Writes{{6, 1}, {7, 252}, {8, 32}} + identityWrites("AB CD"));
    QTest::newRow("16 characters") << true << true << u"0123456789ABCDEF"_s
                                   << writes(Writes{{6, 1}, {7, 252}, {8, 32}}
                                             + identityWrites("0123456789ABCDEF"));
    QTest::newRow("20 characters") << true << true << u"0123456789ABCDEFGHIJ"_s
                                   << writes(Writes{{6, 1}, {7, 252}, {8, 32}}
                                             + identityWrites("0123456789ABCDEF"));
    QTest::newRow("Software, Automatic") << true << false << u"ignored"_s
                                         << writes({{6, 1}, {7, 252}, {8, 32}, {9, 0}});
    QTest::newRow("Hardware, User beyond ASCII")
        << false << true << u"Caf\u00e9 \u20ac\U0001F600!"_s
        << writes(Writes{{6, 0}} + identityWrites("Caf\xe9 ?" "?!"));
}

void TestChipProgram::programs()
{
    QFETCH(bool, software);
    QFETCH(bool, user);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    ChipRig &rig = *m_rig;
    // Hardware needs no field defined; Software gets 1111110000100000 (252, 32).
    prepare(rig, software ? u"1111110000100000"_s : QString(), software, user, name);
    const EditorFields fields = rig.window().editor().fields();

    bool during = false;
    rig.whenReceived(*m_chip, m_before + 3, [&] {
        during = !rig.get("ConfigPrinter")->isEnabled() && busyPointer();
    });
    rig.w().click("ConfigPrinter");
    QVERIFY(during);

    const QByteArray polarity = software ? ReadPolarity : QByteArray();
    QCOMPARE(bytesFrom(m_chip->received(), m_before), polarity + expected + Reset + Identify);

    // Each write waits for its echo and 100 ms; the reset comes a second before the
    // identity request.
    const auto entries = m_chip->received().entries().mid(m_before + polarity.size());
    for (int i = 5; i < expected.size(); i += 5) {
        const double gap = gapMs(entries[i - 5], entries[i]);
        QVERIFY2(gap >= 100.0 && gap < 600.0, qPrintable(u"write %1: %2 ms"_s.arg(i / 5).arg(gap)));
    }
    const double pause = gapMs(entries[expected.size()], entries[expected.size() + 2]);
    QVERIFY2(pause >= 1000.0 && pause < 1600.0, qPrintable(QString::number(pause)));

    // The new identity, read after the restart, is the visible result.
    QCOMPARE(rig.get<QLabel>("Identity")->text(), QString::fromLatin1(m_chip->identity()));
    QCOMPARE(rig.w().status(), u"Status bar"_s);
    QCOMPARE(rig.window().focusWidget(), rig.get("ConfigPrinter"));
    // Nothing else changes in the window.
    QCOMPARE(rig.window().editor().fields(), fields);
    QCOMPARE(rig.get<QLineEdit>("ConfigName")->text(), name);
    QCOMPARE(rig.get<QRadioButton>("ConfUser")->isChecked(), software);
    QCOMPARE(rig.get<QRadioButton>("IdUser")->isChecked(), user);
}

void TestChipProgram::validation_data()
{
    QTest::addColumn<QString>("mode");       // "", "Software", "Hardware"
    QTest::addColumn<QString>("identity");   // "", "User", "Automatic"
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    const QStringList all{u"Voltage5"_s, u"MechaStd"_s, u"Step1"_s, u"StepperNormal"_s,
                          u"HupNormal"_s, u"HW2N"_s, u"HeadST"_s, u"StrobeRohm"_s};
    auto without = [&all](const QStringList &missing) {
        QStringList out = all;
        for (const QString &m : missing)
            out.removeAll(m);
        return out;
    };
    QTest::newRow("nothing selected") << QString() << QString() << QStringList() << QString()
                                      << u"Please select a configuration mode !"_s;
    QTest::newRow("no identity method") << u"Hardware"_s << QString() << all << u"X"_s
                                        << u"Please select an identity determination method !"_s;
    QTest::newRow("voltage and head type undefined")
        << u"Software"_s << u"Automatic"_s << without({u"Voltage5"_s, u"HeadST"_s}) << QString()
        << u"Logic voltage is not defined !"_s;
    QTest::newRow("head-up and width undefined")
        << u"Software"_s << u"Automatic"_s << without({u"HupNormal"_s, u"HW2N"_s}) << QString()
        << u"Head-up polarity is not defined !"_s;
    for (const auto &[option, text] : {std::pair{u"MechaStd"_s, u"Mechanism (Standard/TAV) is not defined !"_s},
                                       {u"Step1"_s, u"Motor steps is not defined !"_s},
                                       {u"StepperNormal"_s, u"Motor rotation is not defined !"_s},
                                       {u"HeadST"_s, u"Head type is not defined !"_s},
                                       {u"StrobeRohm"_s, u"Strobe polarity is not defined !"_s},
                                       {u"HW2N"_s, u"Head width is not defined !"_s}}) {
        QTest::newRow(qPrintable(option + u" undefined"_s))
            << u"Software"_s << u"User"_s << without({option}) << u"name"_s << text;
    }
    QTest::newRow("fields checked before the identity")
        << u"Software"_s << u"User"_s << without({u"StrobeRohm"_s}) << QString()
        << u"Strobe polarity is not defined !"_s;
    QTest::newRow("empty user identity") << u"Software"_s << u"User"_s << all << QString()
                                         << u"Please specify a mechanism identity !"_s;
    QTest::newRow("Hardware ignores the fields, not the identity")
        << u"Hardware"_s << u"User"_s << QStringList() << QString()
        << u"Please specify a mechanism identity !"_s;
}

void TestChipProgram::validation()
{
    QFETCH(QString, mode);
    QFETCH(QString, identity);
    QFETCH(QStringList, options);
    QFETCH(QString, name);
    QFETCH(QString, message);
    ChipRig &rig = *m_rig;
    EditorPanel &editor = rig.window().editor();
    editor.resetFields();
    editor.clearOptions();
    for (const char *modeOption : {"ConfRes", "ConfUser", "IdAuto", "IdUser"}) {
        auto *option = rig.get<QRadioButton>(modeOption);
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
    for (const QString &option : options)
        editor.selectOption(rig.get<QRadioButton>(option.toLatin1().constData()));
    if (!mode.isEmpty())
        rig.w().click(mode == u"Software"_s ? "ConfUser" : "ConfRes");
    if (!identity.isEmpty())
        rig.w().click(identity == u"User"_s ? "IdUser" : "IdAuto");
    rig.get<QLineEdit>("ConfigName")->setText(name);
    const QString status = rig.w().status();
    const QString chipIdentity = rig.get<QLabel>("Identity")->text();

    rig.prompter().expectMessage(message);
    rig.w().click("ConfigPrinter");
    QCOMPARE(m_chip->received().size(), m_before);
    QCOMPARE(rig.w().status(), status);
    QCOMPARE(rig.get<QLabel>("Identity")->text(), chipIdentity);
}

void TestChipProgram::polarityQuestion_data()
{
    QTest::addColumn<bool>("programAnyway");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestChipProgram::polarityQuestion()
{
    QFETCH(bool, programAnyway);
    ChipRig &rig = *m_rig;
    m_chip->access([](ChipEmulator &chip) { chip.setDetectedPolarity(1); });  // negative
    prepare(rig, u"1111110000100000"_s, true, false, QString());  // positive strobe
    const QByteArray settingsBefore = m_chip->settings();
    const QString identityBefore = rig.get<QLabel>("Identity")->text();

    bool busyAtQuestion = false;
    rig.prompter().onPrompt = [&](const ScriptedPrompter::Prompt &) {
        busyAtQuestion = !rig.get("ConfigPrinter")->isEnabled() && busyPointer();
    };
    rig.prompter().expectMessage(
        u"Hardware detected polarity doesn't match user choice !  Program anyway ?"_s,
        Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel,
        programAnyway ? Prompter::Answer::Ok : Prompter::Answer::Cancel);
    rig.w().click("ConfigPrinter");
    QVERIFY(busyAtQuestion);

    if (programAnyway) {
        QCOMPARE(bytesFrom(m_chip->received(), m_before),
                 ReadPolarity + writes({{6, 1}, {7, 252}, {8, 32}, {9, 0}}) + Reset + Identify);
        QCOMPARE(rig.w().status(), u"Status bar"_s);
        QCOMPARE(m_chip->setting(7), quint8(252));
    } else {
        QCOMPARE(bytesFrom(m_chip->received(), m_before), ReadPolarity);
        QCOMPARE(m_chip->settings(), settingsBefore);
        QCOMPARE(rig.w().status(), u"Programming cancelled !"_s);
        QCOMPARE(rig.get<QLabel>("Identity")->text(), identityBefore);
    }
    QCOMPARE(rig.window().focusWidget(), rig.get("ConfigPrinter"));
}

void TestChipProgram::wrongEcho()
{
    ChipRig &rig = *m_rig;
    ChipFaults faults;
    faults.wrongEcho.insert(7, 0x55);
    faults.noEcho = {8, 9};   // 8 is 32 (noticed), 9 is 0 (a missing 0 passes)
    m_chip->setFaults(faults);
    prepare(rig, u"1111110000100000"_s, true, false, QString());
    rig.prompter().expectMessage(ProgrammingError, Prompter::Icon::None);
    rig.prompter().expectMessage(ProgrammingError, Prompter::Icon::None);
    rig.w().click("ConfigPrinter");
    QCOMPARE(bytesFrom(m_chip->received(), m_before),
             ReadPolarity + writes({{6, 1}, {7, 252}, {8, 32}, {9, 0}}) + Reset + Identify);
}

void TestChipProgram::pulledCable()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(2, 115200);
    QVERIFY(rig.connect(2, u"115200"_s));
    prepare(rig, u"1111110000100000"_s, true, true, u"KT 610-ST"_s);
    const int before = chip.received().size();
    ChipFaults faults;
    faults.unplugAfterBytes = 3;  // the polarity request arrives, its answer doesn't
    chip.setFaults(faults);

    // One message per non-zero setting, the port's own message once, at the next phase.
    for (int i = 0; i < 3; ++i)
        rig.prompter().expectMessage(ProgrammingError, Prompter::Icon::None);
    rig.prompter().expectMessage(
        u"The serial port could not be used, so the chip could not answer:\n"
        "COM2 (%1): the device went away during the exchange\n\n"
        "Check the cable and the serial adapter, then run the chipset detection again."_s
            .arg(chip.devicePath()),
        Prompter::Icon::Critical);
    for (int i = 0; i < 9; ++i)   // "KT 610-ST"; its closing 0 reads as echoed
        rig.prompter().expectMessage(ProgrammingError, Prompter::Icon::None);
    rig.w().click("ConfigPrinter");

    QCOMPARE(bytesFrom(chip.received(), before), ReadPolarity);
    QCOMPARE(rig.get<QLabel>("Identity")->text(), QString());
    QVERIFY(rig.get("ConfigPrinter")->isEnabled());
    QCOMPARE(rig.window().focusWidget(), rig.get("ConfigPrinter"));
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(!rig.context().link().isOpen());
    QCOMPARE(rig.prompter().pending(), QString());
}

QTEST_MAIN(TestChipProgram)
#include "tst_chipprogram.moc"
