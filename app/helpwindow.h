// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QUrl;
class UrlOpener;

namespace Ui {
class HelpWindowForm;
}

// The help window: an "Index" button and a browser view of the HTML manual.
// Links between the manual's pages are followed in the view; a link that leaves the
// manual (a web page, a mail address) goes to the desktop.
class HelpWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(std::shared_ptr<UrlOpener> opener, QWidget *parent = nullptr);
    ~HelpWindow() override;

    // The index page that loadIndex() and "Index" show.
    void setIndexPath(const QString &path);
    QString indexPath() const { return m_indexPath; }

    // Makes the view load the index page.
    void loadIndex();

private slots:
    void showIndex();
    void followLink(const QUrl &url);

private:
    void showMissingIndex();

    std::unique_ptr<Ui::HelpWindowForm> m_ui;
    std::shared_ptr<UrlOpener> m_opener;
    QString m_indexPath;
};
