#include "testwindow.h"

#include "app/databasecommands.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Style = Prompter::FileRequest::Style;

namespace {

const QString ContinueQuestion = u"Database has been modified ! Continue anyway ?"_s;
const QString QuitQuestion = u"Database has been modified ! Quit anyway ?"_s;
const QString NotADatabase = u"This is not a valid K.L.V configuration database !"_s;
const QString NoName = u"Current database has no name ! Please use 'Save as' instead."_s;

const Prompter::FileRequest NewRequest =
    databaseFileRequest(u"New configuration database"_s, Style::Save, true);
const Prompter::FileRequest OpenRequest =
    databaseFileRequest(u"Open configuration database"_s, Style::Open, false);
const Prompter::FileRequest SaveAsRequest =
    databaseFileRequest(u"Save configuration database as..."_s, Style::Save, true);

QList<Entry> threeEntries()
{
    return {{u"KT 610-ST"_s, u"1111110000100000"_s},
            {u"Own head 3in"_s, u"1100001101100000"_s},
            {u"TAV 7110"_s, u"1101100000100000"_s}};
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// An edit of the list, so that the database has unsaved changes.
void modify(TestWindow &t)
{
    t.clickRow(0);
    t.click("DbDown");
    QVERIFY(!t.saved());
}

void answerGuard(TestWindow &t, bool modified, bool agree, const QString &question)
{
    if (modified) {
        modify(t);
        t.prompter.expectMessage(question, Prompter::Icon::Exclamation,
                                 Prompter::Buttons::OkCancel,
                                 agree ? Prompter::Answer::Ok : Prompter::Answer::Cancel);
    }
}

QString deleteQuestionFor(const QString &name)
{
    return u"This will delete configuration <"_s + name + u"> form the database !"_s;
}

#define VERIFY_ALL_PROMPTED(t) QVERIFY2((t).prompter.pending().isEmpty(), qPrintable((t).prompter.pending()))

} // namespace

class tst_DatabaseCommands : public QObject
{
    Q_OBJECT

private slots:
    void newDatabase_data();
    void newDatabase();
    void newDatabaseCancelled_data();
    void newDatabaseCancelled();
    void open_data();
    void open();
    void openRefused_data();
    void openRefused();
    void guardCancelKeepsEverything_data();
    void guardCancelKeepsEverything();
    void saveWithoutName();
    void saveWritesTheList();
    void saveGoesBackToTheStartDirectory();
    void saveAs_data();
    void saveAs();
    void saveAsCancelled();
    void saveAsReadOnly();
    void failedWrites_data();
    void failedWrites();
    void tooManyEntries();
    void quitting_data();
    void quitting();
    void closeCancelledAsksAgain();
};

void tst_DatabaseCommands::newDatabase_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("existing");
    QTest::newRow("saved, new file") << false << false;
    QTest::newRow("modified, agreed, over an existing file") << true << true;
}

void tst_DatabaseCommands::newDatabase()
{
    QFETCH(bool, modified);
    QFETCH(bool, existing);
    TestWindow t;
    const QString target = t.path(u"fresh.cdb"_s);
    if (existing)
        writeFile(target, goldenFile(u"builtin.cdb"_s));
    answerGuard(t, modified, true, ContinueQuestion);
    const QString statusBefore = t.status();
    t.prompter.expectFile(NewRequest, target);
    t.trigger("Ndb");
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(readFile(target), goldenFile(u"empty.cdb"_s));
    QVERIFY(t.entries().isEmpty());
    QVERIFY(t.saved());
    QCOMPARE(t.fileName(), target);
    QCOMPARE(t.status(), statusBefore);
}

void tst_DatabaseCommands::newDatabaseCancelled_data()
{
    QTest::addColumn<bool>("modified");
    QTest::newRow("saved") << false;
    QTest::newRow("modified, agreed") << true;
}

