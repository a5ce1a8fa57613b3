// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiprig.h"

#include "app/editorpanel.h"
#include "app/portselectiondialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPort>
#include <QTest>

using namespace Qt::StringLiterals;

// Each case names only the faults it switches on.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// Settings 6 and 9, the configuration, the identity.
const QByteArray WholeRead = bytes({29, 83, 102, 6, 29, 83, 102, 9, 29, 83, 67, 27, 73});
const QString ProgrammingError = u"Programming error ! Please check cables and power."_s;
const QString Unplugged = u"The serial port could not be used, so the chip could not answer:\n"
                          "COM1 (%1): the device went away during the exchange\n\n"
                          "Check the cable and the serial adapter, then run the chipset detection again."_s;
const QString Previous = u"1100001101100000"_s;  // the editor's word before a check, kept when the answer is refused
// The options of the word 1111110000100000, which programming writes as 252 and 32.
const QStringList Fields{u"voltage5Option"_s, u"standardMechanismOption"_s, u"oneStepOption"_s, u"invertedRotationOption"_s,
                         u"normalHeadUpOption"_s, u"width2InchNormalOption"_s, u"standardHeadOption"_s, u"positiveStrobeOption"_s};

// writeSetting of each setting with its value, then of the identity's bytes from setting 9 on.
QByteArray writes(std::initializer_list<std::pair<int, int>> settings, const QByteArray &identity = {})
{
    QByteArray out;
    for (const auto &[setting, value] : settings)
        out += bytes({29, 83, 70, setting, value});
    for (int i = 0; i < identity.size(); ++i)
        out += bytes({29, 83, 70, 9 + i, quint8(identity[i])});
    return out;
}

// "Check configuration": the chip's settings 6 (and 9), 7 and 8 and its faults, then the
// mode options, the editor's configuration word and the mechanism identity shown.
struct Check
{
    int setting6, first, second;
    ChipFaults faults;
    QString modes, word, name;
};

// What is wrong on the way to the chip while it is programmed.
enum class Line {
    Sound,
    WrongEchoes,  // setting 7 echoed wrongly, 10 and 11 not at all
    Held,         // another program holds the port
    Pulled,       // the cable pulled once the polarity request is in
};

// "Configure chipset": the options selected, the identity, the answer to the polarity
// question (0: none asked, 1: OK, 2: Cancel), the message refusing it, the settings
// written, and the line.
struct Program
{
    QStringList options;
    QString name;
    int question;
    QString message;
    QByteArray writes;
    Line line = Line::Sound;
};

} // namespace

Q_DECLARE_METATYPE(Check)
Q_DECLARE_METATYPE(Program)

// Reading and programming the configuration, against one chip found once for all cases.
class TestChipConfiguration final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void check_data();
    void check();
    void inputsTakenAtPress();
    void program_data();
    void program();  // last: its last case leaves the cable pulled

private:
    std::unique_ptr<ChipRig> m_rig;
    SimulatedChip *m_chip = nullptr;
    QByteArray m_settings;
    int m_before = 0;
    qsizetype m_sentBefore = 0;
};

void TestChipConfiguration::init()
{
    if (!m_rig) {
        m_rig = std::make_unique<ChipRig>();
        m_chip = &m_rig->addChip(1, 115200);
        m_settings = m_chip->settings();
        QVERIFY(m_rig->connect(1, u"115200"_s));
    }
    m_chip->setFaults(ChipFaults{});
    m_chip->setSettings(m_settings);
    m_chip->access([](ChipEmulator &chip) { chip.setDetectedPolarity(0); });
    m_chip->restart();
    m_before = m_chip->received().size();
    m_sentBefore = m_rig->sent().size();
    m_rig->window().statusText().setText(u"Status bar"_s);
}

void TestChipConfiguration::cleanup()
{
    QTRY_COMPARE(m_chip->findChildren<QObject *>().size(), 0);  // every action waiting for bytes has run
    QCOMPARE(m_rig->prompter.pending(), QString());
}

