#include "testwindow.h"

#include "app/editorpanel.h"
#include "app/splashscreen.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QDir>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

const char *const EditorOptionNames[] = {
    "ModePNX", "ModeChipset", "Voltage3", "Voltage5", "MechaStd", "MechaTAV", "Step1", "Steps2",
    "StepperNormal", "StepperInverted", "HW1", "HW2N", "HW2W", "HW3", "HW4", "StrobeRohm",
    "StrobeKyo", "HeadST", "HeadLV", "HeadHS", "HupNormal", "HupInverted"};
const char *const ModeOptionNames[] = {"ConfRes", "ConfUser", "IdAuto", "IdUser"};
const char *const ChipButtonNames[] = {"GetSettings", "ConfigPrinter", "Wakeup", "SleepButton",
                                       "Reset"};

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts.append(action->isSeparator() ? u"----"_s : action->text());
    return texts;
}

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void defaultDatabase_data();
    void defaultDatabase();
    void noChipsetState();
    void editorStartsUndefined();
    void optionsClearEvenWhenSelected();
    void captions_data();
    void captions();
    void menus();
    void keyboardFocusAndTabOrder();
    void windowFrame();
    void startDirectoryIsTheCurrentDirectory();
    void splashShowsTheMainWindowOnce();
};

void tst_Startup::defaultDatabase_data()
{
    QTest::addColumn<std::optional<QByteArray>>("file");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QList<Entry>>("expected");
    QTest::addColumn<QString>("expectedStatus");
    QTest::addColumn<bool>("accepted");

    const QString loaded = u"Default database file loaded"_s;
    const QString builtIn = u"default.cdb file error, default list created."_s;
    const QByteArray three = goldenFile(u"three.cdb"_s);
    const QList<Entry> threeEntries = {{u"KT 610-ST"_s, u"1111110000100000"_s},
                                       {u"Own head 3in"_s, u"1100001101100000"_s},
                                       {u"TAV 7110"_s, u"1101100000100000"_s}};

    QTest::newRow("missing") << std::optional<QByteArray>() << false << builtInEntries()
                             << builtIn << false;
    QTest::newRow("valid, 3 entries") << std::optional(three) << false << threeEntries << loaded
                                      << true;
    QTest::newRow("valid, 0 entries") << std::optional(goldenFile(u"empty.cdb"_s)) << false
                                      << QList<Entry>() << loaded << true;
    QTest::newRow("not a database") << std::optional(QByteArray("Hello, world\r\n")) << false
                                    << builtInEntries() << builtIn << false;
    QTest::newRow("magic in lower case")
        << std::optional(QByteArray("klvprinterscdb0") + three.mid(15)) << false
        << builtInEntries() << builtIn << false;
    QTest::newRow("empty file") << std::optional(QByteArray()) << false << builtInEntries()
                                << builtIn << false;
    QTest::newRow("ends inside a record") << std::optional(three.left(70)) << false
                                          << builtInEntries() << builtIn << false;
    QTest::newRow("cannot be read") << std::optional<QByteArray>() << true << builtInEntries()
                                    << builtIn << false;
}

void tst_Startup::defaultDatabase()
{
    QFETCH(std::optional<QByteArray>, file);
    QFETCH(bool, directory);
    QFETCH(QList<Entry>, expected);
    QFETCH(QString, expectedStatus);
    QFETCH(bool, accepted);

    TestWindow t(file, directory ? TestWindow::DefaultFile::Directory : TestWindow::DefaultFile::None);

    QCOMPARE(t.entries(), expected);
    QCOMPARE(t.status(), expectedStatus);
    QVERIFY(t.saved());
    QCOMPARE(t.fileName(), accepted ? t.path(u"default.cdb"_s) : QString());
    QCOMPARE(t.selectedRow(), -1);
    // Start-up reports in the status bar only, whatever the file holds.
    QVERIFY(t.prompter.prompts().isEmpty());
}

void tst_Startup::noChipsetState()
{
    TestWindow t;
    QCOMPARE(t.get<QLabel>("LabelCom")->text(), u"No chipset found, please"_s);
    QCOMPARE(t.get<QLabel>("LabelBauds")->text(), u"perform a chipset detection"_s);
    QCOMPARE(t.get<QLabel>("Identity")->text(), u"Please, run chipset detection"_s);
    QVERIFY(t.get<QPushButton>("GetID")->isEnabled());
    for (const char *name : ChipButtonNames)
        QVERIFY2(!t.get<QWidget>(name)->isEnabled(), name);
    for (const char *name : {"LabelCom", "LabelBauds", "Identity"})
        QCOMPARE(t.get<QLabel>(name)->textFormat(), Qt::PlainText);
}

