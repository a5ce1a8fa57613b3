// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutwindow.h"
#include "app/helplocation.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "app/urlopener.h"
#include "tests/app/testwindow.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

const QDir Manual(QStringLiteral(QV12_HELP_SOURCE_DIR));

// Records the links the windows hand to the desktop; opens nothing.
struct RecordingUrlOpener final : UrlOpener
{
    void open(const QUrl &url) override { opened.append(url); }
    QList<QUrl> opened;
};

void writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
}

// Clicks inside the link showing text, as a user does.
void clickLink(QTextBrowser *browser, const QString &text)
{
    QTextCursor link = browser->document()->find(text);
    link.setPosition(link.selectionStart() + 1);
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(link).center());
}

} // namespace

// The main window's Help menu, "Contents" and "About", and the manual it shows.
class TestHelpMenu final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void helpPath()
    {
        // The start directory's manual, else the one next to the program (a build tree),
        // else the installed one found from the program's directory; else the first path.
        const QTemporaryDir root;
        const QString start = root.path() + u"/home/user/"_s;
        const QString program = root.path() + u"/opt/qv12/bin"_s;
        QCOMPARE(helpIndexPath(start, program), start + u"Help/index.html"_s);
        for (const QString &place : {root.filePath(u"opt/qv12/share/qv12-configurator/Help/index.html"_s),
                                     program + u"/Help/index.html"_s, start + u"Help/index.html"_s}) {
            writeFile(place, u"<p>manual</p>"_s);
            QCOMPARE(helpIndexPath(start, program), place);
        }
    }

    void contentsAndAbout()
    {
        TestWindow test;
        const auto opener = std::make_shared<RecordingUrlOpener>();
        test.window().helpMenuWindows().setUrlOpener(opener);
        writeFile(test.path(u"Help/index.html"_s),
                  u"<title>Index</title><p><a href=\"second.html\">Second page</a></p>"
                  "<p><a href=\"https://example.net/qv12\">Web site</a></p>"
                  "<p><a href=\"mailto:help@example.net\">Mail us</a></p>"_s);
        writeFile(test.path(u"Help/second.html"_s), u"<title>Second</title><p>Text</p>"_s);
        test.trigger("helpContentsAction");
        QPointer<HelpWindow> help = test.window().helpMenuWindows().helpWindow();
        QCOMPARE(help->windowTitle(), u"QV12 Configurator Help"_s);
        QCOMPARE(help->indexPath(), test.window().context().startDirectory() + u"Help/index.html"_s);
        auto *browser = help->findChild<QTextBrowser *>(u"pageBrowser"_s);

        // Links that leave the manual go to the desktop; the others are followed in the
        // view, and "Index" comes back.
        clickLink(browser, u"Web site"_s);
        clickLink(browser, u"Mail us"_s);
        clickLink(browser, u"Second page"_s);
        QCOMPARE(browser->documentTitle(), u"Second"_s);
        QTest::mouseClick(help->findChild<QPushButton *>(u"indexButton"_s), Qt::LeftButton);
        QCOMPARE(browser->documentTitle(), u"Index"_s);

        // Opened again, each window is the same one brought forward; "Contents" shows the
        // index page again.
        clickLink(browser, u"Second page"_s);
        test.trigger("aboutAction");
        QPointer<AboutWindow> about = test.window().helpMenuWindows().aboutWindow();
        help->showMinimized();
        about->showMinimized();
        const qsizetype windowCount = QApplication::topLevelWidgets().size();
        test.trigger("helpContentsAction");
        test.trigger("aboutAction");
        QCOMPARE(QApplication::topLevelWidgets().size(), windowCount);
        QVERIFY(!help->isMinimized() && !about->isMinimized());
        QCOMPARE(browser->documentTitle(), u"Index"_s);

        QCOMPARE(about->windowTitle(), u"About"_s);
        auto label = [about](const char *name) { return about->findChild<QLabel *>(QLatin1String(name)); };
        QCOMPARE(label("titleLabel")->text(), u"QV12 Configurator    Rev: 2.4"_s);
        // A null picture means the SVG image plug-in is missing.
        QVERIFY(!label("pictureLabel")->pixmap().isNull());
        // Each link shows the address the build was configured with and opens it, or,
        // without one, the manual the help window shows; a right click or a click on a
        // caption opens nothing.
        const QString web = QStringLiteral(QV12_EXPECTED_WEB_ADDRESS);
        const QString support = QStringLiteral(QV12_EXPECTED_SUPPORT_ADDRESS);
        const QString manual = test.window().context().startDirectory() + u"Help/"_s;
        QCOMPARE(label("webLink")->text(), web.isEmpty() ? u"The user manual"_s : web);
        QCOMPARE(label("supportLink")->text(), support.isEmpty() ? u"Sending a support report"_s : support);
        QTest::mouseClick(label("webLink"), Qt::RightButton);
        QTest::mouseClick(label("webCaption"), Qt::LeftButton);
        QTest::mouseClick(label("webLink"), Qt::LeftButton);
        QTest::mouseClick(label("supportLink"), Qt::LeftButton);
        QCOMPARE(opener->opened, (QList<QUrl>{QUrl(u"https://example.net/qv12"_s),
                                              QUrl(u"mailto:help@example.net"_s),
                                              web.isEmpty() ? QUrl(u"file://"_s + manual + u"index.html"_s) : QUrl(web),
                                              support.isEmpty() ? QUrl(u"file://"_s + manual + u"traffic.html#report"_s)
                                                                : QUrl(u"mailto:"_s + support)}));

        // Closing the main window closes the help window; the About window is a window of
        // its own and keeps the program running until it is closed too.
        QVERIFY(test.window().close());
        QTRY_VERIFY(help.isNull());
        QVERIFY(about->isVisible() && !about->windowHandle()->transientParent());
        delete about;
    }

    // The two rows with and without the maker's addresses: never a made-up address, and
    // without one a page that is there.
    void aboutLinks_data()
    {
        QTest::addColumn<QString>("web");
        QTest::addColumn<QString>("support");
        QTest::addColumn<QStringList>("expected");  // web text and URL, support text and URL
        const QString manual = u"/usr/share/qv12-configurator/Help/index.html"_s;
        QTest::newRow("none") << QString() << QString()
                              << QStringList{u"The user manual"_s, u"file://"_s + manual, u"Sending a support report"_s,
                                             u"file:///usr/share/qv12-configurator/Help/traffic.html#report"_s};
        QTest::newRow("both") << u"https://qv12.invalid/"_s << u"help@qv12.invalid"_s
                              << QStringList{u"https://qv12.invalid/"_s, u"https://qv12.invalid/"_s,
                                             u"help@qv12.invalid"_s, u"mailto:help@qv12.invalid"_s};
        QTest::newRow("a web site only") << u"https://qv12.invalid/"_s << QString()
                                         << QStringList{u"https://qv12.invalid/"_s, u"https://qv12.invalid/"_s,
                                                        u"Sending a support report"_s,
                                                        u"file:///usr/share/qv12-configurator/Help/traffic.html#report"_s};
    }

    void aboutLinks()
    {
        QFETCH(QString, web);
        QFETCH(QString, support);
        QFETCH(QStringList, expected);
        const AboutLinks links =
            AboutLinks::make(web, support, u"/usr/share/qv12-configurator/Help/index.html"_s);
        QCOMPARE((QStringList{links.web.text, links.web.url.toString(), links.support.text,
                              links.support.url.toString()}),
                 expected);
    }

    void exitClosesBoth()
    {
        TestWindow test;
        test.trigger("helpContentsAction");
        test.trigger("aboutAction");
        QPointer<HelpWindow> help = test.window().helpMenuWindows().helpWindow();
        QPointer<AboutWindow> about = test.window().helpMenuWindows().aboutWindow();
        test.trigger("exitAction");
        QVERIFY(!test.window().isVisible());
        QTRY_VERIFY(help.isNull() && about.isNull());
    }

    void manualPage_data()
    {
        QTest::addColumn<QString>("page");
        for (const QString &name : Manual.entryList({u"*.html"_s}, QDir::Files))
            QTest::newRow(qPrintable(name)) << name;
    }

    void manualPage()
    {
        QFETCH(QString, page);
        // Whatever the view cannot load (a page, a picture, a style sheet) is a warning.
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QTextBrowser view;
        const QUrl url = QUrl::fromLocalFile(Manual.absoluteFilePath(page));
        view.setSource(url);
        QVERIFY(!view.documentTitle().isEmpty() && view.toPlainText().size() > 200);
        QVERIFY(page == u"index.html"_s
                || textOf(Manual.filePath(u"index.html"_s)).contains(u"href=\"%1\""_s.arg(page)));

        // Every link and picture names a file of the manual, relatively: the manual is
        // installed and copied as a folder. A picture loads; an anchor is there.
        static const QRegularExpression linkPattern(u"(href|src)=\"([^\"]*)\""_s);
        for (const auto &match : linkPattern.globalMatch(textOf(url.toLocalFile()))) {
            const QUrl link(match.captured(2));
            const QFileInfo target(url.resolved(link).toLocalFile());
            QVERIFY2(link.isRelative() && target.isFile()
                         && target.canonicalFilePath().startsWith(Manual.canonicalPath() + u'/')
                         && (match.captured(1) == u"href"_s || !QImage(target.filePath()).isNull())
                         && (!link.hasFragment()
                             || textOf(target.filePath()).contains(u"name=\"%1\""_s.arg(link.fragment()))),
                     qPrintable(match.captured(2)));
        }
    }

    // The keys that reach every action from the keyboard are in the manual (the window
    // tests of accessibility press them).
    void keyboardExplained()
    {
        QTextBrowser view;
        view.setSource(QUrl::fromLocalFile(Manual.absoluteFilePath(u"main-window.html"_s)));
        const QString page = view.toPlainText();
        const qsizetype section = page.indexOf(u"Using the keyboard"_s);
        QVERIFY(section >= 0);
        for (const QString &keys : {u"Tab, Shift+Tab"_s, u"Space"_s, u"Up, Down"_s, u"Alt (pressed and released alone)"_s,
                                    u"Menu key, or Shift+F10"_s, u"Return, Escape"_s})
            QVERIFY2(page.indexOf(keys, section) > section, qPrintable(keys));
    }

    void everyMessageExplained()
    {
        // Every string literal of the window code that holds a blank (those continued on the
        // next line joined), less the debug lines, the captions, titles, tooltips and the command line's help,
        // is on the troubleshooting page exactly as the program words it, blanks included;
        // where a name, number or the system's words are filled in (%1, %s) or a line ends, each part.
        static const QRegularExpression comment(u"(^|\\s)//[^\\n]*"_s);
        // Debug lines for support (qCDebug) are no messages to the user.
        static const QRegularExpression debugLine(u"qCDebug\\([^;]*;"_s);
        static const QRegularExpression continued(u"\"\\s*\\n\\s*u?\""_s);
        static const QRegularExpression literal(u"\"((?:[^\"\\\\\\n]|\\\\.)*)\""_s);
        static const QRegularExpression notMessage(
            u"^(QV12 Configurator|Rev: |Status bar|DSR/DTR Mode|No serial device on|<h2>|Usage: |"
            "(New|Open|Save) configuration database|Configuration databases|Save (traffic record|support report) as|"
            "Text files|Configures |Puts |Starts )"_s);
        QTextBrowser view;
        view.setSource(QUrl::fromLocalFile(Manual.absoluteFilePath(u"troubleshooting.html"_s)));
        const QString shown = view.toPlainText();
        const QDir app(QStringLiteral(QV12_APP_SOURCE_DIR));
        QStringList checked;
        QStringList missing;
        for (const QString &name : app.entryList({u"*.cpp"_s}, QDir::Files)) {
            const QString code = textOf(app.filePath(name)).remove(comment).remove(debugLine).remove(continued);
            for (const auto &match : literal.globalMatch(code)) {
                const QString text = match.captured(1);
                if (!text.contains(u' ') || notMessage.match(text).hasMatch())
                    continue;
                checked.append(text);
                for (const QString &part : text.split(QRegularExpression(u"%\\d|%s|\\\\n"_s))) {
                    if (!shown.contains(part))
                        missing.append(name + u": "_s + part);
                }
            }
        }
        QVERIFY2(checked.contains(u"This port does not exist"_s), qPrintable(checked.join(u'\n')));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }
};

QTEST_MAIN(TestHelpMenu)
#include "tst_helpmenu.moc"