void TestChipConfiguration::check_data()
{
    QTest::addColumn<Check>("check");
    const QString user = u"softwareModeOption userIdentityOption"_s, word = u"1111110000100000"_s;
    QTest::newRow("2 bytes; PNX suffix after the cut to 16")
        << Check{1, 252, 32, {.identityReply = "  KT 610-ST PNX QV12 FW"}, user, word, u"KT 610-ST"_s};
    QTest::newRow("4 bytes; lower-case pnx")
        << Check{1, 252, 32, {.configReplyLength = 4, .identityReply = "  KT 610-ST pnx Q"}, user, word, u"KT 610-ST pnx"_s};
    QTest::newRow("PNX mode in two bursts 200 ms apart; PNX alone")
        << Check{1, 0x52, 0x60, {.identityReply = "PNX", .burstSize = 1, .burstGapMs = 200}, user, u"0101001001100000"_s};
    QTest::newRow("3 bytes; markup and Latin-1")
        << Check{1, 252, 32, {.configReplyLength = 3, .identityReply = "<b>T\xeate</b>"}, user, Previous, u"<b>Tête</b>"_s};
    QTest::newRow("Hardware, Automatic, locked")
        << Check{0, 252, 32, {}, u"hardwareModeOption automaticIdentityOption locked"_s, u"1110010001000000"_s, u"AUTO ST 2INW 5V"_s};
    QTest::newRow("silent chip") << Check{1, 252, 32, {.silent = true}, u"hardwareModeOption automaticIdentityOption locked"_s, Previous};
}

void TestChipConfiguration::check()
{
    QFETCH(Check, check);
    ChipRig &rig = *m_rig;
    for (const auto &[setting, value] : {std::pair{6, check.setting6}, {9, check.setting6 * 'K'}, {7, check.first},
                                         {8, check.second}})
        m_chip->setSetting(setting, quint8(value));
    m_chip->restart();
    m_chip->setFaults(check.faults);
    rig.window().editor().showWord(*ConfigWord::fromText(Previous));
    rig.get<QLineEdit>("identityEdit")->setText(u"previous"_s);
    auto modes = [&] {  // "locked": none of the editor's options nor the identity box enabled
        const auto options = rig.window().editor().editableOptions();
        const bool locked = std::none_of(options.begin(), options.end(), [](auto *o) { return o->isEnabled(); });
        return u"%1 %2%3"_s.arg(rig.get<QRadioButton>("softwareModeOption")->isChecked() ? u"softwareModeOption"_s : u"hardwareModeOption"_s,
                                rig.get<QRadioButton>("userIdentityOption")->isChecked() ? u"userIdentityOption"_s : u"automaticIdentityOption"_s,
                                locked && !rig.get("identityEdit")->isEnabled() ? u" locked"_s : QString());
    };
    // While the chip is asked, every other chip action is refused with a beep and changes
    // no button; the modes (and the lock) apply before the configuration is asked for.
    QString during;
    rig.whenReceived(*m_chip, m_before + 9, [&] {
        for (int i = 0; i < 5; ++i)
            rig.prompter.expectBeep();
        for (const char *name : {"sleepButton", "resetButton", "wakeUpButton", "configureChipsetButton", "detectButton"})
            rig.click(name);
        during = rig.state() + u"; "_s + modes();
        if (check.word == Previous)
            rig.prompter.expectMessage(u"Error while reading printer parameters !"_s, Prompter::Icon::Critical);
    });
    rig.click("checkConfigurationButton");
    QCOMPARE(during, u"detectButton configureChipsetButton sleepButton wakeUpButton resetButton, busy, port open; "_s + check.modes);
    QTRY_COMPARE(m_chip->received().bytes().mid(m_before), WholeRead);
    const QList<TrafficEvent> sent = rig.sent().mid(m_sentBefore);
    QCOMPARE(gapError(sent[2], sent[3], 500, 1400), QString());  // a reply ends after 500 ms of silence
    QCOMPARE(modes(), check.modes);
    QCOMPARE(rig.window().editor().fields(), ConfigWord::fromText(check.word)->decoded().values);
    QCOMPARE(rig.get<QLineEdit>("identityEdit")->text(), check.name);
    QCOMPARE(rig.state(true), AllChipButtons + u", focus checkConfigurationButton"_s);
}

