// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Photographs the windows that the manual shows, into the manual's images folder:
//   qv12-help-screenshots DIRECTORY
// It runs the real windows with the offscreen platform, so no display is needed, against
// a simulated chip on COM1: the port selection dialog after an automatic detection, the
// main window after "Check configuration", and the traffic monitor showing both; then the
// production window with three simulated stations on COM2 to COM4, mid-run.
#include "app/aboutwindow.h"
#include "app/chippanel.h"
#include "app/appcontext.h"
#include "app/dialogprompter.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "app/mainwindow.h"
#include "app/mechanismlistpanel.h"
#include "app/portselectiondialog.h"
#include "app/production/productionwindow.h"
#include "app/trafficwindow.h"
#include "sim/simulatedchip.h"
#include "sim/simulatedstation.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Saves the window's picture, scaled down smoothly to at most width pixels: the help
// view would scale it without smoothing.
bool save(QWidget *window, const QString &path, int width)
{
    window->show();
    // Lets layouts settle and the widgets paint.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    QImage picture = window->grab().toImage();
    if (picture.width() > width)
        picture = picture.scaledToWidth(width, Qt::SmoothTransformation);
    const bool saved = picture.save(path);
    std::printf("%s %s\n", saved ? "Wrote" : "Could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"qv12-configurator"_s);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "Usage: qv12-help-screenshots MANUAL_DIRECTORY IMAGES_DIRECTORY\n");
        return 2;
    }
    // Absolute: the current directory changes below.
    const QDir manual(QDir(arguments.at(1)).absolutePath());
    const QDir images(QDir(arguments.at(2)).absolutePath());
    if (!QDir().mkpath(images.path()))
        return 1;

    // A start directory of its own: no default.cdb, so the built-in list is shown.
    QTemporaryDir start;
    QDir::setCurrent(start.path());

    // The simulated chip alone on COM1, whatever serial ports this computer has.
    SimulatedChip chip(9600);
    if (!chip.isValid()) {
        std::fprintf(stderr, "The simulated chip could not start: %s\n", qPrintable(chip.errorString()));
        return 1;
    }
    DialogPrompter prompter;
    AppContext context(prompter);
    context.setUsesSystemPorts(false);
    context.ports().assign(1, chip.devicePath());
    MainWindow window(context);
    prompter.setParentWidget(&window);
    window.runLoadSteps();
    window.show();
    // The list entry of the chip's own mechanism, as a user would have picked it.
    window.mechanismList().setSelectedRow(0);

    // "Detect Chipset" shows the dialog modally: once it is up, "Autodetect Chipset", its
    // picture, then "OK".
    bool ok = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto *dialog = qobject_cast<PortSelectionDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        // The detection runs on the chip worker: the picture once its result shows.
        QObject::connect(dialog, &PortSelectionDialog::detectionEnded, dialog, [&, dialog] {
            ok = save(dialog, images.filePath(u"port-selection.png"_s), 600);
            dialog->findChild<QPushButton *>(u"okButton"_s)->click();
        }, Qt::SingleShotConnection);
        dialog->findChild<QPushButton *>(u"autodetectButton"_s)->click();
    });
    poll.start();
    // The chip actions run on the chip worker: the click returns at once, the result
    // comes later.
    const auto settle = [&window] {
        QElapsedTimer clock;
        clock.start();
        do
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        while (window.chip().isBusy() && clock.elapsed() < 30000);
    };
    window.findChild<QPushButton *>(u"detectButton"_s)->click();
    settle();
    if (!context.connection().chipFound) {
        std::fprintf(stderr, "The simulated chip was not found\n");
        return 1;
    }
    window.findChild<QPushButton *>(u"checkConfigurationButton"_s)->click();
    settle();
    ok = save(&window, images.filePath(u"main-window.png"_s), 700) && ok;

    // The traffic monitor with the exchanges so far.
    window.findChild<QAction *>(u"trafficMonitorAction"_s)->trigger();
    window.trafficWindow()->resize(860, 360);
    ok = save(window.trafficWindow(), images.filePath(u"traffic-monitor.png"_s), 700) && ok;

    // The production window: three stations, each chip taken away once its result shows.
    std::map<int, std::unique_ptr<SimulatedStation>> stations;
    for (int port = 2; port <= 4; ++port) {
        auto station = std::make_unique<SimulatedStation>();
        if (const Result<void, QString> started = station->start(); !started) {
            std::fprintf(stderr, "A simulated station could not start: %s\n", qPrintable(started.error()));
            return 1;
        }
        context.ports().assign(port, station->devicePath());
        stations[port] = std::move(station);
    }
    context.setChipTakenAway([&stations](int port) { stations.at(port)->replaceChip(); });
    window.findChild<QAction *>(u"productionLineAction"_s)->trigger();
    ProductionWindow *production = window.productionWindow();
    production->findChild<QComboBox *>(u"entryCombo"_s)->setCurrentText(u"KT 620-ST"_s);
    production->findChild<QLineEdit *>(u"identityEdit"_s)->setText(u"KT 620-ST"_s);
    production->findChild<QLineEdit *>(u"auditFileEdit"_s)->setText(start.filePath(u"audit.jsonl"_s));
    for (int port = 2; port <= 4; ++port)
        production->findChild<QCheckBox *>(u"portCheck%1"_s.arg(port))->setChecked(true);
    production->findChild<QPushButton *>(u"startButton"_s)->click();
    // Mid-run: a few chips done, and the next ones on their way.
    QElapsedTimer clock;
    clock.start();
    while (production->totals().chips < 4 && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    production->resize(900, 660);
    ok = save(production, images.filePath(u"production-window.png"_s), 700) && production->totals().chips >= 4 && ok;
    production->setStopQuestion([] { return true; });
    production->close();

    HelpMenuWindows &windows = window.helpMenuWindows();
    windows.showAbout(start.path() + u"/"_s);
    ok = save(windows.aboutWindow(), images.filePath(u"about.png"_s), 400) && ok;

    // The manual being written, not an installed one.
    windows.showHelp(start.path() + u"/"_s);
    HelpWindow *help = windows.helpWindow();
    help->resize(760, 520);
    help->setIndexPath(manual.absoluteFilePath(u"index.html"_s));
    help->loadIndex();
    ok = save(help, images.filePath(u"help.png"_s), 440) && ok;

    return ok ? 0 : 1;
}
