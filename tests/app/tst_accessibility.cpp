// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "testwindow.h"

#include "app/aboutwindow.h"
#include "app/helpmenuwindows.h"
#include "app/portselectiondialog.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// One interface of a window's accessibility tree, as a screen reader meets it.
struct Node
{
    QAccessibleInterface *interface = nullptr;
    QAccessibleInterface *parent = nullptr;
    bool inClosedPopup = false;  // a menu or drop-down list that is not open, or inside one
};

QString name(const QAccessibleInterface *interface)
{
    return interface ? interface->text(QAccessible::Name) : u"<none>"_s;
}

QString describe(const QAccessibleInterface *interface)
{
    const QObject *object = interface->object();
    return u"%1 (role %2, %3)"_s.arg(name(interface)).arg(int(interface->role()))
        .arg(object ? object->objectName() : u"no object"_s);
}

// The whole tree under window, depth first, walked through child(i) as the bridge to the
// screen reader walks it.
QList<Node> tree(QWidget &window)
{
    QList<Node> nodes;
    std::function<void(QAccessibleInterface *, QAccessibleInterface *, bool)> visit =
        [&](QAccessibleInterface *interface, QAccessibleInterface *parent, bool closed) {
            const QAccessible::Role role = interface->role();
            const bool popup = role == QAccessible::PopupMenu
                || (role == QAccessible::List && parent && parent->role() == QAccessible::ComboBox);
            closed = closed || (popup && interface->state().invisible);
            nodes.append({interface, parent, closed});
            for (int i = 0; i < interface->childCount(); ++i)
                visit(interface->child(i), interface, closed);
        };
    visit(QAccessible::queryAccessibleInterface(&window), nullptr, false);
    return nodes;
}

// What the tree announces, checked for a window: every control has a name, each frame is
// announced by its own caption (the frames in order: groups), each option under the
// caption of its own frame (as its parent and as its label) and so told apart from every
// other option, each drop-down list with its label, and no hidden control is there.
void checkAnnounced(QWidget &window, const QStringList &groups)
{
    const QList<Node> nodes = tree(window);
    QStringList frames;
    QStringList options;
    for (const Node &node : nodes) {
        QAccessibleInterface *interface = node.interface;
        const QString what = describe(interface);
        auto *widget = qobject_cast<QWidget *>(interface->object());
        const QAccessible::Role role = interface->role();
        if (node.inClosedPopup)
            continue;
        // A list's lines out of its view count as invisible; the lines are checked apart.
        QVERIFY2(!interface->state().invisible || role == QAccessible::ListItem,
                 qPrintable(u"hidden, yet there: "_s + what));
        // Containers that a screen reader passes through without announcing them.
        const bool container = role == QAccessible::Client || role == QAccessible::MenuBar
            || role == QAccessible::StatusBar || role == QAccessible::Separator;
        QVERIFY2(container || !name(interface).isEmpty(), qPrintable(u"no name: "_s + what));

        if (role == QAccessible::Grouping) {
            frames.append(name(interface));
            QCOMPARE(name(interface), qobject_cast<QGroupBox *>(widget)->title());
        } else if (role == QAccessible::RadioButton) {
            const auto *frame = qobject_cast<QGroupBox *>(widget->parentWidget());
            QVERIFY2(frame, qPrintable(u"an option outside a frame: "_s + what));
            const QString caption = frame->title();
            QCOMPARE(node.parent->role(), QAccessible::Grouping);
            QCOMPARE(name(node.parent), caption);
            QStringList labels;
            for (const auto &[label, relation] : interface->relations(QAccessible::Label))
                labels.append(name(label));
            QVERIFY2(labels.contains(caption), qPrintable(what + u" is labelled "_s + labels.join(u", ")));
            options.append(caption + u": "_s + name(interface));
        } else if (role == QAccessible::ComboBox) {
            QString label;
            for (const QLabel *candidate : window.findChildren<QLabel *>())
                label = candidate->buddy() == widget ? candidate->text() : label;
            QStringList labels;
            for (const auto &[labelling, relation] : interface->relations(QAccessible::Label))
                labels.append(name(labelling));
            QVERIFY2(!label.isEmpty() && labels.contains(label), qPrintable(what + u" is labelled "_s
                                                                             + labels.join(u", ")));
        }
    }
    QCOMPARE(frames, groups);
    QCOMPARE(QSet<QString>(options.cbegin(), options.cend()).size(), options.size());

    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        if (widget->isWindow() || !widget->isHidden())
            continue;
        for (const Node &node : nodes)
            QVERIFY2(node.interface->object() != widget, qPrintable(u"hidden, yet there: "_s + describe(node.interface)));
    }
}

