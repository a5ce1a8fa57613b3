#include "app/appcontext.h"
#include "app/commandline.h"
#include "app/dialogprompter.h"
#include "app/mainwindow.h"
#include "app/splashscreen.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"qv12-configurator"_s);
    QApplication::setApplicationVersion(QStringLiteral(QV12_REVISION));
    QApplication::setApplicationDisplayName(u"QV12 Configurator"_s);
    // Ties the windows to the installed desktop entry (its name and icon on Wayland).
    QGuiApplication::setDesktopFileName(u"qv12-configurator"_s);
    QApplication::setWindowIcon(QIcon(u":/images/app-icon.svg"_s));

    const CommandLine commandLine = parseCommandLine(QApplication::arguments());
    if (commandLine.action == CommandLine::Action::Exit) {
        std::fputs(qPrintable(commandLine.output), stdout);
        std::fputs(qPrintable(commandLine.error), stderr);
        return commandLine.exitCode;
    }

    DialogPrompter prompter;
    AppContext context(prompter);
    for (const PortAssignment &assignment : commandLine.ports)
        context.ports().assign(assignment.port, assignment.device);

    std::unique_ptr<MainWindow> window;
    SplashScreen *splash = new SplashScreen([&] {
        window = std::make_unique<MainWindow>(context);
        prompter.setParentWidget(window.get());
        window->Form_Load();
        window->show();
    });
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->Form_Load();

    return app.exec();
}
