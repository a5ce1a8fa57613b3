#include "testwindow.h"

#include "app/databasecommands.h"
#include "app/mechanismlistpanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

using namespace Qt::StringLiterals;

QByteArray cdbBytes(const QList<Entry> &entries)
{
    QByteArray bytes("KLVPRINTERSCDB0");
    bytes.append(char(entries.size()));
    bytes.append("\r\n");
    for (const Entry &entry : entries) {
        bytes.append(entry.first.toLatin1().leftJustified(16, ' ', true));
        bytes.append(entry.second.toLatin1());
        bytes.append("\r\n");
    }
    return bytes;
}

QByteArray goldenFile(const QString &name)
{
    QFile file(QStringLiteral(QV12_TEST_DATA) + u"/app/"_s + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Golden file %s is missing", qPrintable(name));
    return file.readAll();
}

QList<Entry> builtInEntries()
{
    const char *table[][2] = {
        {"KT 610-ST", "1111110000100000"}, {"KT 620-ST", "1111010001100000"},
        {"KT 630-LV", "1111000010000000"}, {"KT 630-HS", "1111001010000000"},
        {"RV 640-ST", "1110110000000000"}, {"RV 650-ST", "1110010000100000"},
        {"RV 650-LV", "1110000000100000"}, {"RV 650-HS", "1110001000100000"},
        {"TAV 650-ST", "1100010000100000"}, {"TAV 650-LV", "1100000000100000"},
        {"TAV 650-HS", "1100001000100000"}, {"TAV 7110", "1101100000100000"},
        {"TAV 7120", "1100100000100000"}, {"TAV 7130", "1101110000100000"},
        {"TAV 7140", "1100110000100000"}, {"TAV 7150", "1101110001000000"},
        {"TAV 7160", "1100110001000000"}, {"TAV 7170", "1101101000100000"},
        {"TAV 7180", "1100101000100000"}, {"TAV 7210", "1101100001100000"},
        {"TAV 7220", "1100100001100000"}, {"TAV 7230", "1101101001100000"},
        {"TAV 7240", "1100101001100000"}, {"TAV 7310", "1101100010000000"},
        {"TAV 7320", "1100100010000000"}, {"TAV 7330", "1101101010000000"},
        {"TAV 7340", "1100101010000000"}, {"DW 650-LV", "1100000100100000"},
        {"DW 650-HS", "1100001100100000"}, {"KT 660-ST", "1111110001000000"},
        {"RV 670-LV", "1110000000100000"}, {"RV 670-HS", "1110001000100000"},
        {"RV 680-LV", "1110000000100000"}, {"RV 680-HS", "1110001000100000"},
        {"RV 690-LV", "1110000100100000"}, {"RV 690-HS", "1110001100100000"},
        {"TAV 680-LV", "1100000000100000"}, {"TAV 680-HS", "1100001000100000"},
        {"TAV 690-LV", "1100000100100000"}, {"TAV 690-HS", "1100001100100000"},
        {"DW 640-HS", "1100001100000000"},
    };
    QList<Entry> entries;
    for (const auto &row : table)
        entries.append({QLatin1String(row[0]), QLatin1String(row[1])});
    return entries;
}

TestWindow::TestWindow(std::optional<QByteArray> defaultCdb, DefaultFile special)
    : m_previousDirectory(QDir::currentPath())
{
    if (!m_dir.isValid())
        qFatal("No temporary directory");
    QDir::setCurrent(m_dir.path());
    if (defaultCdb) {
        QFile file(m_dir.filePath(u"default.cdb"_s));
        if (!file.open(QIODevice::WriteOnly) || file.write(*defaultCdb) != defaultCdb->size())
            qFatal("Cannot write default.cdb");
    }
    if (special == DefaultFile::Directory)
        QDir(m_dir.path()).mkdir(u"default.cdb"_s);

    m_window = std::make_unique<MainWindow>(context);
    m_window->Form_Load();
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qFatal("The main window did not appear");
}

TestWindow::~TestWindow()
{
    // A prompt announced but never shown is a failure too, in every test.
    if (!prompter.pending().isEmpty())
        QTest::qFail(qPrintable(u"Prompts not shown: "_s + prompter.pending()), __FILE__, __LINE__);
    m_window.reset();
    QDir::setCurrent(m_previousDirectory);
}

QString TestWindow::status() const
{
    return m_window->statusText().text();
}

QStringList TestWindow::names() const
{
    const auto *view = get<QListView>("List1");
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        names.append(view->model()->index(row, view->modelColumn()).data().toString());
    return names;
}

QStringList TestWindow::words() const
{
    const auto *view = get<QListView>("List2");
    QStringList words;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        words.append(view->model()->index(row, view->modelColumn()).data().toString());
    return words;
}

QList<Entry> TestWindow::entries() const
{
    const QStringList n = names();
    const QStringList w = words();
    QList<Entry> entries;
    for (int row = 0; row < qMax(n.size(), w.size()); ++row)
        entries.append({n.value(row, u"<no name>"_s), w.value(row, u"<no word>"_s)});
    return entries;
}

int TestWindow::selectedRow() const
{
    const QModelIndexList selected = get<QListView>("List1")->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

bool TestWindow::saved() const
{
    return m_window->database().DatabaseSaved();
}

QString TestWindow::fileName() const
{
    return m_window->database().DatabaseFileName();
}

void TestWindow::click(const char *name)
{
    auto *button = get<QAbstractButton>(name);
    QPoint point = button->rect().center();
    // An option answers only on its circle and caption, which may be narrower than the
    // widget that the layout stretched.
    if (auto *option = qobject_cast<QRadioButton *>(button)) {
        QStyleOptionButton style;
        style.initFrom(option);
        point = option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &style, option)
                    .center();
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, point);
}

void TestWindow::trigger(const char *actionName)
{
    get<QAction>(actionName)->trigger();
}

void TestWindow::clickRow(int row)
{
    auto *view = get<QListView>("List1");
    const QModelIndex index = view->model()->index(row, view->modelColumn());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void TestWindow::rightClickRow(int row)
{
    auto *view = get<QListView>("List1");
    const QModelIndex index = view->model()->index(row, view->modelColumn());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, view->visualRect(index).center());
}
