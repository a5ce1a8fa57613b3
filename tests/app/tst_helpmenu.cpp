#include "app/aboutwindow.h"
#include "app/databasecommands.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "tests/app/recordingurlopener.h"
#include "tests/app/testwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QWindow>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

void writePage(const QString &path, const QString &title)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(u"<html><head><title>%1</title></head><body><p><a href=\"other.html\">Other</a>"
               "</p></body></html>"_s.arg(title).toUtf8());
}

template<class T>
QList<T *> topLevel()
{
    QList<T *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<T *>(widget))
            found.append(window);
    }
    return found;
}

QString shownTitle(HelpWindow *help)
{
    return help->findChild<QTextBrowser *>(u"WebBrowser"_s)
        ->document()->metaInformation(QTextDocument::DocumentTitle);
}

} // namespace

// The main window's Help menu: "Contents" and "About", and what closing the main window
// and "Exit" do to the windows they open.
class TestHelpMenu final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuEntries();
    void contentsOpensManualOfStartDirectory();
    void contentsTwiceGivesOneWindowAtIndex();
    void contentsFallsBackToProgramsCopy();
    void aboutTwiceGivesOneWindow();
    void closingMainWindowClosesHelpOnly();
    void closeRefusedKeepsHelp();
    void exitClosesEverything();

private:
    std::unique_ptr<TestWindow> m_test;
    std::shared_ptr<RecordingUrlOpener> m_opener;
    QTemporaryDir m_program;  // stands in for the program's own directory
};

void TestHelpMenu::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(m_program.isValid());
}

void TestHelpMenu::init()
{
    m_test = std::make_unique<TestWindow>();
    m_opener = std::make_shared<RecordingUrlOpener>();
    m_test->window().helpMenuWindows().setUrlOpener(m_opener);
    m_test->window().helpMenuWindows().setExecutableDirectory(m_program.path());
    // The start directory's manual.
    writePage(m_test->path(u"Help/index.html"_s), u"Start index"_s);
    writePage(m_test->path(u"Help/other.html"_s), u"Start other"_s);
}

void TestHelpMenu::cleanup()
{
    QVERIFY2(m_test->prompter.pending().isEmpty(), qPrintable(m_test->prompter.pending()));
    for (AboutWindow *about : topLevel<AboutWindow>())
        delete about;
    m_test.reset();
    QVERIFY(topLevel<HelpWindow>().isEmpty());
    // Nothing in these tests opens a link.
    QVERIFY(m_opener->opened.isEmpty());
}

void TestHelpMenu::menuEntries()
{
    auto *help = m_test->get<QMenu>("Help");
    QCOMPARE(help->title(), u"Help"_s);
    const QList<QAction *> actions = help->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->objectName(), u"Helphelp"_s);
    QCOMPARE(actions[0]->text(), u"Contents"_s);
    QVERIFY(actions[1]->isSeparator());
    QCOMPARE(actions[2]->objectName(), u"About"_s);
    QCOMPARE(actions[2]->text(), u"About"_s);
}

void TestHelpMenu::contentsOpensManualOfStartDirectory()
{
    m_test->trigger("Helphelp");
    HelpWindow *help = m_test->window().helpMenuWindows().helpWindow();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), u"QV12 Configurator Help"_s);
    QCOMPARE(help->indexPath(), m_test->window().context().StartDirectory() + u"Help/index.html"_s);
    QCOMPARE(shownTitle(help), u"Start index"_s);
    // Opening it leaves the main window working: nothing modal.
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestHelpMenu::contentsTwiceGivesOneWindowAtIndex()
{
    m_test->trigger("Helphelp");
    HelpWindow *first = m_test->window().helpMenuWindows().helpWindow();
    auto *browser = first->findChild<QTextBrowser *>(u"WebBrowser"_s);
    browser->setSource(QUrl::fromLocalFile(m_test->path(u"Help/other.html"_s)));
    QCOMPARE(shownTitle(first), u"Start other"_s);

    m_test->trigger("Helphelp");
    QCOMPARE(topLevel<HelpWindow>().size(), 1);
    QCOMPARE(m_test->window().helpMenuWindows().helpWindow(), first);
    QCOMPARE(shownTitle(first), u"Start index"_s);
}

void TestHelpMenu::contentsFallsBackToProgramsCopy()
{
    // Started where there is no manual, as from the desktop menu: the copy that came
    // with the program is shown.
    QDir(m_test->path(u"Help"_s)).removeRecursively();
    writePage(m_program.filePath(u"Help/index.html"_s), u"Program index"_s);
    m_test->trigger("Helphelp");
    HelpWindow *help = m_test->window().helpMenuWindows().helpWindow();
    QCOMPARE(help->indexPath(), m_program.filePath(u"Help/index.html"_s));
    QCOMPARE(shownTitle(help), u"Program index"_s);
    QDir(m_program.filePath(u"Help"_s)).removeRecursively();
}

void TestHelpMenu::aboutTwiceGivesOneWindow()
{
    m_test->trigger("About");
    AboutWindow *first = m_test->window().helpMenuWindows().aboutWindow();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->windowTitle(), u"About"_s);
    m_test->trigger("About");
    QCOMPARE(topLevel<AboutWindow>().size(), 1);
    QCOMPARE(m_test->window().helpMenuWindows().aboutWindow(), first);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestHelpMenu::closingMainWindowClosesHelpOnly()
{
    m_test->trigger("Helphelp");
    m_test->trigger("About");
    QPointer<HelpWindow> help = m_test->window().helpMenuWindows().helpWindow();
    QPointer<AboutWindow> about = m_test->window().helpMenuWindows().aboutWindow();

    QVERIFY(m_test->window().close());
    QTRY_VERIFY(help.isNull());
    // The About window stays, so the program keeps running until it is closed too.
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(!about->windowHandle()->transientParent());
}

void TestHelpMenu::closeRefusedKeepsHelp()
{
    m_test->trigger("Helphelp");
    QPointer<HelpWindow> help = m_test->window().helpMenuWindows().helpWindow();
    m_test->window().database().setDatabaseSaved(false);
    m_test->prompter.expectMessage(u"Database has been modified ! Quit anyway ?"_s,
                                   Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel,
                                   Prompter::Answer::Cancel);
    QVERIFY(!m_test->window().close());
    QVERIFY(m_test->window().isVisible());
    QTest::qWait(0);
    QVERIFY(help);
    QVERIFY(help->isVisible());
    m_test->window().database().setDatabaseSaved(true);
}

void TestHelpMenu::exitClosesEverything()
{
    m_test->trigger("Helphelp");
    m_test->trigger("About");
    QPointer<HelpWindow> help = m_test->window().helpMenuWindows().helpWindow();
    QPointer<AboutWindow> about = m_test->window().helpMenuWindows().aboutWindow();

    m_test->trigger("Exit");
    QVERIFY(!m_test->window().isVisible());
    QTRY_VERIFY(help.isNull());
    QTRY_VERIFY(about.isNull());
}

QTEST_MAIN(TestHelpMenu)
#include "tst_helpmenu.moc"
