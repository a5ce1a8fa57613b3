// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/portselectiondialog.h"
#include "testwindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

// Every text the window shows, and every line qv12-chip prints, is in the English
// catalogue the build makes with lupdate: a text that does not pass through tr() is
// missing there, and no translation could ever reach it.
class TestTranslations final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowTexts();
    void portSelectionTexts();
    void messages_data();
    void messages();
    void chipToolLines_data();
    void chipToolLines();

private:
    // True when text is a catalogue text, its %1, %2, ... standing for anything.
    bool catalogued(const QString &text) const;
    // Every text that widgets under root show (their own and their actions'), none empty.
    static QStringList shownTexts(const QWidget &root);
    void verifyCatalogued(const QStringList &texts) const;

    QList<QRegularExpression> m_catalogue;
    // Each line of each catalogue text on its own: qv12-chip prints several lines from
    // one text. Texts that are nothing but placeholders and punctuation are left out:
    // they would pass any line.
    QList<QRegularExpression> m_lines;
};

// A catalogue text as a pattern, its %1, %2, ... standing for anything.
static QRegularExpression sourcePattern(const QString &source)
{
    QStringList pieces = source.split(QRegularExpression(uR"(%[1-9])"_s));
    for (QString &piece : pieces)
        piece = QRegularExpression::escape(piece);
    return QRegularExpression(QRegularExpression::anchoredPattern(pieces.join(u".*"_s)),
                              QRegularExpression::DotMatchesEverythingOption);
}

void TestTranslations::initTestCase()
{
    QFile file(QStringLiteral(QV12_ENGLISH_TS));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"source") {
            const QString source = xml.readElementText();
            m_catalogue.append(sourcePattern(source));
            for (const QString &line : source.split(u'\n')) {
                if (line.contains(QRegularExpression(u"[A-Za-z]{2}"_s)))
                    m_lines.append(sourcePattern(line));
            }
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(m_catalogue.size() > 100);
}

bool TestTranslations::catalogued(const QString &text) const
{
    return std::any_of(m_catalogue.cbegin(), m_catalogue.cend(),
                       [&text](const QRegularExpression &source) { return source.match(text).hasMatch(); });
}

QStringList TestTranslations::shownTexts(const QWidget &root)
{
    QStringList texts{root.windowTitle()};
    QList<QWidget *> widgets = root.findChildren<QWidget *>();
    for (const QWidget *widget : std::as_const(widgets)) {
        texts << widget->toolTip() << widget->accessibleName();
        if (auto *button = qobject_cast<const QAbstractButton *>(widget))
            texts << button->text();
        else if (auto *frame = qobject_cast<const QGroupBox *>(widget))
            texts << frame->title();
        else if (auto *label = qobject_cast<const QLabel *>(widget))
            texts << label->text();
        else if (auto *menu = qobject_cast<const QMenu *>(widget))
            texts << menu->title();
        else if (auto *box = qobject_cast<const QComboBox *>(widget)) {
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        }
    }
    for (const QAction *action : root.findChildren<QAction *>()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    // Numbers (the line speeds) and device paths are no words to translate.
    texts.removeIf([](const QString &text) {
        return !text.contains(QRegularExpression(u"[A-Za-z]"_s)) || text.startsWith(u'/');
    });
    return texts;
}

void TestTranslations::verifyCatalogued(const QStringList &texts) const
{
    QStringList missing;
    for (const QString &text : texts) {
        if (!catalogued(text))
            missing << text;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(u"Not in the catalogue: \""_s + missing.join(u"\", \""_s) + u'"'));
}

// The main window as it starts: captions, options, buttons, menus, the status line and
// the texts set by the load steps.
void TestTranslations::windowTexts()
{
    TestWindow t;
    const QStringList texts = shownTexts(t.window());
    QVERIFY(texts.contains(u"Save configuration to database"_s));
    QVERIFY(texts.contains(u"No chipset found, please"_s));
    QVERIFY(texts.contains(u"default.cdb file error, default list created."_s));
    verifyCatalogued(texts);
}

void TestTranslations::portSelectionTexts()
{
    TestWindow t;
    PortSelectionDialog dialog(t.context, &t.window());
    dialog.runLoadSteps();
    const QStringList texts = shownTexts(dialog);
    QVERIFY(texts.contains(u"No printer found yet, please start detection."_s));
    verifyCatalogued(texts);
}

// Messages, file dialogs and status texts of the window's commands, the names of the
// list's entries standing in for the %1 of their templates.
void TestTranslations::messages_data()
{
    QTest::addColumn<QStringList>("steps");  // "click name", "trigger name", "row n"

    QTest::newRow("save an undefined configuration") << QStringList{u"click saveConfigurationButton"_s};
    QTest::newRow("delete without a selection") << QStringList{u"click deleteEntryButton"_s};
    QTest::newRow("delete a selected entry") << QStringList{u"row 1"_s, u"click deleteEntryButton"_s};
    QTest::newRow("save as, cancelled") << QStringList{u"trigger saveDatabaseAsAction"_s};
    QTest::newRow("new, refused") << QStringList{u"row 2"_s, u"trigger moveUpAction"_s, u"trigger newDatabaseAction"_s};
    QTest::newRow("quit, refused") << QStringList{u"row 2"_s, u"trigger moveDownAction"_s, u"trigger exitAction"_s};
    QTest::newRow("support report, cancelled") << QStringList{u"trigger supportReportAction"_s};
}

void TestTranslations::messages()
{
    QFETCH(QStringList, steps);
    // Every prompt answered Cancel, its texts kept.
    struct RecordingPrompter final : Prompter
    {
        QStringList texts;
        Answer message(const QString &text, Icon, Buttons) override
        {
            texts << text;
            return Answer::Cancel;
        }
        QString chooseFile(const FileRequest &request) override
        {
            texts << request.title << request.filter;
            return {};
        }
        void beep() override {}
    } prompter;
    QTemporaryDir startDirectory;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(startDirectory.path()));
    AppContext context{prompter};
    MainWindow window(context);
    window.runLoadSteps();

    for (const QString &step : std::as_const(steps)) {
        const QStringList words = step.split(u' ');
        if (words[0] == u"row")
            window.mechanismList().setSelectedRow(words[1].toInt());
        else if (words[0] == u"click")
            window.findChild<QAbstractButton *>(words[1])->click();
        else
            window.findChild<QAction *>(words[1])->trigger();
        prompter.texts << window.statusText().text();
    }
    QDir::setCurrent(previous);
    prompter.texts.removeAll(QString());
    QVERIFY(prompter.texts.size() > steps.size());  // at least one prompt
    verifyCatalogued(prompter.texts);
}

