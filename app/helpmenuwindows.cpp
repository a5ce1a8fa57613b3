// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helpmenuwindows.h"

#include "app/aboutwindow.h"
#include "app/bringforward.h"
#include "app/desktopurlopener.h"
#include "app/helplocation.h"
#include "app/helpwindow.h"

#include <QCoreApplication>

HelpMenuWindows::HelpMenuWindows(QObject *parent)
    : HelpMenuWindows(std::make_shared<DesktopUrlOpener>(), parent)
{
}

HelpMenuWindows::HelpMenuWindows(std::shared_ptr<UrlOpener> opener, QObject *parent)
    : QObject(parent)
    , m_opener(std::move(opener))
    , m_executableDirectory(QCoreApplication::applicationDirPath())
{
}

HelpMenuWindows::~HelpMenuWindows()
{
    // The help window belongs with the main window; the About window lives on by itself
    // (it holds its own share of the link opener) and is deleted when closed.
    delete m_help;
}

AboutWindow *HelpMenuWindows::aboutWindow() const
{
    return m_about;
}

HelpWindow *HelpMenuWindows::helpWindow() const
{
    return m_help;
}

void HelpMenuWindows::showAbout(const QString &startDirectory)
{
    if (!m_about) {
        m_about = new AboutWindow(m_opener, AboutLinks::ofBuild(helpIndexPath(startDirectory, m_executableDirectory)));
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(m_about);
}

void HelpMenuWindows::showHelp(const QString &startDirectory)
{
    if (!m_help) {
        m_help = new HelpWindow(m_opener);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(m_help);
    m_help->setIndexPath(helpIndexPath(startDirectory, m_executableDirectory));
    m_help->loadIndex();
}

void HelpMenuWindows::closeHelp()
{
    if (m_help)
        m_help->close();
}

void HelpMenuWindows::closeAbout()
{
    if (m_about)
        m_about->close();
}
