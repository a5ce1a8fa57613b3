#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>

using namespace Qt::StringLiterals;

namespace {

const QString HelpDirectory = QStringLiteral(QV12_HELP_SOURCE_DIR);

struct PageLinks
{
    QStringList hrefs;
    QStringList images;
    QSet<QString> anchorNames;
};

// Everything the help window's view made of a page: its links, pictures and anchors.
PageLinks linksOf(const QTextDocument &document)
{
    PageLinks links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) {
                if (!format.anchorHref().isEmpty())
                    links.hrefs.append(format.anchorHref());
                for (const QString &name : format.anchorNames())
                    links.anchorNames.insert(name);
            }
            if (format.isImageFormat())
                links.images.append(format.toImageFormat().name());
        }
    }
    links.hrefs.removeDuplicates();
    links.images.removeDuplicates();
    return links;
}

QStringList pageNames()
{
    return QDir(HelpDirectory).entryList({u"*.html"_s}, QDir::Files, QDir::Name);
}

QUrl pageUrl(const QString &name)
{
    return QUrl::fromLocalFile(QDir(HelpDirectory).absoluteFilePath(name));
}

} // namespace

class TestManual final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pageLoads_data();
    void pageLoads();
    void localLinksResolve_data();
    void localLinksResolve();
    void indexLinksEveryPage();
    void everyMessageIsExplained_data();
    void everyMessageIsExplained();

private:
    QHash<QString, PageLinks> m_links;   // by page name
    QHash<QString, QString> m_sources;   // raw HTML by page name
};

