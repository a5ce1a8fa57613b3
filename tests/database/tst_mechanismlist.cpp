#include "database/mechanismlist.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

MechanismEntry entry(const QString &name, const QString &word)
{
    return {name, word};
}

const MechanismEntry A = entry(u"KT 610-ST"_s, u"1111110000100000"_s);
const MechanismEntry B = entry(u"KT 620-ST"_s, u"1111010001100000"_s);
const MechanismEntry C = entry(u"KT 630-LV"_s, u"1111000010000000"_s);
const MechanismEntry D = entry(u"KT 630-HS"_s, u"1111001010000000"_s);

// The two columns as the two list boxes show them.
QStringList column(const MechanismList &list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.rowCount(); ++row)
        texts << list.index(row, column).data().toString();
    return texts;
}

// First and last row of the one range a row signal carried.
QPair<int, int> range(const QSignalSpy &spy)
{
    const QList<QVariant> args = spy.first();
    return {args.at(1).toInt(), args.at(2).toInt()};
}

} // namespace

class TestMechanismList final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void columnsShowNamesAndWordsInStep();
    void appendInsertsAtTheEnd();
    void replaceChangesOneRow();
    void removeAtClosesTheGap();
    void removeAllEmptiesTheList();
    void exchangeMovesNameAndWordTogether();
    void exchangeKeepsTheSelectionOnTheRowNumber();
    void assignResetsToExactlyTheEntries();
    void rowsOutOfRangeChangeNothing_data();
    void rowsOutOfRangeChangeNothing();
    void indexOfNameIsExact_data();
    void indexOfNameIsExact();

private:
    MechanismList *m_list = nullptr;
    QAbstractItemModelTester *m_tester = nullptr;
};

void TestMechanismList::init()
{
    m_list = new MechanismList;
    m_list->append({A, B, C});
    // Checks every signal the model emits against its contents from here on.
    m_tester = new QAbstractItemModelTester(
        m_list, QAbstractItemModelTester::FailureReportingMode::QtTest, m_list);
}

void TestMechanismList::cleanup()
{
    delete m_list;
    m_list = nullptr;
    m_tester = nullptr;
}

void TestMechanismList::columnsShowNamesAndWordsInStep()
{
    QCOMPARE(m_list->columnCount(), 2);
    QCOMPARE(column(*m_list, MechanismList::NameColumn),
             QStringList({A.name, B.name, C.name}));
    QCOMPARE(column(*m_list, MechanismList::WordColumn),
             QStringList({A.word, B.word, C.word}));
    QCOMPARE(m_list->at(1), B);
    QCOMPARE(m_list->count(), 3);
}

void TestMechanismList::appendInsertsAtTheEnd()
{
    QSignalSpy inserted(m_list, &QAbstractItemModel::rowsInserted);
    m_list->append(D);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(range(inserted), qMakePair(3, 3));
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({A, B, C, D}));

    inserted.clear();
    m_list->append(QList<MechanismEntry>{A, B});
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(range(inserted), qMakePair(4, 5));
    QCOMPARE(m_list->count(), 6);

    inserted.clear();
    m_list->append(QList<MechanismEntry>{});
    QCOMPARE(inserted.size(), 0);
}

void TestMechanismList::replaceChangesOneRow()
{
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    m_list->replaceAt(1, entry(B.name, D.word));
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({A, entry(B.name, D.word), C}));
    QCOMPARE(changed.size(), 1);
    const auto topLeft = changed.first().at(0).value<QModelIndex>();
    const auto bottomRight = changed.first().at(1).value<QModelIndex>();
    QCOMPARE(topLeft, m_list->index(1, MechanismList::NameColumn));
    QCOMPARE(bottomRight, m_list->index(1, MechanismList::WordColumn));
}

