#include "testwindow.h"

#include "app/editorpanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Field = qint16 EditorFields::*;

QStringList checkedOptions(const TestWindow &t)
{
    QStringList checked;
    for (QRadioButton *option : t.window().editor().editorOptions()) {
        if (option->isChecked())
            checked.append(option->objectName());
    }
    return checked;
}

bool allEditable(const TestWindow &t, bool enabled)
{
    for (QRadioButton *option : t.window().editor().editableOptions()) {
        if (option->isEnabled() != enabled)
            return false;
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Field)

class tst_EditorPanel : public QObject
{
    Q_OBJECT

private slots:
    void clickStoresItsCode_data();
    void clickStoresItsCode();
    void clickingTheSelectedOptionKeepsTheField();
    void modeRules_data();
    void modeRules();
    void hardwareKeepsTheSelectionsVisible();
    void decodeSelectsThroughTheHandlers_data();
    void decodeSelectsThroughTheHandlers();
    void decodeLeavesUnknownCodesAlone();
    void decodeWorksOnLockedOptions();
};

void tst_EditorPanel::clickStoresItsCode_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<Field>("field");
    QTest::addColumn<int>("code");
    const struct
    {
        const char *option;
        Field field;
        int code;
    } table[] = {
        {"Voltage5", &EditorFields::LogicVoltage, 1}, {"Voltage3", &EditorFields::LogicVoltage, 0},
        {"MechaStd", &EditorFields::Mechanism, 1}, {"MechaTAV", &EditorFields::Mechanism, 0},
        {"Step1", &EditorFields::MotorSteps, 1}, {"Steps2", &EditorFields::MotorSteps, 0},
        {"StepperNormal", &EditorFields::MotorRotation, 0},
        {"StepperInverted", &EditorFields::MotorRotation, 1},
        {"HupNormal", &EditorFields::HeadUpPolarity, 0},
        {"HupInverted", &EditorFields::HeadUpPolarity, 1},
        {"HW1", &EditorFields::HeadWidth, 0}, {"HW2N", &EditorFields::HeadWidth, 1},
        {"HW2W", &EditorFields::HeadWidth, 2}, {"HW3", &EditorFields::HeadWidth, 3},
        {"HW4", &EditorFields::HeadWidth, 4}, {"HeadST", &EditorFields::HeadType, 2},
        {"HeadHS", &EditorFields::HeadType, 1}, {"HeadLV", &EditorFields::HeadType, 0},
        {"StrobeRohm", &EditorFields::StrobePolarity, 0},
        {"StrobeKyo", &EditorFields::StrobePolarity, 1},
    };
    for (const auto &row : table)
        QTest::newRow(row.option) << QString::fromLatin1(row.option) << row.field << row.code;
}

void tst_EditorPanel::clickStoresItsCode()
{
    QFETCH(QString, option);
    QFETCH(Field, field);
    QFETCH(int, code);

    TestWindow t;
    const QString statusBefore = t.status();
    EditorFields expected;
    expected.*field = qint16(code);
    t.click(option.toLatin1().constData());

    QVERIFY(t.get<QRadioButton>(option.toLatin1().constData())->isChecked());
    // One code into one field, nothing else: not the list, the status bar or the flag.
    QCOMPARE(t.window().editor().fields(), expected);
    QCOMPARE(t.status(), statusBefore);
    QVERIFY(t.saved());
}

void tst_EditorPanel::clickingTheSelectedOptionKeepsTheField()
{
    TestWindow t;
    t.click("HW2W");
    t.click("HW2W");
    QCOMPARE(t.window().editor().fields().HeadWidth, qint16(2));
    t.click("HW4");
    QCOMPARE(t.window().editor().fields().HeadWidth, qint16(4));
    QCOMPARE(checkedOptions(t), QStringList{u"HW4"_s});
}

