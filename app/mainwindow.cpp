// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "app/accessiblecaptions.h"
#include "app/appcontext.h"
#include "app/bringforward.h"
#include "app/chippanel.h"
#include "app/configurationsaver.h"
#include "app/databasecommands.h"
#include "app/editorpanel.h"
#include "app/helpmenuwindows.h"
#include "app/mechanismlistpanel.h"
#include "app/production/productionwindow.h"
#include "app/textfilesaver.h"
#include "app/trafficwindow.h"
#include "core/logging.h"
#include "diagnostics/supportreport.h"

#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>

using namespace Qt::StringLiterals;

MainWindow::MainWindow(AppContext &context, QWidget *parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_ui(std::make_unique<Ui::MainWindowForm>())
{
    m_ui->setupUi(this);
    // No maximize button; the layout fixes the size to what the contents need at the
    // font in use.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // The status line is a label of its own: a status bar's temporary message would be
    // wiped by every menu entry the mouse passes over.
    m_statusText = new QLabel(tr("Status bar"), m_ui->statusBar);
    m_statusText->setObjectName(u"statusText"_s);
    m_statusText->setTextFormat(Qt::PlainText);
    m_ui->statusBar->addWidget(m_statusText, 1);

    // Captions: green over the editor's frames, red over the two mode frames, and the
    // first option of each mode group red, the second green. Scoped by column, so that
    // the dialogs this window parents keep their own colours.
    setStyleSheet(uR"(
        #configurationEditorGroup QGroupBox::title { color: rgb(0, 128, 0); }
        #chipsetGroup #configurationModeGroup::title, #chipsetGroup #identityMethodGroup::title,
        #chipsetGroup #hardwareModeOption, #chipsetGroup #automaticIdentityOption { color: rgb(255, 0, 0); }
        #chipsetGroup #softwareModeOption, #chipsetGroup #userIdentityOption { color: rgb(0, 128, 0); }
    )"_s);

    m_mechanismList = new MechanismListPanel(m_context, m_ui->centralWidget);
    m_editor = new EditorPanel(m_ui->centralWidget);
    m_chip = new ChipPanel(m_context, *m_editor, m_ui->centralWidget);
    m_ui->columns->addWidget(m_mechanismList);
    m_ui->columns->addWidget(m_editor);
    m_ui->columns->addWidget(m_chip);
    m_database = new DatabaseCommands(m_context, this);
    m_configurationSaver = new ConfigurationSaver(m_context, *m_editor, *m_mechanismList, this);
    connectParts();
    nameByOwnCaptions(*this);

    m_helpMenuWindows = new HelpMenuWindows(this);
    // Designer leaves separators unnamed; the Help menu's one gets a name too.
    for (QAction *entry : m_ui->helpMenu->actions()) {
        if (entry->isSeparator())
            entry->setObjectName(u"helpSeparator"_s);
    }
    // Closing the main window closes the help window and the traffic monitor; an open
    // About window stays.
    connect(this, &MainWindow::programEnding, m_helpMenuWindows, &HelpMenuWindows::closeHelp);
    connect(this, &MainWindow::programEnding, this, [this] {
        if (m_traffic)
            m_traffic->close();
        if (m_production)
            m_production->close();
    });
}

MainWindow::~MainWindow()
{
    delete m_traffic;
    delete m_production;
}

void MainWindow::connectParts()
{
    connect(m_ui->newDatabaseAction, &QAction::triggered, m_database, &DatabaseCommands::newDatabase);
    connect(m_ui->openDatabaseAction, &QAction::triggered, m_database, &DatabaseCommands::openDatabase);
    connect(m_ui->saveDatabaseAction, &QAction::triggered, m_database, &DatabaseCommands::saveDatabase);
    connect(m_ui->saveDatabaseAsAction, &QAction::triggered, m_database, &DatabaseCommands::saveDatabaseAs);
    connect(m_ui->exitAction, &QAction::triggered, m_database, &DatabaseCommands::exitProgram);
    connect(m_database, &DatabaseCommands::endProgramRequested, this, &MainWindow::endProgram);
    connect(m_ui->detectAction, &QAction::triggered, m_chip, &ChipPanel::detectChipset);
    connect(m_ui->trafficMonitorAction, &QAction::triggered, this, &MainWindow::showTrafficMonitor);
    auto *productionLine = new QAction(tr("Production line..."), this);
    productionLine->setObjectName(u"productionLineAction"_s);
    m_ui->communicationMenu->insertAction(nullptr, productionLine);  // below "Traffic monitor..."
    connect(productionLine, &QAction::triggered, this, &MainWindow::showProductionWindow);
    connect(m_ui->helpContentsAction, &QAction::triggered, this, &MainWindow::showHelpContents);
    connect(m_ui->supportReportAction, &QAction::triggered, this, &MainWindow::saveSupportReport);
    connect(m_ui->aboutAction, &QAction::triggered, this, &MainWindow::showAbout);

    // The mechanism list and its pop-up.
    connect(m_mechanismList, &MechanismListPanel::menuRequested, m_ui->databaseEditionMenu,
            [this](QPoint at) { m_ui->databaseEditionMenu->popup(at); });
    connect(m_ui->analyseAction, &QAction::triggered, m_mechanismList, &MechanismListPanel::analyseSelected);
    connect(m_ui->deleteAction, &QAction::triggered, m_mechanismList, &MechanismListPanel::deleteSelected);
    connect(m_ui->moveUpAction, &QAction::triggered, m_mechanismList, &MechanismListPanel::moveSelectedUp);
    connect(m_ui->moveDownAction, &QAction::triggered, m_mechanismList, &MechanismListPanel::moveSelectedDown);
    connect(m_mechanismList, &MechanismListPanel::entryAnalysed, m_editor,
            [this](const QString &name, const EntryWord &word) {
                m_editor->setMechanismIdentity(name);
                m_editor->showFields(word.decoded());
            });
    connect(m_mechanismList, &MechanismListPanel::editingRequested, m_chip, &ChipPanel::selectSoftwareAndUser);
    connect(m_mechanismList, &MechanismListPanel::modified, m_database, &DatabaseCommands::markModified);

    // The editor and the chip.
    connect(m_chip, &ChipPanel::modesChanged, m_editor, &EditorPanel::applyModes);
    connect(m_chip, &ChipPanel::configurationRead, m_editor, &EditorPanel::showWord);
    connect(m_chip, &ChipPanel::mechanismIdentityRead, m_editor, &EditorPanel::setMechanismIdentity);
    connect(m_editor, &EditorPanel::saveRequested, m_configurationSaver, &ConfigurationSaver::saveConfiguration);
    connect(m_configurationSaver, &ConfigurationSaver::modified, m_database, &DatabaseCommands::markModified);

    connect(m_mechanismList, &MechanismListPanel::statusMessage, m_statusText, &QLabel::setText);
    connect(m_chip, &ChipPanel::statusMessage, m_statusText, &QLabel::setText);
    connect(m_database, &DatabaseCommands::statusMessage, m_statusText, &QLabel::setText);
    connect(m_configurationSaver, &ConfigurationSaver::statusMessage, m_statusText, &QLabel::setText);

    // Tab goes down the chipset column first, then through the list and the editor.
    const QList<QWidget *> chain = m_chip->tabChain() + m_mechanismList->tabChain() + m_editor->tabChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void MainWindow::runLoadSteps()
{
    // The command prefixes ESC, GS and CAN are constants of the protocol layer.
    m_context.recordStartDirectory();

    m_chip->showNoChipYet();

    // The "Database Edition" menu is no entry of the menu bar at all, only a pop-up: a
    // hidden entry there would still be announced to screen readers. Its entry is hidden
    // all the same.
    m_ui->databaseEditionMenu->menuAction()->setVisible(false);

    m_database->setDatabaseSaved(true);
    m_editor->resetFields();
    m_editor->clearOptions();

    m_database->loadDefaultDatabase();

    m_chip->tabChain().first()->setFocus();
}

void MainWindow::endProgram()
{
    m_ending = true;
    // Exit ends everything at once, the About window included.
    m_helpMenuWindows->closeAbout();
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Stations running ask first, Exit too: their chips would end failed.
    if (m_production && !m_production->endStations()) {
        m_ending = false;
        event->ignore();
        return;
    }
    if (!m_ending && !m_database->mayClose()) {
        event->ignore();
        return;
    }
    m_ending = true;
    shutDown();
    event->accept();
}

void MainWindow::shutDown()
{
    qCDebug(lcUi, "program ending");
    // A chip job may be waiting on the worker: cancelled, its wait ends at once and its
    // port closes; the action ends without the chip.
    ChipWorker &worker = m_context.chipWorker();
    worker.cancelAll(Cancellation::Reason::ProgramEnding);
    worker.waitUntilStopped(PortCloseTimeoutMs);
    m_chip->endForProgramEnd();
    emit programEnding();
}

void MainWindow::showHelpContents()
{
    qCDebug(lcUi, "Help contents");
    m_helpMenuWindows->showHelp(m_context.startDirectory());
}

void MainWindow::showAbout()
{
    qCDebug(lcUi, "About");
    m_helpMenuWindows->showAbout(m_context.startDirectory());
}

TrafficWindow *MainWindow::trafficWindow() const
{
    return m_traffic;
}

void MainWindow::showTrafficMonitor()
{
    qCDebug(lcUi, "Traffic monitor");
    if (!m_traffic) {
        m_traffic = new TrafficWindow(m_context.traffic(), m_context.prompter());
        m_traffic->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(m_traffic);
}

ProductionWindow *MainWindow::productionWindow() const
{
    return m_production;
}

void MainWindow::showProductionWindow()
{
    if (!m_production) {
        m_production = new ProductionWindow(m_context, m_database->databaseFileName(),
                                            [this] { return m_chip->isBusy(); });
        m_production->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_production, &ProductionWindow::runningChanged, m_chip, &ChipPanel::setLineRunning);
        connect(m_production, &ProductionWindow::runningChanged, m_ui->detectAction,
                [this](bool running) { m_ui->detectAction->setEnabled(!running); });
    }
    bringForward(m_production);
}

void MainWindow::saveSupportReport()
{
    qCDebug(lcUi, "Save support report");
    const ConnectionSettings &connection = m_context.connection();
    const QString report = SupportReport::compose({u"qv12-configurator "_s + QStringLiteral(QV12_REVISION),
                                                   m_context.ports(), connection,
                                                   connection.chipFound ? m_chip->firmwareIdentity() : QString(),
                                                   m_context.traffic()});
    if (saveTextFile(m_context.prompter(), tr("Save support report as..."), report))
        m_statusText->setText(tr("Support report saved"));
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    layout()->activate();  // the final fixed size, before it is centred
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
}
