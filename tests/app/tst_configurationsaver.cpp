#include "testwindow.h"

#include "app/editorpanel.h"

#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString NotCreated = u"New configuration not created !"_s;
// Options giving "1111110000100000" (KT 610-ST).
const QStringList Kt610 = {u"Voltage5"_s, u"MechaStd"_s, u"Step1"_s, u"StepperInverted"_s,
                           u"HeadST"_s, u"StrobeRohm"_s, u"HW2N"_s, u"HupNormal"_s};

QList<Entry> threeEntries()
{
    return {{u"KT 610-ST"_s, u"1111110000100000"_s},
            {u"Own head 3in"_s, u"1100001101100000"_s},
            {u"TAV 7110"_s, u"1101100000100000"_s}};
}

void choose(TestWindow &t, const QStringList &options)
{
    for (const QString &option : options)
        t.click(option.toLatin1().constData());
}

QString overwriteQuestion(const QString &name)
{
    return u"Overwrite existing configuration <"_s + name + u"> ?"_s;
}

#define VERIFY_ALL_PROMPTED(t) QVERIFY2((t).prompter.pending().isEmpty(), qPrintable((t).prompter.pending()))

} // namespace

class tst_ConfigurationSaver : public QObject
{
    Q_OBJECT

private slots:
    void undefinedFieldsInOrder_data();
    void undefinedFieldsInOrder();
    void emptyName();
    void appendsAndSelects_data();
    void appendsAndSelects();
    void overwrite_data();
    void overwrite();
    void savesWhileTheNameIsLocked();
    void pnxWordIsSavedAsChipset();
};

void tst_ConfigurationSaver::undefinedFieldsInOrder_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing chosen") << QStringList{} << u"Voltage is not defined !"_s;
    QTest::newRow("all but voltage") << Kt610.mid(1) << u"Voltage is not defined !"_s;
    QTest::newRow("voltage only") << QStringList{u"Voltage3"_s}
                                  << u"Mechanism type is not defined !"_s;
    QTest::newRow("up to mechanism") << Kt610.mid(0, 2) << u"Steps per dotline is not defined !"_s;
    QTest::newRow("up to steps") << Kt610.mid(0, 3) << u"Stepper sense is not defined !"_s;
    QTest::newRow("head type and width missing")
        << QStringList{u"Voltage5"_s, u"MechaStd"_s, u"Step1"_s, u"StepperNormal"_s,
                       u"StrobeKyo"_s, u"HupInverted"_s}
        << u"Head type is not defined !"_s;
    QTest::newRow("head width missing")
        << QStringList{u"Voltage5"_s, u"MechaStd"_s, u"Step1"_s, u"StepperNormal"_s,
                       u"StrobeKyo"_s, u"HupInverted"_s, u"HeadLV"_s}
        << u"Head width is not defined !"_s;
    QTest::newRow("strobe missing") << Kt610.mid(0, 5) + QStringList{u"HW2N"_s, u"HupNormal"_s}
                                    << u"Strobe polarity is not defined !"_s;
    QTest::newRow("only head-up polarity missing") << Kt610.mid(0, 7)
                                                   << u"Head-up polarity is not defined !"_s;
}

void tst_ConfigurationSaver::undefinedFieldsInOrder()
{
    QFETCH(QStringList, chosen);
    QFETCH(QString, message);

    TestWindow t(goldenFile(u"three.cdb"_s));
    choose(t, chosen);
    t.get<QLineEdit>("ConfigName")->setText(u"A name longer than sixteen"_s);
    t.prompter.expectMessage(message);
    t.click("NewConfig");
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(t.status(), NotCreated);
    QCOMPARE(t.entries(), threeEntries());
    QVERIFY(t.saved());
    QCOMPARE(t.get<QLineEdit>("ConfigName")->text(), u"A name longer than sixteen"_s);
}

void tst_ConfigurationSaver::emptyName()
{
    TestWindow t(goldenFile(u"three.cdb"_s));
    choose(t, Kt610);
    const QString statusBefore = t.status();
    t.prompter.expectMessage(u"Please enter a configuration name !"_s);
    t.click("NewConfig");
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(t.status(), statusBefore);
    QCOMPARE(t.entries(), threeEntries());
    QVERIFY(t.saved());
}

