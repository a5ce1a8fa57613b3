#include "app/aboutwindow.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "tests/app/recordingurlopener.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

class TestAboutWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void contents();
    void linkStyle();
    void rowsTopToBottom();
    void picture();

    void linkClicks_data();
    void linkClicks();
    void clicksThatAreNoClicks_data();
    void clicksThatAreNoClicks();
    void keyboardActivatesLink();

    void aboutTwiceGivesOneWindow();
    void reopenedAfterCloseSetsTitleAgain();
    void aboutOutlivesMainWindow();

private:
    AboutWindow *openAbout();
    QLabel *label(const char *name) const;

    std::shared_ptr<RecordingUrlOpener> m_opener;
    std::unique_ptr<HelpMenuWindows> m_windows;
};

void TestAboutWindow::initTestCase()
{
    // The test has no event loop of its own to end; closing windows must not quit it.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestAboutWindow::cleanup()
{
    if (m_windows && m_windows->aboutWindow())
        delete m_windows->aboutWindow();
    m_windows.reset();
    m_opener.reset();
}

AboutWindow *TestAboutWindow::openAbout()
{
    m_opener = std::make_shared<RecordingUrlOpener>();
    m_windows = std::make_unique<HelpMenuWindows>(m_opener);
    m_windows->showAbout();
    AboutWindow *about = m_windows->aboutWindow();
    if (about && !QTest::qWaitForWindowExposed(about))
        qWarning("About window not exposed");
    return about;
}

QLabel *TestAboutWindow::label(const char *name) const
{
    return m_windows->aboutWindow()->findChild<QLabel *>(QLatin1StringView(name));
}

void TestAboutWindow::contents()
{
    AboutWindow *about = openAbout();
    QVERIFY(about);
    QCOMPARE(about->objectName(), u"Form6"_s);
    QCOMPARE(about->windowTitle(), u"About"_s);

    QCOMPARE(label("Label")->text(), u"QV12 Configurator    Rev: 2.4"_s);
    QVERIFY(label("Label")->font().bold());
    QCOMPARE(label("Label2")->text(), u"Web:"_s);
    QCOMPARE(label("Label3")->text(), u"Support:"_s);
    // Each link shows exactly the address it opens, as the build was configured.
    QCOMPARE(label("Label4")->text(), QStringLiteral(QV12_EXPECTED_WEB_ADDRESS));
    QCOMPARE(label("Label5")->text(), QStringLiteral(QV12_EXPECTED_SUPPORT_ADDRESS));
    // Plain text: the four blanks stay, and no address is read as markup.
    for (const char *name : {"Label", "Label2", "Label3", "Label4", "Label5"})
        QCOMPARE(label(name)->textFormat(), Qt::PlainText);
}

void TestAboutWindow::linkStyle()
{
    openAbout();
    for (const char *name : {"Label4", "Label5"}) {
        QLabel *link = label(name);
        QVERIFY2(link->font().underline(), name);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }
    for (const char *name : {"Label", "Label2", "Label3"}) {
        QVERIFY2(!label(name)->font().underline(), name);
        QCOMPARE(label(name)->cursor().shape(), Qt::ArrowCursor);
    }
}

void TestAboutWindow::rowsTopToBottom()
{
    AboutWindow *about = openAbout();
    auto top = [about](QWidget *widget) { return widget->mapTo(about, QPoint(0, 0)).y(); };
    auto *picture = about->findChild<QWidget *>(u"Picture1"_s);
    QVERIFY(picture);

    QVERIFY(top(label("Label")) < top(label("Label2")));
    QCOMPARE(top(label("Label2")), top(label("Label4")));
    QVERIFY(top(label("Label4")) < top(label("Label3")));
    QCOMPARE(top(label("Label3")), top(label("Label5")));
    QVERIFY(top(label("Label5")) < top(picture));
    // The captions stand left of their links.
    QVERIFY(label("Label2")->x() < label("Label4")->x());
    QVERIFY(label("Label3")->x() < label("Label5")->x());
}

void TestAboutWindow::picture()
{
    openAbout();
    auto *image = m_windows->aboutWindow()->findChild<QLabel *>(u"Image1"_s);
    QVERIFY(image);
    QCOMPARE(image->parentWidget()->objectName(), u"Picture1"_s);
    // A null picture here means the SVG image plug-in is missing.
    const QPixmap picture = image->pixmap();
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(360, 180));
    // Not blank: the drawing has more than one colour.
    const QImage pixels = picture.toImage();
    QVERIFY(pixels.pixel(5, 5) != pixels.pixel(pixels.width() / 4, pixels.height() * 3 / 4));
}

