#include "app/helplocation.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "tests/app/recordingurlopener.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(text.toUtf8());
}

QString filler(int lines)
{
    QString text;
    for (int i = 0; i < lines; ++i)
        text += u"<p>Filler line %1 of a long page.</p>\n"_s.arg(i);
    return text;
}

// A small manual: an index page with local, anchor, web and mail links, and a second
// page with an anchor far down and a link back.
void writeManual(const QString &helpDirectory)
{
    writeFile(helpDirectory + u"/index.html"_s,
              u"<html><head><title>Index page</title></head><body>"
              "<h1>Index page</h1>"
              "<p><a href=\"second.html\">Second page</a></p>"
              "<p><a href=\"second.html#far\">Far section</a></p>"
              "<p><a href=\"https://example.net/qv12\">External site</a></p>"
              "<p><a href=\"mailto:someone@example.net\">Mail someone</a></p>"
              "<p><a href=\"#bottom\">Jump down</a></p>"_s
                  + filler(150) + u"<p><a name=\"bottom\">Bottom of index</a></p></body></html>"_s);
    writeFile(helpDirectory + u"/second.html"_s,
              u"<html><head><title>Second page</title></head><body>"
              "<p><a href=\"index.html\">Back to index</a></p>"_s
                  + filler(150) + u"<p><a name=\"far\">Far away</a></p></body></html>"_s);
}

QTextBrowser *browserOf(QWidget *window)
{
    return window->findChild<QTextBrowser *>(u"WebBrowser"_s);
}

// Clicks the link whose text is linkText, the way a user does: scrolled into view,
// pressed and released on it.
void clickLink(QTextBrowser *browser, const QString &linkText)
{
    QTextCursor found = browser->document()->find(linkText);
    QVERIFY2(!found.isNull(), qPrintable(linkText));
    QTextCursor middle(browser->document());
    middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    browser->setTextCursor(middle);
    browser->ensureCursorVisible();
    const QPoint position = browser->cursorRect(middle).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, position);
}

QString pageTitle(QTextBrowser *browser)
{
    return browser->document()->metaInformation(QTextDocument::DocumentTitle);
}

QList<HelpWindow *> helpWindows()
{
    QList<HelpWindow *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *help = qobject_cast<HelpWindow *>(widget))
            found.append(help);
    }
    return found;
}

} // namespace

class TestHelpWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void helpPath_data();
    void helpPath();
    void helpPathIsStartDirectoryFirst();
    void relocatedInstallation();

    void layout();
    void contentsShowsIndex();
    void contentsTwiceGivesOneWindowShowingIndex();
    void indexReturnsAfterBrowsingAway();
    void indexScrollsToTop();
    void webAndMailLinksGoToDesktop_data();
    void webAndMailLinksGoToDesktop();
    void missingManual();
    void closeHelp();

private:
    HelpWindow *openHelp();

    QTemporaryDir m_root;
    QString m_start;       // the start directory, ending in "/"
    QString m_executable;  // a directory without a manual
    std::shared_ptr<RecordingUrlOpener> m_opener;
    std::unique_ptr<HelpMenuWindows> m_windows;
};

void TestHelpWindow::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(m_root.isValid());
    m_start = m_root.filePath(u"start"_s) + u"/"_s;
    m_executable = m_root.filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(m_executable));
    writeManual(m_start + u"Help"_s);
}

void TestHelpWindow::init()
{
    m_opener = std::make_shared<RecordingUrlOpener>();
    m_windows = std::make_unique<HelpMenuWindows>(m_opener);
    m_windows->setExecutableDirectory(m_executable);
}

void TestHelpWindow::cleanup()
{
    m_windows.reset();
    QVERIFY(helpWindows().isEmpty());
}

HelpWindow *TestHelpWindow::openHelp()
{
    m_windows->showHelp(m_start);
    HelpWindow *help = m_windows->helpWindow();
    if (help && !QTest::qWaitForWindowExposed(help))
        qWarning("help window not exposed");
    return help;
}

void TestHelpWindow::helpPath_data()
{
    // Which of the three places hold a manual, and which one is taken.
    QTest::addColumn<bool>("inStart");
    QTest::addColumn<bool>("nextToProgram");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all three") << true << true << true << u"start"_s;
    QTest::newRow("start directory only") << true << false << false << u"start"_s;
    QTest::newRow("build tree") << false << true << true << u"program"_s;
    QTest::newRow("installed") << false << false << true << u"installed"_s;
    QTest::newRow("none: the start directory's path") << false << false << false << u"start"_s;
}

