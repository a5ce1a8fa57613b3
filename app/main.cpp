// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appcontext.h"
#include "app/commandline.h"
#include "app/dialogprompter.h"
#include "app/mainwindow.h"
#include "app/splashscreen.h"
#include "sim/simulatedchip.h"
#include "sim/simulatedstation.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // Read first: --help, --version and mistakes answer without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.action == CommandLine::Action::Exit) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.error.toLocal8Bit().constData(), stderr);
        return commandLine.exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"qv12-configurator"_s);
    QApplication::setApplicationVersion(QStringLiteral(QV12_REVISION));
    // No application display name: on X11 and Wayland Qt appends it to every window
    // title ("About — QV12 Configurator"), and each window's title bar shows exactly its
    // own caption. The main window and the message boxes carry the program's name
    // themselves.
    // Ties the windows to the installed desktop entry (its name and icon on Wayland).
    QGuiApplication::setDesktopFileName(u"qv12-configurator"_s);
    QApplication::setWindowIcon(QIcon(u":/images/app-icon.svg"_s));

    // Outlives the window and the serial link, which may still hold its device open.
    std::unique_ptr<SimulatedChip> simulatedChip;
    DialogPrompter prompter;
    AppContext context(prompter);
    if (commandLine.simulate) {
        simulatedChip = std::make_unique<SimulatedChip>();
        if (!simulatedChip->isValid()) {
            std::fprintf(stderr, "qv12-configurator: the simulated chip could not start: %s\n",
                         qPrintable(simulatedChip->errorString()));
            return 1;
        }
    }
    context.takePorts(commandLine, simulatedChip ? simulatedChip->devicePath() : QString());
    std::vector<std::unique_ptr<SimulatedStation>> simulatedLine;
    for (int port = 1; port <= commandLine.simulateLine; ++port) {
        auto station = std::make_unique<SimulatedStation>();
        if (const Result<void, QString> started = station->start(); !started) {
            const QString reason = u"the simulated station on COM%1 could not start: %2"_s.arg(port).arg(started.error());
            std::fprintf(stderr, "qv12-configurator: %s\n", qPrintable(reason));
            return 1;
        }
        context.ports().assign(port, station->devicePath());
        simulatedLine.push_back(std::move(station));
    }
    if (!simulatedLine.empty()) {
        context.setChipTakenAway([&simulatedLine](int port) {
            if (port >= 1 && port <= int(simulatedLine.size()))
                simulatedLine[size_t(port - 1)]->replaceChip();
        });
    }

    std::unique_ptr<MainWindow> window;
    SplashScreen *splash = new SplashScreen([&] {
        window = std::make_unique<MainWindow>(context);
        prompter.setParentWidget(window.get());
        window->runLoadSteps();
        window->show();
        if (commandLine.production)
            window->showProductionWindow();
    });
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->runLoadSteps();

    return app.exec();
}