void tst_DatabaseCommands::newDatabaseCancelled()
{
    QFETCH(bool, modified);
    TestWindow t(goldenFile(u"three.cdb"_s));
    answerGuard(t, modified, true, ContinueQuestion);
    t.prompter.expectFile(NewRequest, QString());
    t.trigger("Ndb");
    VERIFY_ALL_PROMPTED(t);

    // The list is emptied before the dialog; the flag and the file name stay.
    QVERIFY(t.entries().isEmpty());
    QCOMPARE(t.saved(), !modified);
    QCOMPARE(t.fileName(), t.path(u"default.cdb"_s));
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), goldenFile(u"three.cdb"_s));
    if (!modified) {
        t.trigger("Exit");  // nothing to lose: no question
        QVERIFY(!t.window().isVisible());
    }
}

void tst_DatabaseCommands::open_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<Entry>>("expected");
    QTest::addColumn<QString>("expectedStatus");

    QTest::newRow("3 entries") << false << goldenFile(u"three.cdb"_s) << threeEntries()
                               << u"Entries : 3"_s;
    QTest::newRow("41 entries, after agreeing") << true << goldenFile(u"builtin.cdb"_s)
                                                << builtInEntries() << u"Entries : 41"_s;
    QTest::newRow("0 entries") << false << goldenFile(u"empty.cdb"_s) << QList<Entry>()
                               << u"Entries : 0"_s;
    QTest::newRow("more records than counted")
        << false << cdbBytes(threeEntries()).replace(15, 1, "\x02") + "trailing bytes"
        << threeEntries().mid(0, 2) << u"Entries : 2"_s;
}

void tst_DatabaseCommands::open()
{
    QFETCH(bool, modified);
    QFETCH(QByteArray, file);
    QFETCH(QList<Entry>, expected);
    QFETCH(QString, expectedStatus);

    TestWindow t;
    const QString path = t.path(u"chosen.cdb"_s);
    writeFile(path, file);
    answerGuard(t, modified, true, ContinueQuestion);
    t.prompter.expectFile(OpenRequest, path);
    t.trigger("Od");
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(t.entries(), expected);
    QCOMPARE(t.status(), expectedStatus);
    QVERIFY(t.saved());
    QCOMPARE(t.fileName(), path);
    QCOMPARE(t.selectedRow(), -1);
}

void tst_DatabaseCommands::openRefused_data()
{
    QTest::addColumn<QByteArray>("file");  // empty name: a directory in its place
    QTest::addColumn<bool>("directory");
    QTest::newRow("text file") << QByteArray("Hello, world\r\n") << false;
    QTest::newRow("magic in lower case")
        << QByteArray("klvprinterscdb0") + goldenFile(u"three.cdb"_s).mid(15) << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("cannot be read") << QByteArray() << true;
}

void tst_DatabaseCommands::openRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, directory);

    TestWindow t;
    const QString path = t.path(u"chosen.cdb"_s);
    if (directory)
        QVERIFY(QDir(t.dir()).mkdir(u"chosen.cdb"_s));
    else
        writeFile(path, file);
    // Unsaved changes answered OK: they stay, and so does the flag.
    modify(t);
    const QList<Entry> before = t.entries();
    const QString statusBefore = t.status();
    t.prompter.expectMessage(ContinueQuestion, Prompter::Icon::Exclamation,
                             Prompter::Buttons::OkCancel, Prompter::Answer::Ok);
    t.prompter.expectFile(OpenRequest, path);
    t.prompter.expectMessage(NotADatabase);
    t.trigger("Od");
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(t.entries(), before);
    QVERIFY(!t.saved());
    QVERIFY(t.fileName().isEmpty());
    QCOMPARE(t.status(), statusBefore);
}

void tst_DatabaseCommands::guardCancelKeepsEverything_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("New") << u"Ndb"_s;
    QTest::newRow("Open") << u"Od"_s;
    QTest::newRow("Open, dialog cancelled") << u"Od cancel"_s;
}