void tst_EditorPanel::modeRules_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("optionsEnabled");
    QTest::addColumn<bool>("nameEnabled");

    QTest::newRow("none selected") << QStringList{} << true << true;
    QTest::newRow("Software, User") << QStringList{u"ConfUser"_s, u"IdUser"_s} << true << true;
    QTest::newRow("Software, Automatic") << QStringList{u"ConfUser"_s, u"IdAuto"_s} << true << false;
    QTest::newRow("Hardware, User") << QStringList{u"ConfRes"_s, u"IdUser"_s} << false << true;
    QTest::newRow("Hardware, Automatic") << QStringList{u"ConfRes"_s, u"IdAuto"_s} << false << false;
    QTest::newRow("no mode, Automatic") << QStringList{u"IdAuto"_s} << true << false;
    QTest::newRow("no mode, User") << QStringList{u"IdUser"_s} << true << true;
    QTest::newRow("Hardware, no identity") << QStringList{u"ConfRes"_s} << false << true;
    QTest::newRow("Hardware then Software") << QStringList{u"ConfRes"_s, u"ConfUser"_s} << true
                                            << true;
    QTest::newRow("Automatic then User") << QStringList{u"IdAuto"_s, u"IdUser"_s} << true << true;
    QTest::newRow("Software, Automatic, Hardware")
        << QStringList{u"ConfUser"_s, u"IdAuto"_s, u"ConfRes"_s} << false << false;
}

void tst_EditorPanel::modeRules()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, optionsEnabled);
    QFETCH(bool, nameEnabled);

    TestWindow t;
    for (const QString &name : clicks)
        t.click(name.toLatin1().constData());

    QVERIFY(allEditable(t, optionsEnabled));
    QCOMPARE(t.get<QLineEdit>("ConfigName")->isEnabled(), nameEnabled);
    // Never touched by the rules.
    QVERIFY(!t.get<QRadioButton>("ModePNX")->isEnabled());
    QVERIFY(!t.get<QRadioButton>("ModeChipset")->isEnabled());
    QVERIFY(t.get<QPushButton>("NewConfig")->isEnabled());
    for (const char *frame : {"Frame1", "Frame7", "IdEditor", "Printermode"})
        QVERIFY(t.get<QWidget>(frame)->isEnabled());
    QCOMPARE(t.window().editor().fields(), EditorFields{});
}

void tst_EditorPanel::hardwareKeepsTheSelectionsVisible()
{
    TestWindow t;
    for (const char *name : {"Voltage3", "MechaTAV", "Steps2", "HW2N", "HeadHS"})
        t.click(name);
    const QStringList chosen = checkedOptions(t);
    const EditorFields fields = t.window().editor().fields();

    t.click("ConfRes");
    QVERIFY(allEditable(t, false));
    QCOMPARE(checkedOptions(t), chosen);
    t.click("HW4");  // greyed out: the mouse changes nothing
    QCOMPARE(checkedOptions(t), chosen);
    QCOMPARE(t.window().editor().fields(), fields);

    t.click("ConfUser");
    QVERIFY(allEditable(t, true));
    QCOMPARE(checkedOptions(t), chosen);
    QCOMPARE(t.window().editor().fields(), fields);
}

void tst_EditorPanel::decodeSelectsThroughTheHandlers_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QList<int>>("fields");  // the nine in word order

    QTest::newRow("KT 610-ST")
        << u"1111110000100000"_s
        << QStringList{u"ModeChipset"_s, u"Voltage5"_s, u"MechaStd"_s, u"Step1"_s,
                       u"StepperInverted"_s, u"HW2N"_s, u"HeadST"_s, u"StrobeRohm"_s,
                       u"HupNormal"_s}
        << QList<int>{1, 1, 1, 1, 1, 2, 0, 1, 0};
    QTest::newRow("largest codes, PNX")
        << u"0000110110010000"_s
        << QStringList{u"ModePNX"_s, u"Voltage3"_s, u"MechaTAV"_s, u"Steps2"_s,
                       u"StepperInverted"_s, u"HW4"_s, u"HeadST"_s, u"StrobeKyo"_s,
                       u"HupInverted"_s}
        << QList<int>{0, 0, 0, 0, 1, 2, 1, 4, 1};
    QTest::newRow("empty word")
        << QString()
        << QStringList{u"ModePNX"_s, u"Voltage3"_s, u"MechaTAV"_s, u"Steps2"_s,
                       u"StepperNormal"_s, u"HW1"_s, u"HeadLV"_s, u"StrobeRohm"_s, u"HupNormal"_s}
        << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0};
    // A non-zero digit selects the option, whose handler stores its own code.
    QTest::newRow("digit 2 as on")
        << u"1211110000100000"_s
        << QStringList{u"ModeChipset"_s, u"Voltage5"_s, u"MechaStd"_s, u"Step1"_s,
                       u"StepperInverted"_s, u"HW2N"_s, u"HeadST"_s, u"StrobeRohm"_s,
                       u"HupNormal"_s}
        << QList<int>{1, 1, 1, 1, 1, 2, 0, 1, 0};
}

