// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class AboutWindow;
class HelpWindow;
class UrlOpener;

// The windows behind the main window's Help menu. Each exists at most once: opening it
// again brings the same window forward. Both are top-level windows of their own, so an
// open About window keeps the program running after the main window has closed; the
// main window closes the help window itself when it closes.
class HelpMenuWindows final : public QObject
{
    Q_OBJECT

public:
    explicit HelpMenuWindows(QObject *parent = nullptr);
    // For tests: links go to opener instead of the desktop.
    explicit HelpMenuWindows(std::shared_ptr<UrlOpener> opener, QObject *parent = nullptr);
    ~HelpMenuWindows() override;

    // "About": shows the About window, creating it on first use; without the maker's
    // addresses its links go to the manual found for startDirectory.
    void showAbout(const QString &startDirectory);
    // "Contents": shows the help window, creating it on first use, and loads the index
    // page found for startDirectory (which ends in a separator).
    void showHelp(const QString &startDirectory);
    // Closes the help window if it is open.
    void closeHelp();
    // Closes the About window if it is open.
    void closeAbout();

    AboutWindow *aboutWindow() const;
    HelpWindow *helpWindow() const;

    // For tests: links go to opener from now on (windows already open keep theirs).
    void setUrlOpener(std::shared_ptr<UrlOpener> opener) { m_opener = std::move(opener); }

private:
    std::shared_ptr<UrlOpener> m_opener;
    QPointer<AboutWindow> m_about;
    QPointer<HelpWindow> m_help;
    // Where the program's executable lies; the manual is also looked for from there.
    const QString m_executableDirectory;
};