// A key pressed where the keyboard is: in the open pop-up, else in the focused control.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, key, modifiers);
}

// The focused controls met by pressing Tab from the one that has the focus until it has
// it again.
QStringList tabChain()
{
    QStringList chain;
    const QWidget *first = QApplication::focusWidget();
    do {
        chain.append(QApplication::focusWidget()->objectName());
        press(Qt::Key_Tab);
    } while (QApplication::focusWidget() != first && chain.size() < 100);
    return chain;
}

} // namespace

// The main window and the port selection dialog as a screen reader announces them, and
// every action they offer taken from the keyboard.
class TestAccessibility final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void mainWindow()
    {
        TestWindow t;  // with the built-in list
        checkAnnounced(t.window(), {u"Mechanism database"_s, u"Configuration editor"_s, u"Mechanism identity"_s,
                                    u"Printer mode"_s, u"Logic voltage"_s, u"Mechanism"_s, u"Motor steps"_s,
                                    u"Motor rotation"_s, u"Head-up polarity"_s, u"Head width"_s, u"Head type"_s,
                                    u"Strobe polarity"_s, u"Chipset"_s, u"Firmware Identity"_s,
                                    u"Configuration mode"_s, u"Identity determination"_s, u"Communication"_s});
        if (QTest::currentTestFailed())
            return;

        // The list announces its names, each once, and nothing else: not the words.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(t.get("mechanismList"));
        QCOMPARE(name(list), u"Mechanism database"_s);
        QStringList items;
        for (int i = 0; i < list->childCount(); ++i) {
            QCOMPARE(list->child(i)->role(), QAccessible::ListItem);
            items.append(name(list->child(i)));
        }
        QStringList names;
        for (const Entry &entry : t.entries())
            names.append(entry.first);
        QCOMPARE(names.size(), 41);
        QCOMPARE(items, names);
        QCOMPARE(list->tableInterface()->columnCount(), 1);

        // The pop-up is announced by its caption.
        QCOMPARE(name(QAccessible::queryAccessibleInterface(t.get<QMenu>("databaseEditionMenu"))), u"Database Edition"_s);
        QCOMPARE(name(QAccessible::queryAccessibleInterface(t.get("identityEdit"))), u"Mechanism identity"_s);
    }

    void portSelection()
    {
        TestWindow t;
        t.context.setUsesSystemPorts(false);
        t.context.ports().assign(2, u"/dev/null"_s);  // two ports that exist
        t.context.ports().assign(5, u"/dev/null"_s);
        PortSelectionDialog dialog(t.context, &t.window());
        dialog.runLoadSteps();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        checkAnnounced(dialog, {u"Current Chipset"_s, u"Serial Port"_s});
        if (QTest::currentTestFailed())
            return;

        // Autodetect first, then every button and list; the first port that exists is
        // one stop, the arrow keys choose among the ports that exist.
        QCOMPARE(QApplication::focusWidget()->objectName(), u"autodetectButton"_s);
        QCOMPARE(tabChain(), (QStringList{u"autodetectButton"_s, u"okButton"_s, u"COM2"_s, u"speedBox"_s,
                                          u"handshakeBox"_s, u"detectButton"_s}));
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"COM2"_s);
        press(Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"COM5"_s);
        press(Qt::Key_Space);
        QVERIFY(dialog.findChild<QRadioButton *>(u"COM5"_s)->isChecked());
    }

    // With a chip found every button is enabled: Tab goes from "Detect Chipset" through
    // the chip column, the database column and the editor's name and button. The editor's
    // option buttons are not on the way; one stop for each mode group, whose options the
    // arrow keys choose.
    void tabOrder()
    {
        TestWindow t;
        for (const char *button : {"checkConfigurationButton", "configureChipsetButton", "wakeUpButton", "sleepButton", "resetButton"})
            t.get(button)->setEnabled(true);
        QCOMPARE(QApplication::focusWidget(), t.get("detectButton"));
        QCOMPARE(tabChain(), (QStringList{u"detectButton"_s, u"hardwareModeOption"_s, u"automaticIdentityOption"_s, u"checkConfigurationButton"_s,
                                          u"configureChipsetButton"_s, u"wakeUpButton"_s, u"sleepButton"_s, u"resetButton"_s,
                                          u"mechanismList"_s, u"analyseEntryButton"_s, u"deleteEntryButton"_s, u"moveEntryUpButton"_s, u"moveEntryDownButton"_s,
                                          u"identityEdit"_s, u"saveConfigurationButton"_s}));
        for (QAbstractButton *button : t.window().findChildren<QAbstractButton *>()) {
            if (t.get("configurationEditorGroup")->isAncestorOf(button) && qobject_cast<QRadioButton *>(button))
                QVERIFY2(!(button->focusPolicy() & Qt::TabFocus), qPrintable(button->objectName()));
        }
        t.get("hardwareModeOption")->setFocus();
        press(Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), t.get("softwareModeOption"));
        press(Qt::Key_Space);
        QCOMPARE(t.checked(), QStringList{u"softwareModeOption"_s});
    }

    // Alt, then the arrow keys, reach every entry of every menu of the bar.
    void menus_data()
    {
        QTest::addColumn<int>("menu");   // in the bar, from the left
        QTest::addColumn<int>("entry");  // in the menu, separators not counted
        QTest::addColumn<QString>("action");
        const QList<QStringList> bar = {{u"newDatabaseAction"_s, u"openDatabaseAction"_s, u"saveDatabaseAction"_s, u"saveDatabaseAsAction"_s, u"exitAction"_s},
                                        {u"detectAction"_s, u"trafficMonitorAction"_s},
                                        {u"helpContentsAction"_s, u"supportReportAction"_s, u"aboutAction"_s}};
        for (int menu = 0; menu < bar.size(); ++menu) {
            for (int entry = 0; entry < bar[menu].size(); ++entry)
                QTest::newRow(qPrintable(bar[menu][entry])) << menu << entry << bar[menu][entry];
        }
    }

    void menus()
    {
        QFETCH(int, menu);
        QFETCH(int, entry);
        QFETCH(QString, action);
        TestWindow t;
        QMenuBar *bar = t.window().menuBar();
        QCOMPARE(bar->actions().size(), 3);  // the pop-up is not in the bar, hidden or not
        press(Qt::Key_Alt);
        QCOMPARE(bar->activeAction(), bar->actions().first());
        for (int i = 0; i < menu; ++i)
            press(Qt::Key_Right);
        press(Qt::Key_Down);
        for (int i = 0; i < entry; ++i)
            press(Qt::Key_Down);
        auto *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(open);
        QCOMPARE(open->menuAction(), bar->actions().at(menu));
        QCOMPARE(open->activeAction(), t.get<QAction>(qPrintable(action)));
        if (action != u"aboutAction"_s) {
            press(Qt::Key_Escape);
            return;
        }
        press(Qt::Key_Return);
        QTRY_VERIFY(t.window().helpMenuWindows().aboutWindow()
                    && t.window().helpMenuWindows().aboutWindow()->isVisible());
        t.window().helpMenuWindows().closeAbout();
    }

    // The Menu key (which the window system delivers as a context menu request from the
    // keyboard) and Shift+F10 open the list's pop-up under the selected entry; without a
    // selection, nothing. Its entries are then chosen with the arrow keys and Return.
    void popupMenu_data()
    {
        QTest::addColumn<bool>("menuKey");
        QTest::newRow("Menu key") << true;
        QTest::newRow("Shift+F10") << false;
    }

    void popupMenu()
    {
        QFETCH(bool, menuKey);
        TestWindow t;
        auto *list = t.get<QListView>("mechanismList");
        auto *popup = t.get<QMenu>("databaseEditionMenu");
        auto ask = [&] {
            if (menuKey) {
                QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(1, 1), list->mapToGlobal(QPoint(1, 1)));
                QApplication::sendEvent(list, &request);
            } else {
                press(Qt::Key_F10, Qt::ShiftModifier);
            }
        };
        list->setFocus();
        ask();
        QVERIFY(!popup->isVisible() && !QApplication::activePopupWidget());

        press(Qt::Key_Home);  // the first entry, then the third
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(t.selectedRow(), 2);
        ask();
        QTRY_VERIFY(popup->isVisible());
        // Below the line, as far left as the screen lets it.
        const QPoint below = list->viewport()->mapToGlobal(list->visualRect(list->model()->index(2, 0)).bottomLeft());
        QCOMPARE(popup->pos(), QPoint(qMax(below.x(), list->screen()->availableGeometry().left()), below.y()));
        press(Qt::Key_Down);
        QCOMPARE(popup->activeAction(), t.get<QAction>("analyseAction"));
        press(Qt::Key_Return);
        QTRY_VERIFY(!popup->isVisible());
        QCOMPARE(t.get<QLineEdit>("identityEdit")->text(), t.entries().at(2).first);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