void tst_Startup::editorStartsUndefined()
{
    TestWindow t;
    QCOMPARE(t.window().editor().fields(), EditorFields{});
    QCOMPARE(t.window().editor().fields().PrinterMode, qint16(0));
    for (const char *name : EditorOptionNames)
        QVERIFY2(!t.get<QRadioButton>(name)->isChecked(), name);
    for (const char *name : ModeOptionNames)
        QVERIFY2(!t.get<QRadioButton>(name)->isChecked(), name);
    // Nothing locks the panel yet: every option but the display-only Printer mode ones,
    // and the name box, can be changed.
    for (QRadioButton *option : t.window().editor().editableOptions())
        QVERIFY2(option->isEnabled(), qPrintable(option->objectName()));
    QVERIFY(!t.get<QRadioButton>("ModePNX")->isEnabled());
    QVERIFY(!t.get<QRadioButton>("ModeChipset")->isEnabled());
    QVERIFY(t.get<QLineEdit>("ConfigName")->isEnabled());
    QVERIFY(t.get<QLineEdit>("ConfigName")->text().isEmpty());
}

void tst_Startup::optionsClearEvenWhenSelected()
{
    TestWindow t;
    EditorPanel &editor = t.window().editor();
    // One option of every group selected, from code and by the mouse.
    editor.DecodeConfig(u"1111110000100000");
    t.click("HW3");
    const EditorFields before = editor.fields();

    editor.clearOptions();
    for (const char *name : EditorOptionNames)
        QVERIFY2(!t.get<QRadioButton>(name)->isChecked(), name);
    QCOMPARE(editor.fields(), before);  // no handler ran

    // The groups are exclusive again afterwards.
    t.click("Voltage5");
    t.click("Voltage3");
    QVERIFY(t.get<QRadioButton>("Voltage3")->isChecked());
    QVERIFY(!t.get<QRadioButton>("Voltage5")->isChecked());
}

void tst_Startup::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const char *const table[][2] = {
        {"Frame9", "Mechanism database"}, {"DbbAnalyse", "Analyse current entry"},
        {"DbbDelete", "Delete current entry"}, {"DbUp", "Move up"}, {"DbDown", "Move down"},
        {"Frame8", "Configuration editor"}, {"IdEditor", "Mechanism identity"},
        {"Printermode", "Printer mode"}, {"ModePNX", "PNX"}, {"ModeChipset", "Chipset"},
        {"Frame1", "Logic voltage"}, {"Voltage5", "5     Volts"}, {"Voltage3", "3.3  Volts"},
        {"Frame2", "Mechanism"}, {"MechaStd", "Standard"}, {"MechaTAV", "TAV"},
        {"Frame3", "Motor steps"}, {"Step1", "1 step/dotline"}, {"Steps2", "2 steps/dotline"},
        {"Frame4", "Motor rotation"}, {"StepperNormal", "Normal"},
        {"StepperInverted", "Inverted"}, {"Frame11", "Head-up polarity"},
        {"HupNormal", "Normal"}, {"HupInverted", "Inverted"}, {"Frame7", "Head width"},
        {"HW1", "1''               192 pixels"}, {"HW2N", "2'' normal    384 pixels"},
        {"HW2W", "2'' wide       448 pixels"}, {"HW3", "3 ''              576 pixels"},
        {"HW4", "4 ''              832 pixels"}, {"Frame5", "Head type"},
        {"HeadST", "ST (standard)"}, {"HeadHS", "HS (high speed)"},
        {"HeadLV", "LV (low voltage)"}, {"Frame6", "Strobe polarity"},
        {"StrobeRohm", "Positive"}, {"StrobeKyo", "Negative"},
        {"NewConfig", "Save configuration to database"}, {"Frame10", "Chipset"},
        {"Identityf", "Firmware Identity"}, {"GetID", "Detect Chipset"},
        {"Frame12", "Configuration mode"}, {"ConfRes", "Hardware"}, {"ConfUser", "Software"},
        {"Frame13", "Identity determination"}, {"IdAuto", "Automatic"}, {"IdUser", "User"},
        {"GetSettings", "Check configuration"}, {"ConfigPrinter", "Configure chipset"},
        {"Frame14", "Communication"}, {"Wakeup", "Wake up"}, {"SleepButton", "Sleep"},
        {"Reset", "Reset"},
    };
    for (const auto &row : table)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void tst_Startup::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    TestWindow t;
    QWidget *control = t.window().findChild<QWidget *>(name);
    QVERIFY(control);
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        QCOMPARE(frame->title(), caption);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        QCOMPARE(button->text(), caption);
    else
        QFAIL("not a frame or a button");
}

void tst_Startup::menus()
{
    TestWindow t;
    QStringList shown;
    for (const QAction *action : t.window().menuBar()->actions()) {
        if (action->isVisible())
            shown.append(action->text());
    }
    QCOMPARE(shown, (QStringList{u"Database"_s, u"Communication"_s, u"Help"_s}));
    QCOMPARE(menuTexts(t.get<QMenu>("File")),
             (QStringList{u"New database"_s, u"Open database"_s, u"----"_s, u"Save database"_s,
                          u"Save database as..."_s, u"----"_s, u"Exit"_s}));
    QCOMPARE(menuTexts(t.get<QMenu>("Comm")), QStringList{u"Detect a printer"_s});
    QCOMPARE(menuTexts(t.get<QMenu>("Help")),
             (QStringList{u"Contents"_s, u"----"_s, u"About"_s}));
    QCOMPARE(t.get<QMenu>("dbOps")->title(), u"Database Edition"_s);
    QCOMPARE(menuTexts(t.get<QMenu>("dbOps")),
             (QStringList{u"Analyse"_s, u"Delete"_s, u"Move up"_s, u"Move down"_s}));
    // The entries are the named actions, not look-alikes.
    QCOMPARE(t.get<QMenu>("File")->actions().first(), t.get<QAction>("Ndb"));
    QCOMPARE(t.get<QMenu>("dbOps")->actions().last(), t.get<QAction>("dbMovedown"));
}