void tst_DatabaseCommands::guardCancelKeepsEverything()
{
    QFETCH(QString, command);
    TestWindow t(goldenFile(u"three.cdb"_s));
    modify(t);
    const QList<Entry> before = t.entries();
    const QString statusBefore = t.status();
    if (command.endsWith(u" cancel"_s)) {
        t.prompter.expectMessage(ContinueQuestion, Prompter::Icon::Exclamation,
                                 Prompter::Buttons::OkCancel, Prompter::Answer::Ok);
        t.prompter.expectFile(OpenRequest, QString());
    } else {
        t.prompter.expectMessage(ContinueQuestion, Prompter::Icon::Exclamation,
                                 Prompter::Buttons::OkCancel, Prompter::Answer::Cancel);
    }
    t.trigger(command.section(u' ', 0, 0).toLatin1().constData());
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(t.entries(), before);
    QVERIFY(!t.saved());
    QCOMPARE(t.fileName(), t.path(u"default.cdb"_s));
    QCOMPARE(t.status(), statusBefore);
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), goldenFile(u"three.cdb"_s));
}

void tst_DatabaseCommands::saveWithoutName()
{
    TestWindow t;  // built-in list, no file name
    t.prompter.expectMessage(NoName);
    t.trigger("sd");
    VERIFY_ALL_PROMPTED(t);
    QVERIFY(t.saved());
    QVERIFY(QDir(t.dir()).entryList(QDir::Files).isEmpty());
}

void tst_DatabaseCommands::saveWritesTheList()
{
    TestWindow t(goldenFile(u"three.cdb"_s));
    t.clickRow(0);
    t.click("DbDown");
    const QString statusBefore = t.status();
    t.trigger("sd");
    VERIFY_ALL_PROMPTED(t);
    QList<Entry> moved = threeEntries();
    moved.swapItemsAt(0, 1);
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), cdbBytes(moved));
    QVERIFY(t.saved());
    QCOMPARE(t.status(), statusBefore);

    // Saving with nothing changed writes all the same.
    writeFile(t.path(u"default.cdb"_s), "scribbled over");
    t.trigger("sd");
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), cdbBytes(moved));
}

void tst_DatabaseCommands::saveGoesBackToTheStartDirectory()
{
    TestWindow t(goldenFile(u"three.cdb"_s));
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());  // as a file dialog may do
    modify(t);
    t.trigger("sd");
    QList<Entry> moved = threeEntries();
    moved.swapItemsAt(0, 1);
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), cdbBytes(moved));
    QVERIFY(!QFile::exists(QDir(elsewhere.path()).filePath(u"default.cdb"_s)));
}

void tst_DatabaseCommands::saveAs_data()
{
    QTest::addColumn<QByteArray>("existing");  // "-": no file there
    QTest::newRow("new file") << QByteArray("-");
    QTest::newRow("over a longer database") << goldenFile(u"builtin.cdb"_s);
    QTest::newRow("over a shorter file") << QByteArray("KLV");
}

void tst_DatabaseCommands::saveAs()
{
    QFETCH(QByteArray, existing);
    TestWindow t(goldenFile(u"three.cdb"_s));
    const QString target = t.path(u"copy.cdb"_s);
    if (existing != "-")
        writeFile(target, existing);
    modify(t);
    t.prompter.expectFile(SaveAsRequest, target);
    t.trigger("Sda");
    VERIFY_ALL_PROMPTED(t);

    QList<Entry> moved = threeEntries();
    moved.swapItemsAt(0, 1);
    QCOMPARE(readFile(target), cdbBytes(moved));
    QCOMPARE(QFileInfo(target).size(), 18 + 34 * 3);
    QVERIFY(t.saved());
    QCOMPARE(t.fileName(), target);
    QCOMPARE(t.status(), QString());
    // The list's old file is left alone.
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), goldenFile(u"three.cdb"_s));
}

void tst_DatabaseCommands::saveAsCancelled()
{
    TestWindow t;
    modify(t);
    t.prompter.expectFile(SaveAsRequest, QString());
    t.trigger("Sda");
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(t.status(), u"Save database canceled"_s);
    QVERIFY(!t.saved());
    QVERIFY(t.fileName().isEmpty());
}