void TestChipConfiguration::program_data()
{
    QTest::addColumn<Program>("program");
    const auto software = {std::pair{6, 1}, {7, 252}, {8, 32}};
    const QStringList user = Fields + QStringList{u"softwareModeOption"_s, u"userIdentityOption"_s};
    const QStringList automatic = Fields + QStringList{u"softwareModeOption"_s, u"automaticIdentityOption"_s};  // strobe positive, the chip's negative
    QTest::newRow("Hardware, Automatic") << Program{{u"hardwareModeOption"_s, u"automaticIdentityOption"_s}, {}, 0, {}, writes({{6, 0}, {9, 0}})};
    QTest::newRow("Software, User of 5 characters") << Program{user, u"AB CD"_s, 0, {}, writes(software, "AB CD\0"_ba)};
    QTest::newRow("20 characters, cut to 16 without a closing 0") << Program{user, u"0123456789ABCDEF!!!!"_s, 0, {}, writes(software, "0123456789ABCDEF")};
    QTest::newRow("polarity question, OK") << Program{automatic, {}, 1, {}, writes({{6, 1}, {7, 252}, {8, 32}, {9, 0}})};
    QTest::newRow("polarity question, Cancel") << Program{automatic, {}, 2, {}, {}};
    // Refused, with nothing sent, by the first check that fails: the options of the word
    // but those missing, then the modes.
    auto refused = [](const QString &options, const char *name, const char *message) {
        QStringList selected = Fields;
        for (const QString &option : options.split(u' ', Qt::SkipEmptyParts))
            option.startsWith(u'-') ? void(selected.removeAll(option.mid(1))) : selected.append(option);
        return Program{selected, QLatin1String(name), 0, QLatin1String(message), {}};
    };
    QTest::newRow("nothing selected") << refused(u"-voltage5Option"_s, "", "Please select a configuration mode !");
    QTest::newRow("no identity method") << refused(u"hardwareModeOption"_s, "X", "Please select an identity determination method !");
    QTest::newRow("voltage and head type") << refused(u"-voltage5Option -standardHeadOption softwareModeOption automaticIdentityOption"_s, "", "Logic voltage is not defined !");
    QTest::newRow("head-up and width") << refused(u"-normalHeadUpOption -width2InchNormalOption softwareModeOption automaticIdentityOption"_s, "", "Head-up polarity is not defined !");
    QTest::newRow("width and head type") << refused(u"-width2InchNormalOption -standardHeadOption softwareModeOption automaticIdentityOption"_s, "", "Head width is not defined !");
    QTest::newRow("head type") << refused(u"-standardHeadOption softwareModeOption automaticIdentityOption"_s, "", "Head type is not defined !");
    QTest::newRow("fields before the identity") << refused(u"-positiveStrobeOption softwareModeOption userIdentityOption"_s, "", "Strobe polarity is not defined !");
    QTest::newRow("empty user identity") << refused(u"softwareModeOption userIdentityOption"_s, "", "Please specify a mechanism identity !");
    // An identity is printable text: a control character would reach the chip raw.
    QTest::newRow("identity with a line break")
        << refused(u"softwareModeOption userIdentityOption"_s, "KT\n620", "The mechanism identity may hold printable characters only !");
    QTest::newRow("identity that clears a screen")
        << refused(u"softwareModeOption userIdentityOption"_s, "KT\x1b[2J", "The mechanism identity may hold printable characters only !");
    QTest::newRow("Hardware ignores the fields, not the identity")
        << Program{{u"hardwareModeOption"_s, u"userIdentityOption"_s}, {}, 0, u"Please specify a mechanism identity !"_s, {}};
    // A chip that echoes wrongly gets one message per setting, and the run goes on; a
    // port that can't be used ends it with its one message, nothing more sent.
    QTest::newRow("wrong and missing echoes")
        << Program{user, u"KT"_s, 0, {}, writes(software, "KT\0"_ba), Line::WrongEchoes};
    QTest::newRow("a port another program holds") << Program{user, u"KT 610-ST"_s, 0, {}, {}, Line::Held};
    QTest::newRow("pulled cable (last: it stays pulled)") << Program{user, u"KT 610-ST"_s, 1, {}, {}, Line::Pulled};
}