void TestMechanismList::removeAtClosesTheGap()
{
    QSignalSpy removed(m_list, &QAbstractItemModel::rowsRemoved);
    m_list->removeAt(1);
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({A, C}));
    QCOMPARE(range(removed), qMakePair(1, 1));

    m_list->removeAt(1);
    m_list->removeAt(0);
    QCOMPARE(m_list->count(), 0);
    QCOMPARE(column(*m_list, MechanismList::WordColumn), QStringList());
}

void TestMechanismList::removeAllEmptiesTheList()
{
    QSignalSpy removed(m_list, &QAbstractItemModel::rowsRemoved);
    m_list->removeAll();
    QCOMPARE(m_list->count(), 0);
    QCOMPARE(range(removed), qMakePair(0, 2));

    m_list->removeAll();
    QCOMPARE(removed.size(), 1);  // nothing left to remove: no signal
}

void TestMechanismList::exchangeMovesNameAndWordTogether()
{
    m_list->exchangeWithNext(0);
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({B, A, C}));
    m_list->exchangeWithNext(1);
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({B, C, A}));
    QCOMPARE(column(*m_list, MechanismList::NameColumn), QStringList({B.name, C.name, A.name}));
    QCOMPARE(column(*m_list, MechanismList::WordColumn), QStringList({B.word, C.word, A.word}));
}

void TestMechanismList::exchangeKeepsTheSelectionOnTheRowNumber()
{
    // The window moves an entry down by exchanging, then selecting the entry's new row;
    // that selection must be a change the view reports, so its click handler runs.
    QItemSelectionModel selection(m_list);
    selection.setCurrentIndex(m_list->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QSignalSpy currentChanged(&selection, &QItemSelectionModel::currentChanged);

    m_list->exchangeWithNext(0);
    QCOMPARE(selection.currentIndex().row(), 0);
    QCOMPARE(currentChanged.size(), 0);

    selection.setCurrentIndex(m_list->index(1, 0), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(currentChanged.size(), 1);
    QCOMPARE(selection.currentIndex().data().toString(), A.name);
}

void TestMechanismList::assignResetsToExactlyTheEntries()
{
    QSignalSpy reset(m_list, &QAbstractItemModel::modelReset);
    m_list->assign({D});
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({D}));
    m_list->assign({A, B, C, D, A});
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({A, B, C, D, A}));
    m_list->assign({});
    QCOMPARE(m_list->count(), 0);
    QCOMPARE(reset.size(), 3);
}

void TestMechanismList::rowsOutOfRangeChangeNothing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("row");
    for (int row : {-1, 3, 100}) {
        QTest::addRow("replace %d", row) << u"replace"_s << row;
        QTest::addRow("remove %d", row) << u"remove"_s << row;
    }
    // The last entry has no next one to exchange with.
    for (int row : {-1, 2, 3})
        QTest::addRow("exchange %d", row) << u"exchange"_s << row;
}

void TestMechanismList::rowsOutOfRangeChangeNothing()
{
    QFETCH(QString, operation);
    QFETCH(int, row);

    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    QSignalSpy removed(m_list, &QAbstractItemModel::rowsRemoved);
    if (operation == u"replace")
        m_list->replaceAt(row, D);
    else if (operation == u"remove")
        m_list->removeAt(row);
    else
        m_list->exchangeWithNext(row);
    QCOMPARE(m_list->entries(), QList<MechanismEntry>({A, B, C}));
    QCOMPARE(changed.size() + removed.size(), 0);
}

void TestMechanismList::indexOfNameIsExact_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::newRow("first") << u"KT 610-ST"_s << 0;
    QTest::newRow("second of two equal names") << u"KT 630-LV"_s << 2;
    QTest::newRow("other case") << u"kt 610-st"_s << -1;
    QTest::newRow("trailing blank") << u"KT 610-ST "_s << -1;
    QTest::newRow("leading blank") << u" KT 610-ST"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestMechanismList::indexOfNameIsExact()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    m_list->append(C);
    QCOMPARE(m_list->indexOfName(name), row);
}

QTEST_GUILESS_MAIN(TestMechanismList)
#include "tst_mechanismlist.moc"
