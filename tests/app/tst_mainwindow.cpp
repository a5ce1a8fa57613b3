// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testwindow.h"
#include "tests/common/files.h"

#include "app/editorpanel.h"
#include "app/splashscreen.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>


using namespace Qt::StringLiterals;

namespace {

const QString BuiltIn = u"default.cdb file error, default list created."_s;
const QString NotADatabase = u"This is not a valid K.L.V configuration database !"_s;
const QString ReadOnly = u"This file is Read-Only !"_s;
const QString WasReadOnly = u"Couldn't write file (was read_only)."_s;

// The window started with default.cdb holding start; then, when modified, its first
// entry moved down; then a command of the Database menu, or the window closed. The file
// chosen keeps what it held unless written, and becomes the database's file when the
// command succeeds.
struct Case
{
    const char *command = nullptr;  // none: start-up alone
    std::optional<QByteArray> start = goldenFile(u"three.cdb"_s);
    bool modified = true;   // with a command
    bool agree = true;      // to the question about unsaved changes
    QString target{};        // the file chosen (Save's own file); empty: the dialog cancelled
    QByteArray before{};     // what the target holds beforehand; "dir": a folder, "fifo": a FIFO
    bool readOnly = false;   // by its permission bits (the superuser could still write it)
    QString message{};       // shown after the dialog
    std::optional<QByteArray> list{};  // afterwards, as a file holds it, when it changed
    QString file = u"default.cdb"_s;   // databaseFileName() afterwards, if any
    std::optional<QString> status{};   // afterwards, when it changed
};

} // namespace

Q_DECLARE_METATYPE(Case)

