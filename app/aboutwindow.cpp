// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutwindow.h"
#include "ui_aboutwindow.h"

#include "app/urlopener.h"

#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace {
const QSize PictureSize(360, 180);
}

AboutWindow::AboutWindow(std::shared_ptr<UrlOpener> opener, const AboutLinks &links, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::AboutWindowForm>())
    , m_opener(std::move(opener))
    , m_links(links)
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);

    m_ui->webLink->setText(m_links.web.text);
    m_ui->supportLink->setText(m_links.support.text);
    makeLink(m_ui->webLink);
    makeLink(m_ui->supportLink);

    // Rendered at the screen's pixel density so the drawing stays sharp.
    const qreal ratio = devicePixelRatioF();
    QImageReader reader(u":/about/about-picture.svg"_s);
    reader.setScaledSize(PictureSize * ratio);
    QPixmap picture = QPixmap::fromImage(reader.read());
    picture.setDevicePixelRatio(ratio);
    m_ui->pictureLabel->setPixmap(picture);

    runLoadSteps();
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::runLoadSteps()
{
    m_ui->titleLabel->setText(tr("QV12 Configurator    Rev: %1").arg(QString::fromLatin1(QV12_REVISION)));
}

void AboutWindow::makeLink(QWidget *label)
{
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    label->installEventFilter(this);
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event)
{
    const bool isLink = watched == m_ui->webLink || watched == m_ui->supportLink;
    if (!isLink)
        return QWidget::eventFilter(watched, event);

    bool activated = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A press that is dragged off the label and released elsewhere is no click.
        activated = mouse->button() == Qt::LeftButton
            && static_cast<QWidget *>(watched)->rect().contains(mouse->position().toPoint());
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        activated = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }
    if (!activated)
        return QWidget::eventFilter(watched, event);

    if (watched == m_ui->webLink)
        openWebLink();
    else
        openSupportLink();
    return true;
}

void AboutWindow::openWebLink()
{
    m_opener->open(m_links.web.url);
}

void AboutWindow::openSupportLink()
{
    m_opener->open(m_links.support.url);
}