void TestHelpWindow::helpPath()
{
    QFETCH(bool, inStart);
    QFETCH(bool, nextToProgram);
    QFETCH(bool, installed);
    QFETCH(QString, expected);

    QTemporaryDir root;
    const QString start = root.filePath(u"home/user"_s) + u"/"_s;
    const QString program = root.filePath(u"usr/bin"_s);
    QDir().mkpath(start);
    QDir().mkpath(program);
    const QString startIndex = start + u"Help/index.html"_s;
    const QString programIndex = program + u"/Help/index.html"_s;
    const QString installedIndex = root.filePath(u"usr/share/qv12-configurator/Help/index.html"_s);
    if (inStart)
        writeFile(startIndex, u"<p>start</p>"_s);
    if (nextToProgram)
        writeFile(programIndex, u"<p>program</p>"_s);
    if (installed)
        writeFile(installedIndex, u"<p>installed</p>"_s);

    const QString path = helpIndexPath(start, program);
    const QString wanted = expected == u"start"_s   ? startIndex
                         : expected == u"program"_s ? programIndex
                                                    : installedIndex;
    QCOMPARE(path, wanted);
}

void TestHelpWindow::helpPathIsStartDirectoryFirst()
{
    // The start directory's path is the directory text followed by "Help/index.html", as
    // recorded at start-up (ending in a separator, doubled at the root).
    QCOMPARE(helpIndexCandidates(u"/nonexistent/tools/"_s, u"/nonexistent/bin"_s).first(),
             u"/nonexistent/tools/Help/index.html"_s);
    QCOMPARE(helpIndexPath(u"/nonexistent/tools/"_s, u"/nonexistent/bin"_s),
             u"/nonexistent/tools/Help/index.html"_s);
    QCOMPARE(helpIndexCandidates(u"//"_s, u"/nonexistent/bin"_s).first(), u"//Help/index.html"_s);
}

void TestHelpWindow::relocatedInstallation()
{
    // An installation moved to another prefix finds its manual relative to its program.
    QTemporaryDir root;
    const QString prefix = root.filePath(u"opt/qv12"_s);
    writeFile(prefix + u"/share/qv12-configurator/Help/index.html"_s, u"<p>moved</p>"_s);
    QDir().mkpath(prefix + u"/bin"_s);
    QCOMPARE(helpIndexPath(root.filePath(u"elsewhere"_s) + u"/"_s, prefix + u"/bin"_s),
             prefix + u"/share/qv12-configurator/Help/index.html"_s);
}

void TestHelpWindow::layout()
{
    HelpWindow *help = openHelp();
    QVERIFY(help);
    QCOMPARE(help->objectName(), u"Helpfrm"_s);
    QCOMPARE(help->windowTitle(), u"QV12 Configurator Help"_s);

    auto *index = help->findChild<QPushButton *>(u"Index"_s);
    QTextBrowser *browser = browserOf(help);
    QVERIFY(index);
    QVERIFY(browser);
    QCOMPARE(index->text(), u"Index"_s);
    // "Index" at the top left, the view below it filling the rest of the window.
    QVERIFY(index->geometry().left() < 20);
    QVERIFY(index->geometry().top() < 20);
    QVERIFY(browser->geometry().top() >= index->geometry().bottom());
    QVERIFY(browser->width() > help->width() - 20);
    QVERIFY(browser->geometry().bottom() > help->height() - 20);
}

void TestHelpWindow::contentsShowsIndex()
{
    HelpWindow *help = openHelp();
    QVERIFY(help->isVisible());
    QCOMPARE(help->indexPath(), m_start + u"Help/index.html"_s);
    QCOMPARE(browserOf(help)->source(), QUrl::fromLocalFile(m_start + u"Help/index.html"_s));
    QCOMPARE(pageTitle(browserOf(help)), u"Index page"_s);
}

void TestHelpWindow::contentsTwiceGivesOneWindowShowingIndex()
{
    HelpWindow *first = openHelp();
    clickLink(browserOf(first), u"Second page"_s);
    QCOMPARE(pageTitle(browserOf(first)), u"Second page"_s);

    first->showMinimized();
    m_windows->showHelp(m_start);
    QCOMPARE(m_windows->helpWindow(), first);
    QCOMPARE(helpWindows().size(), 1);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isMinimized());
    QCOMPARE(pageTitle(browserOf(first)), u"Index page"_s);
}

