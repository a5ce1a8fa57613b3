// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

#include <QPointer>

#include <memory>

class AppContext;
class ChipPanel;
class ConfigurationSaver;
class DatabaseCommands;
class EditorPanel;
class HelpMenuWindows;
class MechanismListPanel;
class ProductionWindow;
class QLabel;
class TrafficWindow;
namespace Ui { class MainWindowForm; }

// The main window: the mechanism database, the configuration editor and the chip
// panel side by side above a status bar, with the menus. Each column is a widget of its
// own; the window connects them, the menus and the status bar in one place, and does the
// load steps and the closing.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The load steps, in their order; run before the window is first shown.
    void runLoadSteps();

    // Ends the program as Exit does: no question, and the same closing steps as a
    // closed window.
    void endProgram();

    AppContext &context() const { return m_context; }
    QLabel &statusText() const { return *m_statusText; }
    EditorPanel &editor() const { return *m_editor; }
    DatabaseCommands &database() const { return *m_database; }
    MechanismListPanel &mechanismList() const { return *m_mechanismList; }
    HelpMenuWindows &helpMenuWindows() const { return *m_helpMenuWindows; }
    ChipPanel &chip() const { return *m_chip; }
    TrafficWindow *trafficWindow() const;
    ProductionWindow *productionWindow() const;
    // Communication > Production line...: opens the production window, or brings it forward.
    void showProductionWindow();

signals:
    // The program is ending: the help window closes now (Exit closes the About window too).
    void programEnding();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void showHelpContents();
    void showAbout();
    void showTrafficMonitor();
    void saveSupportReport();

private:
    // How long the window lets a cancelled chip job take to close its port at the end
    // (a real port with bytes held back by flow control may keep its close waiting).
    static constexpr int PortCloseTimeoutMs = 3000;

    // Everything that ends the program passes here once.
    void shutDown();
    // The signals between the columns, the menus and the status bar.
    void connectParts();

    AppContext &m_context;
    std::unique_ptr<Ui::MainWindowForm> m_ui;
    QLabel *m_statusText;
    EditorPanel *m_editor;
    DatabaseCommands *m_database;
    MechanismListPanel *m_mechanismList;
    ConfigurationSaver *m_configurationSaver;
    ChipPanel *m_chip;
    HelpMenuWindows *m_helpMenuWindows;
    QPointer<TrafficWindow> m_traffic;
    QPointer<ProductionWindow> m_production;
    bool m_ending = false;
    bool m_centred = false;
};
