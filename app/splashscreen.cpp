// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splashscreen.h"

#include "ui_splashscreen.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

using namespace Qt::StringLiterals;

SplashScreen::SplashScreen(std::function<void()> showMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_ui(std::make_unique<Ui::SplashScreenForm>())
    , m_timer(this)
    , m_showMainWindow(std::move(showMainWindow))
{
    m_ui->setupUi(this);
    m_ui->pictureLabel->setPixmap(QIcon(u":/images/splash.svg"_s).pixmap(m_ui->pictureLabel->minimumSize()));
    // Times New Roman where it is installed, the system's serif face elsewhere.
    QFont revFont = m_ui->revisionLabel->font();
    revFont.setStyleHint(QFont::Serif);
    m_ui->revisionLabel->setFont(revFont);
    m_timer.setObjectName(u"Timer"_s);
    // A coarse timer may fire up to 5 % early; the picture stays its full time.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SplashScreen::showMainWindowAndClose);
}

SplashScreen::~SplashScreen() = default;

void SplashScreen::runLoadSteps()
{
    m_timer.setInterval(DisplayMs);
    m_timer.start();
    m_ui->revisionLabel->setText(tr("Rev: %1").arg(QStringLiteral(QV12_REVISION)));
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void SplashScreen::showMainWindowAndClose()
{
    // Stopped first: the main window's load must not see a second tick.
    m_timer.stop();
    if (m_showMainWindow)
        m_showMainWindow();
    close();
}
