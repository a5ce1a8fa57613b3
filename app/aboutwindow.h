// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/aboutlinks.h"

#include <QWidget>

#include <memory>

class UrlOpener;

namespace Ui {
class AboutWindowForm;
}

// The About window: the program's title and revision, a link to the web site
// and one that starts a mail message to the support address (or, in a build without
// them, to the manual: see AboutLinks), and a picture. Modeless; whoever opens it keeps
// at most one (see HelpMenuWindows).
class AboutWindow final : public QWidget
{
    Q_OBJECT

public:
    AboutWindow(std::shared_ptr<UrlOpener> opener, const AboutLinks &links, QWidget *parent = nullptr);
    ~AboutWindow() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void openWebLink();
    void openSupportLink();

private:
    void runLoadSteps();
    void makeLink(QWidget *label);

    std::unique_ptr<Ui::AboutWindowForm> m_ui;
    std::shared_ptr<UrlOpener> m_opener;
    AboutLinks m_links;
};