void tst_DatabaseCommands::saveAsReadOnly()
{
    TestWindow t(goldenFile(u"three.cdb"_s));
    const QString target = t.path(u"locked.cdb"_s);
    writeFile(target, goldenFile(u"builtin.cdb"_s));
    // Read-only by its permission bits; the superuser could still write it.
    QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup
                                              | QFileDevice::ReadOther));
    modify(t);
    t.prompter.expectFile(SaveAsRequest, target);
    t.prompter.expectMessage(u"This file is Read-Only !"_s);
    t.trigger("Sda");
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(t.status(), u"Couldn't write file (was read_only)."_s);
    QCOMPARE(readFile(target), goldenFile(u"builtin.cdb"_s));
    QVERIFY(!t.saved());
    QCOMPARE(t.fileName(), t.path(u"default.cdb"_s));
}

void tst_DatabaseCommands::failedWrites_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target");  // relative to the start directory
    QTest::newRow("New, missing folder") << u"Ndb"_s << u"missing/new.cdb"_s;
    QTest::newRow("New, a folder in the way") << u"Ndb"_s << u"folder.cdb"_s;
    QTest::newRow("Save as, missing folder") << u"Sda"_s << u"missing/copy.cdb"_s;
    QTest::newRow("Save as, a folder in the way") << u"Sda"_s << u"folder.cdb"_s;
    QTest::newRow("Save, folder gone") << u"sd"_s << u"gone/base.cdb"_s;
}

void tst_DatabaseCommands::failedWrites()
{
    QFETCH(QString, command);
    QFETCH(QString, target);

    TestWindow t(goldenFile(u"three.cdb"_s));
    QVERIFY(QDir(t.dir()).mkdir(u"folder.cdb"_s));
    const QString path = t.path(target);
    QString fileBefore = t.fileName();
    if (command == u"sd") {
        // The list gets its file by Save as; then the file's folder disappears.
        QVERIFY(QDir(t.dir()).mkdir(u"gone"_s));
        t.prompter.expectFile(SaveAsRequest, path);
        t.trigger("Sda");
        QVERIFY(QDir(t.path(u"gone"_s)).removeRecursively());
        fileBefore = path;
    }
    modify(t);
    const QList<Entry> before = t.entries();

    if (command == u"Ndb") {
        t.prompter.expectMessage(ContinueQuestion, Prompter::Icon::Exclamation,
                                 Prompter::Buttons::OkCancel, Prompter::Answer::Ok);
        t.prompter.expectFile(NewRequest, path);
    } else if (command == u"Sda") {
        t.prompter.expectFile(SaveAsRequest, path);
    }
    // The file and the system's reason, on a line of its own.
    t.prompter.expectMessageMatching(
        QRegularExpression::escape(u"Couldn't write database file <"_s
                                   + QDir::toNativeSeparators(path) + u"> !\n"_s)
        + u"\\S.*"_s);
    t.trigger(command.toLatin1().constData());
    VERIFY_ALL_PROMPTED(t);
    qInfo("%s", qPrintable(t.prompter.prompts().last().text));

    QVERIFY(!t.saved());
    QCOMPARE(t.fileName(), fileBefore);
    QVERIFY(QFileInfo(t.path(u"folder.cdb"_s)).isDir());
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), goldenFile(u"three.cdb"_s));
    if (command == u"Ndb")
        QVERIFY(t.entries().isEmpty());  // emptied before the dialog, as always
    else
        QCOMPARE(t.entries(), before);
}