// qv12-chip as a user runs it, each line it prints on stdout and stderr; the lines named
// must be among them, so that a run that went wrong can't pass for one with nothing to
// check.
void TestTranslations::chipToolLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("help") << QStringList{u"--help"_s}
                          << QStringList{u"Exit status: 0 success; 1 no chip found or no answer; 2 usage error;"_s};
    QTest::newRow("usage error") << QStringList{u"--speed"_s, u"1234"_s, u"detect"_s}
                                 << QStringList{u"qv12-chip: --speed wants one of 1200, 2400, 4800, 9600, 19200, "
                                                "28800, 38400, 57600, 115200, not \"1234\""_s};
    QTest::newRow("detect") << QStringList{u"--simulate"_s, u"detect"_s}
                            << QStringList{u"handshake:  DSR/DTR Mode"_s};
    QTest::newRow("program") << QStringList{u"--simulate"_s, u"program"_s, u"--word"_s, u"1111110000100000"_s,
                                            u"--identity"_s, u"KT 610-ST"_s, u"--com"_s, u"1"_s, u"--speed"_s,
                                            u"9600"_s}
                             << QStringList{u"Read back:"_s, u"Result: PASS"_s};
    QTest::newRow("no chip") << QStringList{u"--port"_s, u"1=/dev/null"_s, u"--given-ports-only"_s, u"identify"_s,
                                            u"--com"_s, u"1"_s, u"--speed"_s, u"9600"_s}
                             << QStringList{};
}

void TestTranslations::chipToolLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    QVERIFY(!catalogued(u"A line no catalogue holds"_s));  // the check can fail

    QProcess tool;
    tool.start(QStringLiteral(QV12_CHIP_TOOL), arguments);
    tool.closeWriteChannel();
    QVERIFY(tool.waitForFinished(60000));
    const QString printed = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
    QStringList lines = printed.split(u'\n');
    for (const QString &line : std::as_const(expected))
        QVERIFY2(lines.contains(line), qPrintable(printed));
    // Lines of numbers, device paths and the chip's own text are no words to translate.
    // The rows of the read-back's table: each field and value on its own.
    const QRegularExpression checkRow(u"^(\\S.*?) {2,}(\\S.*?) {3,}PASS$"_s);
    QStringList words;
    lines.removeIf([&](const QString &line) {
        const QRegularExpressionMatch row = checkRow.match(line);
        if (row.hasMatch())
            words << row.captured(1) << row.captured(2);
        return !line.contains(QRegularExpression(u"[A-Za-z]{2}"_s)) || row.hasMatch();
    });
    QVERIFY(words.isEmpty() || words.contains(u"head width"_s));
    words.removeAll(u"KT 610-ST"_s);  // the identity asked for: the user's text
    QVERIFY(!lines.isEmpty());
    QStringList missing;
    for (const QString &line : std::as_const(lines)) {
        const bool found = std::any_of(m_lines.cbegin(), m_lines.cend(), [&line](const QRegularExpression &source) {
            return source.match(line).hasMatch();
        });
        if (!found)
            missing << line;
    }
    for (const QString &word : std::as_const(words)) {
        if (!catalogued(word))
            missing << word;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(u"Not in the catalogue: \""_s + missing.join(u"\", \""_s) + u'"'));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