void TestAboutWindow::linkClicks_data()
{
    QTest::addColumn<QString>("labelName");
    QTest::addColumn<QUrl>("target");
    QTest::newRow("web") << u"Label4"_s << QUrl(QStringLiteral(QV12_EXPECTED_WEB_ADDRESS));
    QTest::newRow("support")
        << u"Label5"_s << QUrl(u"mailto:"_s + QStringLiteral(QV12_EXPECTED_SUPPORT_ADDRESS));
}

void TestAboutWindow::linkClicks()
{
    QFETCH(QString, labelName);
    QFETCH(QUrl, target);
    openAbout();
    auto *link = m_windows->aboutWindow()->findChild<QLabel *>(labelName);

    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(m_opener->opened, QList<QUrl>{target});

    // Every click opens it again.
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(m_opener->opened, (QList<QUrl>{target, target}));
}

void TestAboutWindow::clicksThatAreNoClicks_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("right button") << u"right"_s;
    QTest::newRow("released off the link") << u"dragged"_s;
    QTest::newRow("caption label") << u"caption"_s;
    QTest::newRow("title label") << u"title"_s;
}

void TestAboutWindow::clicksThatAreNoClicks()
{
    QFETCH(QString, what);
    openAbout();
    QLabel *link = label("Label4");
    if (what == u"right"_s) {
        QTest::mouseClick(link, Qt::RightButton);
    } else if (what == u"dragged"_s) {
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 40, -20));
    } else if (what == u"caption"_s) {
        QTest::mouseClick(label("Label2"), Qt::LeftButton);
        QTest::mouseClick(label("Label3"), Qt::LeftButton);
    } else {
        QTest::mouseClick(label("Label"), Qt::LeftButton);
    }
    QVERIFY(m_opener->opened.isEmpty());
}

void TestAboutWindow::keyboardActivatesLink()
{
    openAbout();
    QLabel *link = label("Label5");
    link->setFocus();
    QTest::keyClick(link, Qt::Key_Return);
    QCOMPARE(m_opener->opened,
             QList<QUrl>{QUrl(u"mailto:"_s + QStringLiteral(QV12_EXPECTED_SUPPORT_ADDRESS))});
}

static QList<AboutWindow *> aboutWindows()
{
    QList<AboutWindow *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<AboutWindow *>(widget))
            found.append(about);
    }
    return found;
}

void TestAboutWindow::aboutTwiceGivesOneWindow()
{
    AboutWindow *first = openAbout();
    QVERIFY(first->isVisible());
    // Behind another window, or minimised: the second "About" brings the same one back.
    first->showMinimized();
    m_windows->showAbout();
    QCOMPARE(m_windows->aboutWindow(), first);
    QCOMPARE(aboutWindows().size(), 1);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isMinimized());
}

void TestAboutWindow::reopenedAfterCloseSetsTitleAgain()
{
    QPointer<AboutWindow> first = openAbout();
    first->close();
    // Closed means gone, not hidden.
    QTRY_VERIFY(first.isNull());
    QVERIFY(aboutWindows().isEmpty());

    m_windows->showAbout();
    AboutWindow *second = m_windows->aboutWindow();
    QVERIFY(second);
    QVERIFY(second->isVisible());
    QCOMPARE(label("Label")->text(), u"QV12 Configurator    Rev: 2.4"_s);
    QCOMPARE(aboutWindows().size(), 1);
}

void TestAboutWindow::aboutOutlivesMainWindow()
{
    // The main window holds the Help menu's windows; it stands in here as a plain window.
    auto *mainWindow = new QWidget;
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_opener = std::make_shared<RecordingUrlOpener>();
    m_windows = std::make_unique<HelpMenuWindows>(m_opener);
    mainWindow->show();
    m_windows->showAbout();
    m_windows->showHelp(QDir::tempPath() + u"/"_s);
    QPointer<AboutWindow> about = m_windows->aboutWindow();
    QPointer<HelpWindow> help = m_windows->helpWindow();
    QVERIFY(QTest::qWaitForWindowExposed(about));

    // The program ends when its last primary window closes: the About window must be one
    // of its own, not a child window of the main window.
    QVERIFY(!about->parentWidget());
    QVERIFY(!about->windowHandle()->transientParent());

    // Closing the main window closes the help window and ends the Help menu's holder.
    m_windows->closeHelp();
    mainWindow->close();
    m_windows.reset();
    QTRY_VERIFY(help.isNull());
    QVERIFY(about);
    QVERIFY(about->isVisible());

    // The About window still works on its own.
    QTest::mouseClick(about->findChild<QLabel *>(u"Label4"_s), Qt::LeftButton);
    QCOMPARE(m_opener->opened.size(), 1);

    about->close();
    QTRY_VERIFY(about.isNull());
}

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"