void tst_Startup::keyboardFocusAndTabOrder()
{
    TestWindow t;
    QCOMPARE(t.window().focusWidget(), t.get<QWidget>("GetID"));

    for (const char *name : EditorOptionNames)
        QVERIFY2(!(t.get<QWidget>(name)->focusPolicy() & Qt::TabFocus), name);
    for (const char *name : ModeOptionNames)
        QVERIFY2(t.get<QWidget>(name)->focusPolicy() & Qt::TabFocus, name);
    QVERIFY(t.get<QWidget>("ConfigName")->focusPolicy() & Qt::TabFocus);

    // Tab from "Detect Chipset" goes through the four mode options first.
    QStringList order;
    QWidget *widget = t.get<QWidget>("GetID");
    while (order.size() < 4) {
        widget = widget->nextInFocusChain();
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible())
            order.append(widget->objectName());
    }
    QCOMPARE(order, (QStringList{u"ConfRes"_s, u"ConfUser"_s, u"IdAuto"_s, u"IdUser"_s}));
}

void tst_Startup::windowFrame()
{
    TestWindow t;
    MainWindow &w = t.window();
    QCOMPARE(w.windowTitle(), u"QV12 Configurator"_s);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.size(), w.minimumSize());

    // Three framed columns of one height, left to right, above the status bar.
    const QRect left = t.get<QWidget>("Frame9")->geometry();
    const QRect middle = t.get<QWidget>("Frame8")->geometry();
    const QRect right = t.get<QWidget>("Frame10")->geometry();
    QVERIFY(left.right() < middle.left());
    QVERIFY(middle.right() < right.left());
    QCOMPARE(left.height(), middle.height());
    QCOMPARE(middle.height(), right.height());
    const QWidget *statusBar = t.get<QStatusBar>("StatusBar");
    QVERIFY(statusBar->mapTo(&w, QPoint(0, 0)).y()
            > t.get<QWidget>("Frame8")->mapTo(&w, QPoint(0, middle.height())).y() - 1);
    QVERIFY(!t.get<QListView>("List2")->isVisible());
    QVERIFY(t.get<QListView>("List1")->isVisible());

    const QRect screen = w.screen()->availableGeometry();
    // Centred as the window is shown; the platform may add its frame only afterwards.
    const QMargins frame = w.windowHandle()->frameMargins();
    const int tolerance = 1 + qMax(frame.left() + frame.right(), frame.top() + frame.bottom());
    QVERIFY2(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= tolerance,
             qPrintable(u"%1 %2"_s.arg(w.frameGeometry().center().x()).arg(screen.center().x())));
    QVERIFY(qAbs(w.frameGeometry().center().y() - screen.center().y()) <= tolerance);
}

void tst_Startup::startDirectoryIsTheCurrentDirectory()
{
    TestWindow t;
    QCOMPARE(t.context.StartDirectory(), QDir::currentPath() + u'/');
    QVERIFY(!t.context.StartDirectory().endsWith(u"//"_s));
}

void tst_Startup::splashShowsTheMainWindowOnce()
{
    int calls = 0;
    bool splashVisibleDuringLoad = false;
    qint64 elapsedAtCall = 0;
    QElapsedTimer clock;
    SplashScreen *splash = nullptr;
    splash = new SplashScreen([&] {
        ++calls;
        elapsedAtCall = clock.elapsed();
        splashVisibleDuringLoad = splash->isVisible();
    });
    QPointer<SplashScreen> guard(splash);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    clock.start();
    splash->Form_Load();

    QVERIFY(splash->isVisible());
    QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
    const auto *rev = splash->findChild<QLabel *>(u"Rev"_s);
    QVERIFY(rev);
    QCOMPARE(rev->text(), u"Rev: 2.4"_s);
    QCOMPARE(rev->font().family(), u"Times New Roman"_s);
    QCOMPARE(rev->font().styleHint(), QFont::Serif);
    QVERIFY(!splash->findChild<QLabel *>(u"Picture1"_s)->pixmap().isNull());
    auto *timer = splash->findChild<QTimer *>(u"Timer"_s);
    QVERIFY(timer);
    QCOMPARE(timer->interval(), SplashScreen::DisplayMs);

    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
    QVERIFY(splashVisibleDuringLoad);
    QVERIFY2(elapsedAtCall >= SplashScreen::DisplayMs - 5, qPrintable(QString::number(elapsedAtCall)));
    QVERIFY(!timer->isActive());
    QTRY_VERIFY(guard.isNull());  // closed and gone
    QCOMPARE(calls, 1);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