void TestManual::initTestCase()
{
    QVERIFY2(!pageNames().isEmpty(), qPrintable(HelpDirectory));
    QTextBrowser browser;
    for (const QString &name : pageNames()) {
        browser.setSource(pageUrl(name));
        m_links.insert(name, linksOf(*browser.document()));
        QFile file(QDir(HelpDirectory).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_sources.insert(name, QString::fromUtf8(file.readAll()));
    }
}

void TestManual::pageLoads_data()
{
    QTest::addColumn<QString>("page");
    for (const QString &name : pageNames())
        QTest::newRow(qPrintable(name)) << name;
}

void TestManual::pageLoads()
{
    QFETCH(QString, page);
    // Anything the view cannot load (a page, a style sheet) shows up as a warning.
    QTest::failOnWarning(QRegularExpression(u".*"_s));
    QTextBrowser browser;
    browser.setSource(pageUrl(page));
    QCOMPARE(browser.source(), pageUrl(page));
    QVERIFY(!browser.document()->metaInformation(QTextDocument::DocumentTitle).isEmpty());
    QVERIFY(browser.toPlainText().trimmed().size() > 200);

    // Only what the view renders: no scripts, no frames, no forms.
    const QString html = m_sources.value(page);
    for (const QString &tag : {u"<script"_s, u"<iframe"_s, u"<frame"_s, u"<form"_s, u"<object"_s})
        QVERIFY2(!html.contains(tag, Qt::CaseInsensitive), qPrintable(tag));
    QVERIFY(html.contains(u"<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">"_s));
    // Every page but the index leads back to it.
    if (page != u"index.html"_s)
        QVERIFY(m_links.value(page).hrefs.contains(u"index.html"_s));
}

void TestManual::localLinksResolve_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("isImage");
    for (const QString &name : pageNames()) {
        const PageLinks links = m_links.value(name);
        for (const QString &href : links.hrefs)
            QTest::addRow("%s -> %s", qPrintable(name), qPrintable(href)) << name << href << false;
        for (const QString &image : links.images)
            QTest::addRow("%s img %s", qPrintable(name), qPrintable(image)) << name << image << true;
    }
}

void TestManual::localLinksResolve()
{
    QFETCH(QString, page);
    QFETCH(QString, link);
    QFETCH(bool, isImage);

    const QUrl url(link);
    QVERIFY2(url.isValid(), qPrintable(link));
    // The manual is installed and copied around as a folder: relative links only.
    QVERIFY2(url.isRelative(), qPrintable(link));
    QVERIFY2(!link.startsWith(u'/'), qPrintable(link));

    const QUrl target = pageUrl(page).resolved(url);
    const QFileInfo file(target.toLocalFile());
    QVERIFY2(file.isFile(), qPrintable(target.toLocalFile()));
    // Inside the manual's folder.
    QVERIFY(file.canonicalFilePath().startsWith(QDir(HelpDirectory).canonicalPath() + u'/'));

    if (isImage) {
        QVERIFY2(!QImage(file.filePath()).isNull(), qPrintable(file.filePath()));
        return;
    }
    QCOMPARE(file.suffix(), u"html"_s);
    if (url.hasFragment()) {
        const QString targetPage = file.fileName();
        QVERIFY2(m_links.value(targetPage).anchorNames.contains(url.fragment()),
                 qPrintable(targetPage + u'#' + url.fragment()));
    }
}

void TestManual::indexLinksEveryPage()
{
    QSet<QString> linked;
    for (const QString &href : m_links.value(u"index.html"_s).hrefs)
        linked.insert(QUrl(href).path());
    for (const QString &name : pageNames()) {
        if (name != u"index.html"_s)
            QVERIFY2(linked.contains(name), qPrintable(name));
    }
}

void TestManual::everyMessageIsExplained_data()
{
    // The texts the program shows, or their fixed parts where a name, port or number
    // is filled in.
    QTest::addColumn<QString>("text");
    const QStringList texts = {
        // Port selection dialog
        u"No printer found yet, please start detection."_s,
        u"Attempting to contact printer on COM "_s,
        u" found on COM "_s,
        u"No printer found on COM "_s,
        u"No printer found"_s,
        u"You must select a serial port"_s,
        u"This port does not exist"_s,
        // Chipset column
        u"Please, run chipset detection"_s,
        u"No chipset found"_s,
        u"No chipset found, please"_s,
        u"perform a chipset detection"_s,
        u"Perform a chipset detection"_s,
        u"Port: COM"_s,
        u"Baudrate: "_s,
        // Check configuration
        u"Please detect the printer first"_s,
        u"Error while reading printer parameters !"_s,
        // Configure chipset
        u"Please select a configuration mode !"_s,
        u"Please select an identity determination method !"_s,
        u"Logic voltage is not defined !"_s,
        u"Mechanism (Standard/TAV) is not defined !"_s,
        u"Motor steps is not defined !"_s,
        u"Motor rotation is not defined !"_s,
        u"Head-up polarity is not defined !"_s,
        u"Head width is not defined !"_s,
        u"Head type is not defined !"_s,
        u"Strobe polarity is not defined !"_s,
        u"Please specify a mechanism identity !"_s,
        u"Hardware detected polarity doesn't match user choice !  Program anyway ?"_s,
        u"Programming cancelled !"_s,
        u"Programming error ! Please check cables and power."_s,
        // Save configuration to database
        u"Voltage is not defined !"_s,
        u"Mechanism type is not defined !"_s,
        u"Steps per dotline is not defined !"_s,
        u"Stepper sense is not defined !"_s,
        u"New configuration not created !"_s,
        u"Please enter a configuration name !"_s,
        u"Overwrite existing configuration <"_s,
        u"Configuration selected : "_s,
        // Mechanism list
        u"Please select a database entry first !"_s,
        u"This will delete configuration <"_s,
        u"> form the database !"_s,
        // Database files
        u"Database has been modified ! Continue anyway ?"_s,
        u"Database has been modified ! Quit anyway ?"_s,
        u"This is not a valid K.L.V configuration database !"_s,
        u"Current database has no name ! Please use 'Save as' instead."_s,
        u"This file is Read-Only !"_s,
        u"Entries : "_s,
        u"Default database file loaded"_s,
        u"default.cdb file error, default list created."_s,
        u"Save database canceled"_s,
        u"Couldn't write file (was read_only)."_s,
        u"Couldn't write database file <"_s,
        u"The database has "_s,
        u" entries, a database file can hold only 255 ! Please delete some entries first."_s,
    };
    for (const QString &text : texts)
        QTest::newRow(qPrintable(text)) << text;
}

void TestManual::everyMessageIsExplained()
{
    QFETCH(QString, text);
    // Exactly as the program words it, blanks included, on the troubleshooting page.
    QTextBrowser browser;
    browser.setSource(pageUrl(u"troubleshooting.html"_s));
    const QString shown = browser.document()->toPlainText();
    QVERIFY2(shown.contains(text), qPrintable(text));
}

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
