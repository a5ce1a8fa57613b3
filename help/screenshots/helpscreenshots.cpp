// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// Photographs the windows that the manual shows, into the manual's images folder:
//   qv12-help-screenshots DIRECTORY
// It runs the real windows with the offscreen platform, so no display is needed, against
// a simulated chip on COM1: the port selection dialog after an automatic detection, the
// main window after "Check configuration", and the traffic monitor showing both.
#include "app/aboutwindow.h"
#include "app/appcontext.h"
#include "app/dialogprompter.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "app/mainwindow.h"
#include "app/mechanismlistpanel.h"
#include "app/portselectiondialog.h"
#include "app/trafficwindow.h"
#include "sim/simulatedchip.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>

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
    window.Form_Load();
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
        dialog->findChild<QPushButton *>(u"Autodetect"_s)->click();
        ok = save(dialog, images.filePath(u"port-selection.png"_s), 600);
        dialog->findChild<QPushButton *>(u"OKButton"_s)->click();
    });
    poll.start();
    window.findChild<QPushButton *>(u"GetID"_s)->click();
    if (!context.connection().ChipFound) {
        std::fprintf(stderr, "The simulated chip was not found\n");
        return 1;
    }
    window.findChild<QPushButton *>(u"GetSettings"_s)->click();
    ok = save(&window, images.filePath(u"main-window.png"_s), 700) && ok;

    // The traffic monitor with the exchanges so far.
    window.findChild<QAction *>(u"Traffic"_s)->trigger();
    window.trafficWindow()->resize(860, 360);
    ok = save(window.trafficWindow(), images.filePath(u"traffic-monitor.png"_s), 700) && ok;

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