void tst_ConfigurationSaver::appendsAndSelects_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("short name") << u"Own head 2in"_s << u"Own head 2in"_s;
    QTest::newRow("blanks are a name") << u"   "_s << u"   "_s;
    QTest::newRow("16 characters kept") << u"ABCDEFGHIJKLMNOP"_s << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("17 characters cut") << u"ABCDEFGHIJKLMNOPQ"_s << u"ABCDEFGHIJKLMNOP"_s;
    QTest::newRow("other letter case") << u"kt 610-st"_s << u"kt 610-st"_s;
    QTest::newRow("trailing blank") << u"TAV 7110 "_s << u"TAV 7110 "_s;
}

void tst_ConfigurationSaver::appendsAndSelects()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);

    TestWindow t(goldenFile(u"three.cdb"_s));
    choose(t, Kt610);
    t.get<QLineEdit>("ConfigName")->setText(typed);
    t.click("NewConfig");
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(t.get<QLineEdit>("ConfigName")->text(), stored);
    QCOMPARE(t.entries(), threeEntries() << Entry(stored, u"1111110000100000"_s));
    QCOMPARE(t.selectedRow(), 3);
    QCOMPARE(t.status(), u"Configuration selected : "_s + stored);
    QVERIFY(!t.saved());
}

void tst_ConfigurationSaver::overwrite_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirm");
    QTest::newRow("same name, OK") << u"Own head, 3 inch"_s << true;
    QTest::newRow("same name, Cancel") << u"Own head, 3 inch"_s << false;
    QTest::newRow("20 characters, first 16 equal") << u"Own head, 3 inch v2."_s << true;
}

void tst_ConfigurationSaver::overwrite()
{
    QFETCH(QString, typed);
    QFETCH(bool, confirm);

    QList<Entry> expected = threeEntries();
    expected[1].first = u"Own head, 3 inch"_s;  // 16 characters
    TestWindow t(cdbBytes(expected));
    // "1010000000000000": 3.3 V, Standard, 2 steps, normal, LV, positive, 1", normal.
    choose(t, {u"Voltage3"_s, u"MechaStd"_s, u"Steps2"_s, u"StepperNormal"_s, u"HeadLV"_s,
               u"StrobeRohm"_s, u"HW1"_s, u"HupNormal"_s});
    t.get<QLineEdit>("ConfigName")->setText(typed);
    t.prompter.expectMessage(overwriteQuestion(u"Own head, 3 inch"_s),
                             Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel,
                             confirm ? Prompter::Answer::Ok : Prompter::Answer::Cancel);
    t.click("NewConfig");
    VERIFY_ALL_PROMPTED(t);

    if (confirm)
        expected[1].second = u"1010000000000000"_s;
    QCOMPARE(t.entries(), expected);
    QCOMPARE(t.selectedRow(), 1);
    QCOMPARE(t.status(), u"Configuration selected : Own head, 3 inch"_s);
    QVERIFY(!t.saved());  // Cancel included

    // The same again asks again and stores the same word.
    if (confirm) {
        t.prompter.expectMessage(overwriteQuestion(u"Own head, 3 inch"_s),
                                 Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel,
                                 Prompter::Answer::Ok);
        t.click("NewConfig");
        VERIFY_ALL_PROMPTED(t);
        QCOMPARE(t.entries(), expected);
    }
}

void tst_ConfigurationSaver::savesWhileTheNameIsLocked()
{
    TestWindow t(goldenFile(u"three.cdb"_s));
    t.clickRow(2);
    t.click("DbbAnalyse");  // TAV 7110 into the editor
    t.click("IdAuto");
    QVERIFY(!t.get<QLineEdit>("ConfigName")->isEnabled());
    t.click("HW3");
    t.prompter.expectMessage(overwriteQuestion(u"TAV 7110"_s), Prompter::Icon::Exclamation,
                             Prompter::Buttons::OkCancel, Prompter::Answer::Ok);
    t.click("NewConfig");
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(t.entries().at(2), (Entry{u"TAV 7110"_s, u"1101100001100000"_s}));
}

void tst_ConfigurationSaver::pnxWordIsSavedAsChipset()
{
    TestWindow t(cdbBytes({{u"PNX head"_s, u"0110110000100000"_s}}));
    t.clickRow(0);
    t.click("DbbAnalyse");
    t.get<QLineEdit>("ConfigName")->setText(u"Chipset head"_s);
    t.click("NewConfig");
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(t.entries().at(1), (Entry{u"Chipset head"_s, u"1110110000100000"_s}));
}

QTEST_MAIN(tst_ConfigurationSaver)
#include "tst_configurationsaver.moc"