// The main window driven through its controls, with files checked byte for byte; the
// scripted prompter fails a test on any message that is not announced.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void database_data()
    {
        const QByteArray builtIn = goldenFile(u"builtin.cdb"_s);
        const QByteArray empty = goldenFile(u"empty.cdb"_s);
        const QString failure = u"<write failure>"_s;
        QTest::addColumn<Case>("c");
        QTest::newRow("start-up, default.cdb valid") << Case{};
        QTest::newRow("start-up, no default.cdb") << Case{.start = {}, .list = builtIn, .file = {}, .status = BuiltIn};
        QTest::newRow("start-up, default.cdb invalid")
            << Case{.start = QByteArray("Hello\r\n"), .list = builtIn, .file = {}, .status = BuiltIn};
        QTest::newRow("New, agreed, over a longer file") << Case{.command = "newDatabaseAction", .target = u"new.cdb"_s,
            .before = builtIn, .list = empty, .file = u"new.cdb"_s};
        QTest::newRow("New, not agreed") << Case{.command = "newDatabaseAction", .agree = false};
        // The emptied list no longer belongs to the file it came from, so that no later
        // Save writes it there.
        QTest::newRow("New, dialog cancelled") << Case{.command = "newDatabaseAction", .list = empty, .file = {}};
        QTest::newRow("New, dialog cancelled, saved before")
            << Case{.command = "newDatabaseAction", .modified = false, .list = empty, .file = {}};
        // New, Save and Save as leave a read-only file alone, whoever runs them.
        QTest::newRow("New, read-only") << Case{.command = "newDatabaseAction", .target = u"new.cdb"_s, .before = builtIn,
            .readOnly = true, .message = ReadOnly, .list = empty, .file = {}, .status = WasReadOnly};
        QTest::newRow("New, a folder in the way") << Case{.command = "newDatabaseAction", .target = u"new.cdb"_s,
            .before = "dir", .message = failure, .list = empty, .file = {}};
        QTest::newRow("Open, agreed") << Case{.command = "openDatabaseAction", .target = u"other.cdb"_s, .before = builtIn,
            .list = builtIn, .file = u"other.cdb"_s, .status = u"Entries : 41"_s};
        QTest::newRow("Open, not agreed") << Case{.command = "openDatabaseAction", .agree = false};
        QTest::newRow("Open, not a database")
            << Case{.command = "openDatabaseAction", .target = u"other.cdb"_s, .before = "Hello\r\n", .message = NotADatabase};
        QTest::newRow("Open, unreadable")
            << Case{.command = "openDatabaseAction", .target = u"other.cdb"_s, .before = "dir", .message = NotADatabase};
        QTest::newRow("Save") << Case{.command = "saveDatabaseAction", .target = u"default.cdb"_s};
        QTest::newRow("Save, a folder in the way")
            << Case{.command = "saveDatabaseAction", .target = u"default.cdb"_s, .before = "dir", .message = failure};
        QTest::newRow("Save, read-only") << Case{.command = "saveDatabaseAction", .target = u"default.cdb"_s,
            .before = goldenFile(u"three.cdb"_s), .readOnly = true, .message = ReadOnly, .status = WasReadOnly};
        QTest::newRow("Save, no file") << Case{.command = "saveDatabaseAction", .start = {}, .modified = false,
            .message = u"Current database has no name ! Please use 'Save as' instead."_s, .list = builtIn,
            .file = {}, .status = BuiltIn};
        QTest::newRow("Save as, over a longer file") << Case{.command = "saveDatabaseAsAction", .target = u"copy.cdb"_s,
            .before = builtIn, .file = u"copy.cdb"_s, .status = QString()};
        QTest::newRow("Save as, read-only") << Case{.command = "saveDatabaseAsAction", .target = u"copy.cdb"_s, .before = builtIn,
            .readOnly = true, .message = ReadOnly, .status = WasReadOnly};
        QTest::newRow("Save as, dialog cancelled") << Case{.command = "saveDatabaseAsAction", .status = u"Save database canceled"_s};
        // A FIFO is neither read (that would wait for its other end, the window frozen)
        // nor replaced by a file.
        QTest::newRow("Open, a FIFO")
            << Case{.command = "openDatabaseAction", .target = u"pipe.cdb"_s, .before = "fifo", .message = NotADatabase};
        QTest::newRow("Save as, over a FIFO")
            << Case{.command = "saveDatabaseAsAction", .target = u"pipe.cdb"_s, .before = "fifo", .message = failure, .status = QString()};
        for (const char *command : {"exitAction", "close"}) {
            QTest::addRow("%s, agreed", command) << Case{.command = command};
            QTest::addRow("%s, not agreed", command) << Case{.command = command, .agree = false};
        }
    }

    void database()
    {
        QFETCH(Case, c);
        const QString command = QString::fromLatin1(c.command);
        const bool modified = c.command && c.modified;
        QTemporaryDir elsewhere;
        TestWindow t(c.start);
        const QString target = c.target.isEmpty() ? QString() : t.path(c.target);
        QFile before(target);
        const bool fifo = c.before == "fifo";
        if (c.before == "dir")
            QVERIFY((before.remove() || true) && QDir().mkdir(target));
        else if (fifo)
            QVERIFY(makeFifo(target));
        else if (!c.before.isEmpty())
            QVERIFY(before.open(QIODevice::WriteOnly | QIODevice::Truncate) && before.write(c.before) > 0);
        before.close();
        if (c.readOnly)
            QVERIFY(before.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        if (modified) {
            t.clickRow(0);
            t.click("moveEntryDownButton");
        }
        const bool quitting = command == u"exitAction"_s || command == u"close"_s;
        if (modified && (quitting || command == u"newDatabaseAction"_s || command == u"openDatabaseAction"_s)) {
            t.prompter.expectQuestion(quitting ? u"Database has been modified ! Quit anyway ?"_s
                                               : u"Database has been modified ! Continue anyway ?"_s, c.agree);
        }
        const bool open = command == u"openDatabaseAction"_s;
        const QString title = open ? u"Open configuration database"_s
            : command == u"newDatabaseAction"_s  ? u"New configuration database"_s
                                   : u"Save configuration database as..."_s;
        if (c.agree && (open || command == u"newDatabaseAction"_s || command == u"saveDatabaseAsAction"_s)) {
            t.prompter.expectFile({open ? Prompter::FileRequest::Style::Open : Prompter::FileRequest::Style::Save,
                                   title, u"Configuration databases (*.cdb)"_s, u"cdb"_s, !open}, target);
        }
        // A failed write names the file and gives the system's reason on a line of its own.
        if (c.message == u"<write failure>"_s) {
            t.prompter.expectMessageMatching(QRegularExpression::escape(
                u"Couldn't write database file <"_s + QDir::toNativeSeparators(target) + u"> !\n"_s) + u"\\S.*"_s);
        } else if (!c.message.isEmpty()) {
            t.prompter.expectMessage(c.message);
        }
        QDir::setCurrent(elsewhere.path());  // as a file dialog may leave it
        std::optional<FifoOtherEndLater> otherEnd;
        if (fifo)
            otherEnd.emplace(target);
        QElapsedTimer clock;
        clock.start();
        if (command == u"close"_s)
            t.window().close();
        else if (c.command)
            t.trigger(c.command);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(u"%1 ms"_s.arg(clock.elapsed())));

        const bool done = !target.isEmpty() && c.message.isEmpty();
        const QByteArray three = goldenFile(u"three.cdb"_s);
        const QByteArray moved = three.left(18) + three.mid(52, 34) + three.mid(18, 34) + three.mid(86);
        const QByteArray list = c.list.value_or(modified ? moved : three);
        QCOMPARE(cdbBytes(t.entries()), list);
        QCOMPARE(t.status(), c.status.value_or(modified ? u"Configuration selected : KT 610-ST"_s
                                                        : u"Default database file loaded"_s));
        QCOMPARE(t.saved(), done || !modified);
        QCOMPARE(t.fileName(), c.file.isEmpty() ? QString() : t.path(c.file));
        if (fifo)
            QCOMPARE(fileType(target), mode_t(S_IFIFO));  // neither read nor replaced
        else if (!target.isEmpty()) {
            QCOMPARE(contents(target), done && command != u"openDatabaseAction"_s ? list
                                       : c.before.isEmpty() || c.before == "dir" ? NoFile : c.before);
        }
        if (c.readOnly)  // its mode as well: no write permission was added
            QCOMPARE(QFile::permissions(target) & QFileDevice::Permissions(0x7077),
                     QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        if (c.target != u"default.cdb"_s)
            QCOMPARE(contents(t.path(u"default.cdb"_s)), c.start.value_or(NoFile));
        QCOMPARE(t.window().isVisible(), !quitting || !c.agree);
        // A list without a file is never saved over one: Save asks for Save as.
        if (t.fileName().isEmpty() && t.window().isVisible()) {
            const QDir start = QFileInfo(t.path(u"default.cdb"_s)).dir();
            const QStringList files = start.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            t.prompter.expectMessage(u"Current database has no name ! Please use 'Save as' instead."_s);
            t.trigger("saveDatabaseAction");
            QCOMPARE(start.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), files);
            QCOMPARE(contents(t.path(u"default.cdb"_s)), c.start.value_or(NoFile));
        }
        if (c.command)
            return;
        // At start-up no chip is known: only detection is offered, and has the focus.
        QCOMPARE(t.window().focusWidget(), t.get("detectButton"));
        for (const char *button : {"checkConfigurationButton", "configureChipsetButton", "wakeUpButton", "sleepButton", "resetButton"})
            QVERIFY2(!t.get(button)->isEnabled(), button);
        QCOMPARE(t.get<QLabel>("portLabel")->text(), u"No chipset found, please"_s);
        QCOMPARE(t.get<QLabel>("baudRateLabel")->text(), u"perform a chipset detection"_s);
        QCOMPARE(t.get<QLabel>("firmwareIdentityLabel")->text(), u"Please, run chipset detection"_s);
        QCOMPARE(t.checked(), QStringList());
        QVERIFY(!t.get<QMenu>("databaseEditionMenu")->menuAction()->isVisible());
    }

    // 255 entries are written; one more is refused by Save and Save as, nothing written.
    void tooManyEntries()
    {
        QList<Entry> entries;
        for (int i = 0; i < 255; ++i)
            entries.append({u"Entry %1"_s.arg(i), u"1111110000100000"_s});
        TestWindow t(cdbBytes(entries));
        QVERIFY(QFile::remove(t.path(u"default.cdb"_s)));
        t.trigger("saveDatabaseAction");
        QCOMPARE(contents(t.path(u"default.cdb"_s)), cdbBytes(entries));
        t.window().editor().showWord(*ConfigWord::fromText(u"1111110000100000"));
        t.get<QLineEdit>("identityEdit")->setText(u"One too many"_s);
        t.click("saveConfigurationButton");
        for (const char *command : {"saveDatabaseAction", "saveDatabaseAsAction"}) {
            t.prompter.expectMessage(u"The database has 256 entries, a database file can hold only 255 ! "
                                     "Please delete some entries first."_s);
            t.trigger(command);
        }
        QCOMPARE(contents(t.path(u"default.cdb"_s)), cdbBytes(entries));
        QVERIFY(!t.saved());
    }

    // Hardware locks the option groups and Automatic the name, as clicked; the Printer
    // mode options are display-only.
    void modeRules_data()
    {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("optionsEnabled");
        QTest::addColumn<bool>("nameEnabled");
        QTest::newRow("none selected") << QString() << true << true;
        QTest::newRow("Software, User") << u"softwareModeOption userIdentityOption"_s << true << true;
        QTest::newRow("Software, Automatic") << u"softwareModeOption automaticIdentityOption"_s << true << false;
        QTest::newRow("Hardware, User") << u"hardwareModeOption userIdentityOption"_s << false << true;
        QTest::newRow("Hardware, Automatic") << u"hardwareModeOption automaticIdentityOption"_s << false << false;
        QTest::newRow("Hardware, Automatic, Software, User") << u"hardwareModeOption automaticIdentityOption softwareModeOption userIdentityOption"_s << true << true;
    }

    void modeRules()
    {
        QFETCH(QString, clicks);
        QFETCH(bool, optionsEnabled);
        QFETCH(bool, nameEnabled);
        TestWindow t;
        for (const QString &name : clicks.split(u' ', Qt::SkipEmptyParts))
            t.click(qPrintable(name));
        for (QRadioButton *option : t.window().editor().editableOptions())
            QVERIFY2(option->isEnabled() == optionsEnabled, qPrintable(option->objectName()));
        QCOMPARE(t.get("identityEdit")->isEnabled(), nameEnabled);
        QVERIFY(!t.get("pnxModeOption")->isEnabled() && !t.get("chipsetModeOption")->isEnabled());
    }

    // Saving is refused while a field is undefined, field by field in this order, then
    // without a name; the list and the flag stay. Then the name, cut to 16
    // characters, is looked up exactly: a new one is appended, an existing one overwritten
    // after asking (or not); either way the entry is selected and the database modified.
    // The word saved is the one the clicked options' handlers stored.
    void saveConfiguration()
    {
        const char *const options[] = {"voltage3Option", "standardMechanismOption", "oneStepOption", "invertedRotationOption",
                                       "highSpeedHeadOption", "positiveStrobeOption", "width4InchOption", "invertedHeadUpOption"};
        const char *const fields[] = {"Voltage", "Mechanism type", "Steps per dotline", "Stepper sense",
                                      "Head type", "Strobe polarity", "Head width", "Head-up polarity"};
        QList<Entry> expected = {{u"KT 610-ST"_s, u"1111110000100000"_s},
                                 {u"Own head, 3 inch"_s, u"1100001101100000"_s},
                                 {u"TAV 7110"_s, u"1101100000100000"_s}};
        TestWindow t(cdbBytes(expected));
        auto *name = t.get<QLineEdit>("identityEdit");
        name->setText(u"A name longer than sixteen"_s);
        for (int i = 0; i < 8; ++i) {
            t.prompter.expectMessage(QLatin1String(fields[i]) + u" is not defined !"_s);
            t.click("saveConfigurationButton");
            QCOMPARE(t.status(), u"New configuration not created !"_s);
            t.click(options[i]);
        }
        name->clear();
        t.prompter.expectMessage(u"Please enter a configuration name !"_s);
        t.click("saveConfigurationButton");
        QCOMPARE(t.entries(), expected);
        QVERIFY(t.saved());

        const struct
        {
            QString typed;
            int answer;  // to the question about overwriting: 1 OK, 0 Cancel, -1 none asked
            QString stored;
            int row;
        } saves[] = {{u"ABCDEFGHIJKLMNOPQ"_s, -1, u"ABCDEFGHIJKLMNOP"_s, 3}, {u"kt 610-st"_s, -1, u"kt 610-st"_s, 4},
                     {u"TAV 7110 "_s, -1, u"TAV 7110 "_s, 5}, {u"Own head, 3 inch"_s, 0, u"Own head, 3 inch"_s, 1},
                     {u"Own head, 3 inch v2."_s, 1, u"Own head, 3 inch"_s, 1}};
        QString word = u"1011101010010000"_s;  // of the options clicked above
        for (const auto &save : saves) {
            t.window().database().setDatabaseSaved(true);
            name->setText(save.typed);
            if (save.answer >= 0)
                t.prompter.expectQuestion(u"Overwrite existing configuration <"_s + save.stored + u"> ?"_s, save.answer);
            t.click("saveConfigurationButton");
            if (save.answer < 0)
                expected.append({save.stored, word});
            else if (save.answer)
                expected[save.row].second = word;
            QCOMPARE(t.entries(), expected);
            QCOMPARE(t.selectedRow(), save.row);
            QCOMPARE(t.status(), u"Configuration selected : "_s + save.stored);
            QCOMPARE(name->text(), save.stored);
            QVERIFY(!t.saved());
            t.window().editor().showWord(*ConfigWord::fromText(u"0010000000000000"));  // PNX from now on: saved as Chipset
            word = u"1010000000000000"_s;
        }
    }

    // The four buttons refused and the pop-up not opened without a selection; the pop-up
    // opened by a right click that leaves the selection alone. Then moves and deletes by
    // button and by the pop-up's entries, first at the ends and with both answers to
    // Delete's question, then at random, each checked against a plain list, with the
    // selection, the status bar and the flag. A new random sequence each run;
    // QV12_TEST_SEED repeats the one a failure printed.
    void listOperations()
    {
        // The command, the row selected and, for Delete, the answer.
        const QStringList first = {u"moveEntryUpButton 0"_s, u"moveDownAction 40"_s, u"deleteEntryButton 3 Cancel"_s, u"deleteAction 3 OK"_s};
        const char *const commands[] = {"moveEntryUpButton", "moveUpAction", "moveEntryDownButton", "moveDownAction", "deleteEntryButton", "deleteAction"};
        bool given = false;
        quint32 seed = qEnvironmentVariable("QV12_TEST_SEED").toUInt(&given);
        if (!given)
            seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);

        TestWindow t;
        for (const char *button : {"analyseEntryButton", "deleteEntryButton", "moveEntryUpButton", "moveEntryDownButton"}) {
            t.prompter.expectMessage(u"Please select a database entry first !"_s);
            t.click(button);
        }
        t.clickRow(1, Qt::RightButton);
        QVERIFY(!t.get<QMenu>("databaseEditionMenu")->isVisible());
        t.clickRow(2);
        t.clickRow(1, Qt::RightButton);
        QTRY_VERIFY(t.get<QMenu>("databaseEditionMenu")->isVisible() && t.selectedRow() == 2);
        t.get<QMenu>("databaseEditionMenu")->hide();
        QList<Entry> expected = t.entries();
        for (int step = 0; step < 80; ++step) {
            const QStringList scripted = first.value(step).split(u' ', Qt::SkipEmptyParts);
            const QString command = scripted.value(0, QString::fromLatin1(commands[random.bounded(6)]));
            const int row = scripted.isEmpty() ? int(random.bounded(quint32(expected.size()))) : scripted[1].toInt();
            const bool agree = scripted.isEmpty() ? random.bounded(2) : scripted.value(2) == u"OK"_s;
            t.clickRow(row);
            t.window().database().setDatabaseSaved(true);
            const QString status = t.status();
            const bool deleting = command.startsWith(u"delete"_s);
            const int moved = qBound(0, row + (command.contains(u"Up"_s) ? -1 : 1),
                                     int(expected.size()) - 1);
            const int selected = deleting ? (agree ? -1 : row) : moved;
            if (deleting) {
                t.prompter.expectQuestion(u"This will delete configuration <"_s + expected.at(row).first
                                              + u"> form the database !"_s, agree);
            }
            if (!deleting)
                expected.swapItemsAt(row, moved);
            else if (agree)
                expected.removeAt(row);
            // A button ("...Button") or an entry of the pop-up ("...Action").
            command.endsWith(u"Button") ? t.click(qPrintable(command)) : t.trigger(qPrintable(command));
            QCOMPARE(t.entries(), expected);
            QCOMPARE(t.selectedRow(), selected);
            QCOMPARE(t.status(), status);  // a moved entry is named again
            QVERIFY(!t.saved());
        }
    }

    // Analysing shows the entry's word in the editor through the options' handlers, on
    // locked options too; head type 3, head width 5 and head-up polarity 2 have no option,
    // so those frames keep what they showed, and a 2 where an option is on or off selects
    // it. By the pop-up the modes stay; the button chooses Software and User, so that the
    // whole panel can be edited.
    void analyse()
    {
        TestWindow t(cdbBytes({{u"Odd codes"_s, u"1200011110120000"_s}}));
        t.click("hardwareModeOption");
        t.click("automaticIdentityOption");
        t.clickRow(0);
        for (const bool byButton : {false, true}) {
            t.window().editor().showWord(*ConfigWord::fromText(u"1111110000100000"));
            byButton ? t.click("analyseEntryButton") : t.trigger("analyseAction");
            QStringList shown = u"chipsetModeOption voltage5Option tavMechanismOption twoStepsOption normalRotationOption standardHeadOption negativeStrobeOption width2InchNormalOption normalHeadUpOption"_s
                                    .split(u' ');
            shown << (byButton ? u"softwareModeOption"_s : u"hardwareModeOption"_s) << (byButton ? u"userIdentityOption"_s : u"automaticIdentityOption"_s);
            shown.sort();
            QCOMPARE(t.checked(), shown);
            QCOMPARE(t.window().editor().fields(),
                     (EditorFields{PrinterMode::Chipset, LogicVoltage::Volts5, Mechanism::Tav, MotorSteps::TwoPerDotLine,
                                   MotorRotation::Normal, HeadType{3}, StrobePolarity::Negative, HeadWidth{5},
                                   HeadUpPolarity{2}}));
            QCOMPARE(t.get<QLineEdit>("identityEdit")->text(), u"Odd codes"_s);
            QCOMPARE(t.get("identityEdit")->isEnabled(), byButton);
            QCOMPARE(t.get("width1InchOption")->isEnabled(), byButton);
        }
    }

    // The captions are the program's own texts, runs of blanks and inch marks included.
    void captions()
    {
        TestWindow t;
        const QList<std::pair<const char *, QString>> captions = {
            {"voltage5Option", u"5     Volts"_s}, {"voltage3Option", u"3.3  Volts"_s},
            {"oneStepOption", u"1 step/dotline"_s}, {"twoStepsOption", u"2 steps/dotline"_s},
            {"width1InchOption", u"1''               192 pixels"_s}, {"width2InchNormalOption", u"2'' normal    384 pixels"_s},
            {"width2InchWideOption", u"2'' wide       448 pixels"_s}, {"width3InchOption", u"3 ''              576 pixels"_s},
            {"width4InchOption", u"4 ''              832 pixels"_s}, {"lowVoltageHeadOption", u"LV (low voltage)"_s},
            {"positiveStrobeOption", u"Positive"_s}, {"negativeStrobeOption", u"Negative"_s},
            {"hardwareModeOption", u"Hardware"_s}, {"automaticIdentityOption", u"Automatic"_s},
            {"saveConfigurationButton", u"Save configuration to database"_s}, {"detectButton", u"Detect Chipset"_s}};
        for (const auto &[name, text] : captions)
            QCOMPARE(t.get<QAbstractButton>(name)->text(), text);
        QCOMPARE(t.get<QGroupBox>("headUpPolarityGroup")->title(), u"Head-up polarity"_s);
        QCOMPARE(t.get<QLabel>("firmwareIdentityLabel")->text(), u"Please, run chipset detection"_s);
        QCOMPARE(t.window().windowTitle(), u"QV12 Configurator"_s);
    }

    // The splash shows the revision, and the main window appears, loaded, once its
    // 1500 ms are up; the tick runs once.
    void splash()
    {
        int shown = 0;
        QElapsedTimer clock;
        clock.start();
        SplashScreen splash([&] { ++shown; });
        splash.runLoadSteps();
        QCOMPARE(splash.findChild<QLabel *>(u"revisionLabel"_s)->text(), u"Rev: 2.4"_s);
        QTRY_COMPARE_WITH_TIMEOUT(shown, 1, 5000);
        QVERIFY2(clock.elapsed() >= 1490, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY(!splash.isVisible());
        QCOMPARE(shown, 1);
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
