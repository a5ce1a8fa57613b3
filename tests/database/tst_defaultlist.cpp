#include "config/configword.h"
#include "database/defaultlist.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

// The built-in list is checked here by what its entries must have in common; its exact
// bytes are checked against a hand-written file in the database file test.
class TestDefaultList final : public QObject
{
    Q_OBJECT

private slots:
    void fillsTheFortyOneEntriesInOrder();
    void appendsWithoutEmptyingTheList();
    void namesAreUnique();
    void wordsAgreeWithTheirNames();
    void wordsSharedAsListed();
};

void TestDefaultList::fillsTheFortyOneEntriesInOrder()
{
    MechanismList list;
    FillDefaultList(list);
    QCOMPARE(list.count(), 41);
    QCOMPARE(list.at(0), (MechanismEntry{u"KT 610-ST"_s, u"1111110000100000"_s}));
    QCOMPARE(list.at(29), (MechanismEntry{u"KT 660-ST"_s, u"1111110001000000"_s}));
    QCOMPARE(list.at(40), (MechanismEntry{u"DW 640-HS"_s, u"1100001100000000"_s}));
    QCOMPARE(list.entries(), defaultMechanisms());
}

void TestDefaultList::appendsWithoutEmptyingTheList()
{
    MechanismList list;
    list.append({u"Mine"_s, u"1000000000000000"_s});
    FillDefaultList(list);
    QCOMPARE(list.count(), 42);
    QCOMPARE(list.at(0).name, u"Mine");
    QCOMPARE(list.at(1).name, u"KT 610-ST");
}

void TestDefaultList::namesAreUnique()
{
    QSet<QString> names;
    for (const MechanismEntry &e : defaultMechanisms())
        names.insert(e.name);
    QCOMPARE(names.size(), 41);
}

void TestDefaultList::wordsAgreeWithTheirNames()
{
    static const QRegularExpression binaryWord(u"^[01]{16}$"_s);
    for (const MechanismEntry &e : defaultMechanisms()) {
        QVERIFY2(binaryWord.match(e.word).hasMatch(), qPrintable(e.name));
        const DecodedConfig d = DecodeConfig(e.word);
        QCOMPARE(d.values.PrinterMode, 1);
        QCOMPARE(d.values.LogicVoltage, 1);
        QCOMPARE(d.values.HeadUpPolarity, 0);
        QCOMPARE(e.word.last(4), u"0000");
        QVERIFY2(d.selected.HeadWidth != EditorFields::Undefined, qPrintable(e.name));
        QVERIFY2(d.selected.HeadType != EditorFields::Undefined, qPrintable(e.name));

        if (e.name.endsWith(u"-ST"))
            QCOMPARE(d.values.HeadType, 2);
        else if (e.name.endsWith(u"-HS"))
            QCOMPARE(d.values.HeadType, 1);
        else if (e.name.endsWith(u"-LV"))
            QCOMPARE(d.values.HeadType, 0);

        if (e.name.startsWith(u"KT") || e.name.startsWith(u"RV"))
            QVERIFY2(d.values.Mechanism == 1, qPrintable(e.name));
        else
            QVERIFY2(d.values.Mechanism == 0, qPrintable(e.name));
    }
}

void TestDefaultList::wordsSharedAsListed()
{
    // Numbers (from 1) of the entries that share a word; every other word is unique.
    const QList<QList<int>> shared = {{7, 31, 33}, {8, 32, 34}, {10, 37},
                                      {11, 38}, {28, 39}, {29, 40}};
    const QList<MechanismEntry> &list = defaultMechanisms();
    QHash<QString, QList<int>> byWord;
    for (int i = 0; i < list.size(); ++i)
        byWord[list.at(i).word].append(i + 1);
    QList<QList<int>> found;
    for (const QList<int> &numbers : std::as_const(byWord)) {
        if (numbers.size() > 1)
            found.append(numbers);
    }
    std::sort(found.begin(), found.end());
    QCOMPARE(found, shared);
}

QTEST_GUILESS_MAIN(TestDefaultList)
#include "tst_defaultlist.moc"
