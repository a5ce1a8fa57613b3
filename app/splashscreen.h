// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui { class SplashScreenForm; }

// The start-up window: the picture and the revision for 1500 ms; at the first tick it
// has the main window shown (which loads it before it appears) and closes itself.
class SplashScreen final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int DisplayMs = 1500;

    // showMainWindow loads and shows the main window; it runs once, at the first tick.
    explicit SplashScreen(std::function<void()> showMainWindow, QWidget *parent = nullptr);
    ~SplashScreen() override;

    // Sets the revision text, arms the timer and shows the window, centred.
    void runLoadSteps();

private slots:
    void showMainWindowAndClose();

private:
    std::unique_ptr<Ui::SplashScreenForm> m_ui;
    QTimer m_timer;
    std::function<void()> m_showMainWindow;
};