void tst_EditorPanel::decodeSelectsThroughTheHandlers()
{
    QFETCH(QString, word);
    QFETCH(QStringList, checked);
    QFETCH(QList<int>, fields);

    TestWindow t;
    t.window().editor().DecodeConfig(word);

    QStringList expected = checked;
    QStringList actual = checkedOptions(t);
    expected.sort();
    actual.sort();
    QCOMPARE(actual, expected);
    const EditorFields &f = t.window().editor().fields();
    QCOMPARE((QList<int>{f.PrinterMode, f.LogicVoltage, f.Mechanism, f.MotorSteps,
                         f.MotorRotation, f.HeadType, f.StrobePolarity, f.HeadWidth,
                         f.HeadUpPolarity}),
             fields);
    // Decoding touches neither the modes nor the name nor the enabled states.
    for (const char *mode : {"ConfRes", "ConfUser", "IdAuto", "IdUser"})
        QVERIFY(!t.get<QRadioButton>(mode)->isChecked());
    QVERIFY(allEditable(t, true));
    QVERIFY(t.get<QLineEdit>("ConfigName")->text().isEmpty());
}

void tst_EditorPanel::decodeLeavesUnknownCodesAlone()
{
    TestWindow t;
    EditorPanel &editor = t.window().editor();
    editor.DecodeConfig(u"1111110000100000");
    // "11" as head type and "101" as head width show nothing: the frames keep ST and
    // 2" normal while the fields take the numbers read.
    editor.DecodeConfig(u"1100011110100000");
    QVERIFY(t.get<QRadioButton>("HeadST")->isChecked());
    QVERIFY(t.get<QRadioButton>("HW2N")->isChecked());
    QCOMPARE(editor.fields().HeadType, qint16(3));
    QCOMPARE(editor.fields().HeadWidth, qint16(5));
    QVERIFY(t.get<QRadioButton>("MechaTAV")->isChecked());
    QVERIFY(t.get<QRadioButton>("StrobeKyo")->isChecked());

    // Digit 2 as head-up polarity selects neither option and keeps its number.
    editor.DecodeConfig(u"1111110000120000");
    QVERIFY(t.get<QRadioButton>("HupNormal")->isChecked());
    QCOMPARE(editor.fields().HeadUpPolarity, qint16(2));
}

void tst_EditorPanel::decodeWorksOnLockedOptions()
{
    TestWindow t;
    t.click("ConfRes");
    t.window().editor().DecodeConfig(u"0110100001000000");
    QVERIFY(allEditable(t, false));
    QVERIFY(t.get<QRadioButton>("ModePNX")->isChecked());
    QVERIFY(t.get<QRadioButton>("Voltage5")->isChecked());
    QVERIFY(t.get<QRadioButton>("HW2W")->isChecked());
    QCOMPARE(t.window().editor().fields().HeadWidth, qint16(2));
    QCOMPARE(t.window().editor().fields().PrinterMode, qint16(0));
}

QTEST_MAIN(tst_EditorPanel)
#include "tst_editorpanel.moc"