void TestHelpWindow::indexReturnsAfterBrowsingAway()
{
    HelpWindow *help = openHelp();
    QTextBrowser *browser = browserOf(help);
    auto *index = help->findChild<QPushButton *>(u"Index"_s);

    // Links between the pages are followed by the view itself...
    clickLink(browser, u"Second page"_s);
    QCOMPARE(browser->source(), QUrl::fromLocalFile(m_start + u"Help/second.html"_s));
    QCOMPARE(pageTitle(browser), u"Second page"_s);
    clickLink(browser, u"Back to index"_s);
    QCOMPARE(pageTitle(browser), u"Index page"_s);
    clickLink(browser, u"Far section"_s);
    QCOMPARE(pageTitle(browser), u"Second page"_s);
    QVERIFY(browser->verticalScrollBar()->value() > 0);

    // ...and "Index" brings the index page back, at its top.
    QTest::mouseClick(index, Qt::LeftButton);
    QCOMPARE(browser->source(), QUrl::fromLocalFile(m_start + u"Help/index.html"_s));
    QCOMPARE(pageTitle(browser), u"Index page"_s);
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QVERIFY(m_opener->opened.isEmpty());
}

void TestHelpWindow::indexScrollsToTop()
{
    HelpWindow *help = openHelp();
    QTextBrowser *browser = browserOf(help);
    clickLink(browser, u"Jump down"_s);
    QCOMPARE(pageTitle(browser), u"Index page"_s);
    QVERIFY(browser->verticalScrollBar()->value() > 0);

    QTest::mouseClick(help->findChild<QPushButton *>(u"Index"_s), Qt::LeftButton);
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
    QCOMPARE(pageTitle(browser), u"Index page"_s);

    // Scrolled down by hand on the index page itself.
    browser->verticalScrollBar()->setValue(browser->verticalScrollBar()->maximum());
    QVERIFY(browser->verticalScrollBar()->value() > 0);
    QTest::mouseClick(help->findChild<QPushButton *>(u"Index"_s), Qt::LeftButton);
    QCOMPARE(browser->verticalScrollBar()->value(), 0);
}

void TestHelpWindow::webAndMailLinksGoToDesktop_data()
{
    QTest::addColumn<QString>("linkText");
    QTest::addColumn<QUrl>("target");
    QTest::newRow("web") << u"External site"_s << QUrl(u"https://example.net/qv12"_s);
    QTest::newRow("mail") << u"Mail someone"_s << QUrl(u"mailto:someone@example.net"_s);
}

void TestHelpWindow::webAndMailLinksGoToDesktop()
{
    QFETCH(QString, linkText);
    QFETCH(QUrl, target);
    HelpWindow *help = openHelp();
    clickLink(browserOf(help), linkText);
    QCOMPARE(m_opener->opened, QList<QUrl>{target});
    // The view stays on the manual.
    QCOMPARE(browserOf(help)->source(), QUrl::fromLocalFile(m_start + u"Help/index.html"_s));
}

void TestHelpWindow::missingManual()
{
    QTemporaryDir elsewhere;
    const QString start = elsewhere.path() + u"/"_s;
    m_windows->showHelp(start);
    HelpWindow *help = m_windows->helpWindow();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->indexPath(), start + u"Help/index.html"_s);
    // The view says what is missing where; no message box, nothing opened.
    const QString shown = browserOf(help)->toPlainText();
    QVERIFY2(shown.contains(u"The manual was not found"_s), qPrintable(shown));
    QVERIFY2(shown.contains(start + u"Help/index.html"_s), qPrintable(shown));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(m_opener->opened.isEmpty());

    // Once the manual is there, "Index" finds it.
    writeManual(start + u"Help"_s);
    QTest::mouseClick(help->findChild<QPushButton *>(u"Index"_s), Qt::LeftButton);
    QCOMPARE(pageTitle(browserOf(help)), u"Index page"_s);
}

void TestHelpWindow::closeHelp()
{
    QPointer<HelpWindow> help = openHelp();
    m_windows->closeHelp();
    QTRY_VERIFY(help.isNull());
    QCOMPARE(m_windows->helpWindow(), nullptr);
    // Closing it twice is harmless.
    m_windows->closeHelp();

    // "Contents" afterwards makes a new one.
    m_windows->showHelp(m_start);
    QVERIFY(m_windows->helpWindow());
    QCOMPARE(helpWindows().size(), 1);
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
