// Photographs the windows that the manual shows, into the manual's images folder:
//   qv12-help-screenshots DIRECTORY
// It runs the real windows with the offscreen platform, so no display is needed; the
// main window is shown as after analysing the first built-in mechanism.
#include "app/aboutwindow.h"
#include "app/appcontext.h"
#include "app/dialogprompter.h"
#include "app/helpmenuwindows.h"
#include "app/helpwindow.h"
#include "app/mainwindow.h"
#include "app/mechanismlistpanel.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

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
    QApplication::setApplicationDisplayName(u"QV12 Configurator"_s);
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

    DialogPrompter prompter;
    AppContext context(prompter);
    MainWindow window(context);
    prompter.setParentWidget(&window);
    window.Form_Load();
    window.show();
    window.mechanismList().setSelectedRow(0);
    window.findChild<QPushButton *>(u"DbbAnalyse"_s)->click();

    bool ok = save(&window, images.filePath(u"main-window.png"_s), 700);

    HelpMenuWindows &windows = window.helpMenuWindows();
    windows.showAbout();
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