void TestChipConfiguration::program()
{
    QFETCH(Program, program);
    ChipRig &rig = *m_rig;
    EditorPanel &editor = rig.window().editor();
    editor.resetFields();
    editor.clearOptions();
    for (const char *mode : {"hardwareModeOption", "softwareModeOption", "automaticIdentityOption", "userIdentityOption"}) {  // none selected
        rig.get<QRadioButton>(mode)->setAutoExclusive(false);
        rig.get<QRadioButton>(mode)->setChecked(false);
        rig.get<QRadioButton>(mode)->setAutoExclusive(true);
    }
    for (const QString &option : program.options)
        editor.selectOption(rig.get<QRadioButton>(option.toLatin1().constData()));
    rig.get<QLineEdit>("identityEdit")->setText(program.name);
    m_chip->access([&](ChipEmulator &chip) { chip.setDetectedPolarity(program.question ? 1 : 0); });
    const QString identity = rig.get<QLabel>("firmwareIdentityLabel")->text();
    if (!program.message.isEmpty())
        rig.prompter.expectMessage(program.message);
    if (program.question && program.line != Line::Pulled)
        rig.prompter.expectMessage(u"Hardware detected polarity doesn't match user choice !  Program anyway ?"_s,
                                   Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel,
                                   program.question == 1 ? Prompter::Answer::Ok : Prompter::Answer::Cancel);
    QSerialPort holder(m_chip->devicePath());
    switch (program.line) {
    case Line::Sound:
        break;
    case Line::WrongEchoes:  // 'T' unechoed reads as a wrong 0; the closing 0 passes
        m_chip->setFaults({.noEcho = {10, 11}, .wrongEcho = {{7, 0x55}}});
        for (int i = 0; i < 2; ++i)
            rig.prompter.expectMessage(ProgrammingError, Prompter::Icon::None);
        break;
    case Line::Held:
        QVERIFY(holder.open(QIODevice::ReadWrite));
        rig.prompter.expectMessage(u"The serial port could not be used, so the chip could not answer:\n"
                                   "COM1 (%1): held by another program\n\nClose the program that holds the port "
                                   "(a terminal program, or ModemManager, which probes new serial devices) and try again."_s
                                       .arg(m_chip->devicePath()),
                                   Prompter::Icon::Critical);
        break;
    case Line::Pulled: {
        // The device goes with the cable: the program must not find another one under
        // its name. The port's one message, naming the port, its device and the fix.
        const QString device = rig.path(u"qv12-com1"_s);
        QVERIFY(m_chip->createLink(device));
        rig.context.ports().assign(1, device);
        rig.whenReceived(*m_chip, m_before + 3, [&] { m_chip->removeLink(); });
        m_chip->setFaults({.unplugAfterBytes = 3});
        rig.prompter.expectMessage(Unplugged.arg(device), Prompter::Icon::Critical);
        break;
    }
    }
    rig.click("configureChipsetButton");
    holder.close();

    // Each write waits for its echo and 100 ms; the reset comes a second before the
    // identity request, whose answer is the visible result.
    const bool reached = program.message.isEmpty() && program.line != Line::Held;
    const bool done = reached && program.question < 2 && program.line != Line::Pulled;
    const bool software = reached && program.options.contains(u"softwareModeOption"_s);
    const QByteArray sent = (software ? bytes({29, 83, 104}) : QByteArray()) + program.writes;
    QTRY_COMPARE(m_chip->received().bytes().mid(m_before), sent + (done ? bytes({27, 64, 27, 73}) : QByteArray()));
    const QList<TrafficEvent> events = rig.sent().mid(m_sentBefore + (software ? 1 : 0));
    const qsizetype writes = program.writes.size() / 5;
    for (qsizetype i = 1; i < writes; ++i)
        QCOMPARE(gapError(events[i - 1], events[i], 100, 1200), QString());
    if (done) {
        QCOMPARE(gapError(events[writes], events[writes + 1], 1000, 1600), QString());
        QCOMPARE(replyWaitError(rig.context.traffic(), bytes({27, 73}), 100), QString());
    }
    const QString shown = done ? QString::fromLatin1(m_chip->identity()) : identity;
    QCOMPARE(rig.get<QLabel>("firmwareIdentityLabel")->text(), shown);
    QCOMPARE(rig.status(), program.question == 2 ? u"Programming cancelled !"_s : u"Status bar"_s);
    QCOMPARE(rig.state(true), AllChipButtons + u", focus configureChipsetButton"_s);
}

// What "Configure chipset" writes is what was checked when it was pressed: options
// clicked, an identity typed and an entry analysed during its waits don't reach the chip.
void TestChipConfiguration::inputsTakenAtPress()
{
    ChipRig &rig = *m_rig;
    EditorPanel &editor = rig.window().editor();
    editor.resetFields();  // nothing defined: Hardware mode doesn't need the fields
    editor.clearOptions();
    rig.click("hardwareModeOption");
    rig.click("userIdentityOption");
    rig.get<QLineEdit>("identityEdit")->setText(u"AB"_s);
    rig.whenReceived(*m_chip, m_before + 5, [&] {  // setting 6 written, in its 100 ms
        rig.click("softwareModeOption");
        rig.click("automaticIdentityOption");
        rig.get<QLineEdit>("identityEdit")->setText(u"XYZ"_s);
        rig.clickRow(40);
        rig.click("analyseEntryButton");
    });
    rig.click("configureChipsetButton");
    QTRY_COMPARE(m_chip->received().bytes().mid(m_before), writes({{6, 0}}, "AB\0"_ba) + bytes({27, 64, 27, 73}));
    QCOMPARE(rig.get<QLineEdit>("identityEdit")->text(), u"DW 640-HS"_s);  // the analysis itself did happen
}

QTEST_MAIN(TestChipConfiguration)
#include "tst_chipconfiguration.moc"
