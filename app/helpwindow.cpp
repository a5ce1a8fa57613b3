// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helpwindow.h"
#include "ui_helpwindow.h"

#include "app/urlopener.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

using namespace Qt::StringLiterals;

HelpWindow::HelpWindow(std::shared_ptr<UrlOpener> opener, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::HelpWindowForm>())
    , m_opener(std::move(opener))
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);

    connect(m_ui->indexButton, &QPushButton::clicked, this, &HelpWindow::showIndex);
    connect(m_ui->pageBrowser, &QTextBrowser::anchorClicked,
            this, &HelpWindow::followLink);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::setIndexPath(const QString &path)
{
    m_indexPath = path;
}

void HelpWindow::loadIndex()
{
    if (!QFileInfo(m_indexPath).isFile()) {
        showMissingIndex();
        return;
    }
    m_ui->pageBrowser->setSource(QUrl::fromLocalFile(QFileInfo(m_indexPath).absoluteFilePath()));
}

void HelpWindow::showIndex()
{
    loadIndex();
}

void HelpWindow::followLink(const QUrl &url)
{
    const QUrl target = m_ui->pageBrowser->source().resolved(url);
    if (target.isLocalFile())
        m_ui->pageBrowser->setSource(target);
    else
        m_opener->open(target);
}

void HelpWindow::showMissingIndex()
{
    // What a browser shows for a page that is not there; the path helps to find out why.
    m_ui->pageBrowser->setHtml(
        u"<h2>The manual was not found</h2><p>There is no file %1.</p>"
        "<p>Reinstalling the program puts the manual back in place.</p>"_s
            .arg(m_indexPath.toHtmlEscaped()));
}