void tst_DatabaseCommands::tooManyEntries()
{
    TestWindow t(goldenFile(u"three.cdb"_s));
    const QString target = t.path(u"big.cdb"_s);
    writeFile(target, goldenFile(u"empty.cdb"_s));
    auto *name = t.get<QLineEdit>("ConfigName");
    // The list grows to 256 entries by the save button.
    for (const char *option : {"Voltage5", "MechaStd", "Step1", "StepperNormal", "HeadST",
                               "StrobeRohm", "HW2N", "HupNormal"})
        t.click(option);
    for (int i = t.entries().size(); i < 256; ++i) {
        name->setText(u"Entry %1"_s.arg(i));
        t.click("NewConfig");
    }
    QCOMPARE(t.entries().size(), 256);
    const QString refusal =
        u"The database has 256 entries, a database file can hold only 255 ! Please delete some entries first."_s;

    t.prompter.expectMessage(refusal);
    t.trigger("sd");
    t.prompter.expectMessage(refusal);
    t.trigger("Sda");
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(readFile(t.path(u"default.cdb"_s)), goldenFile(u"three.cdb"_s));
    QCOMPARE(readFile(target), goldenFile(u"empty.cdb"_s));
    QVERIFY(!t.saved());
    QCOMPARE(t.fileName(), t.path(u"default.cdb"_s));

    // One entry fewer fits.
    t.clickRow(255);
    t.prompter.expectMessage(deleteQuestionFor(u"Entry 255"_s), Prompter::Icon::Exclamation,
                             Prompter::Buttons::OkCancel, Prompter::Answer::Ok);
    t.click("DbbDelete");
    t.trigger("sd");
    VERIFY_ALL_PROMPTED(t);
    QCOMPARE(QFileInfo(t.path(u"default.cdb"_s)).size(), 18 + 34 * 255);
    QCOMPARE(readFile(t.path(u"default.cdb"_s)).at(15), char(255));
    QVERIFY(t.saved());
}

void tst_DatabaseCommands::quitting_data()
{
    QTest::addColumn<bool>("byExit");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<bool>("ends");
    for (const bool byExit : {true, false}) {
        const char *route = byExit ? "Exit" : "close";
        QTest::addRow("%s, saved", route) << byExit << false << true << true;
        QTest::addRow("%s, modified, OK", route) << byExit << true << true << true;
        QTest::addRow("%s, modified, Cancel", route) << byExit << true << false << false;
    }
}

void tst_DatabaseCommands::quitting()
{
    QFETCH(bool, byExit);
    QFETCH(bool, modified);
    QFETCH(bool, agree);
    QFETCH(bool, ends);

    TestWindow t;
    QSignalSpy ending(&t.window(), &MainWindow::programEnding);
    answerGuard(t, modified, agree, QuitQuestion);
    if (byExit)
        t.trigger("Exit");
    else
        t.window().close();
    // Asked once at most: Exit's own question is not asked again by the closing.
    VERIFY_ALL_PROMPTED(t);

    QCOMPARE(!t.window().isVisible(), ends);
    QCOMPARE(ending.count(), ends ? 1 : 0);
    // Ending stops the serial link, so a chip action in a wait runs out at once.
    QCOMPARE(t.context.link().isAborted(), ends);
    QCOMPARE(t.saved(), !modified);
}

void tst_DatabaseCommands::closeCancelledAsksAgain()
{
    TestWindow t;
    modify(t);
    t.prompter.expectMessage(QuitQuestion, Prompter::Icon::Exclamation,
                             Prompter::Buttons::OkCancel, Prompter::Answer::Cancel);
    t.trigger("Exit");
    t.prompter.expectMessage(QuitQuestion, Prompter::Icon::Exclamation,
                             Prompter::Buttons::OkCancel, Prompter::Answer::Cancel);
    t.window().close();
    QVERIFY(t.window().isVisible());
    t.prompter.expectMessage(QuitQuestion, Prompter::Icon::Exclamation,
                             Prompter::Buttons::OkCancel, Prompter::Answer::Ok);
    t.window().close();
    VERIFY_ALL_PROMPTED(t);
    QVERIFY(!t.window().isVisible());
}

QTEST_MAIN(tst_DatabaseCommands)
#include "tst_databasecommands.moc"
