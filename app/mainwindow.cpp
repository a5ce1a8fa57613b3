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
    , m_ui(new Ui::Form1)
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
    m_statusText = new QLabel(u"Status bar"_s, m_ui->StatusBar);
    m_statusText->setObjectName(u"StatusText"_s);
    m_statusText->setTextFormat(Qt::PlainText);
    m_ui->StatusBar->addWidget(m_statusText, 1);

    // Sizes that follow the font, so the columns keep their proportions at any size.
    const QFontMetrics metrics(font());
    m_ui->List1->setMinimumHeight(metrics.lineSpacing() * 16);
    m_ui->ConfigName->setMinimumWidth(metrics.horizontalAdvance(u'M') * 16);
    m_ui->Identity->setMinimumHeight(metrics.lineSpacing() * 2);
    // The connection labels change with every detection; they keep the width of their
    // start texts so the fixed-size window never changes size under the user.
    for (QLabel *label : {m_ui->LabelCom, m_ui->LabelBauds}) {
        label->setMinimumWidth(label->sizeHint().width());
        label->setSizePolicy(QSizePolicy::Ignored, label->sizePolicy().verticalPolicy());
    }

    // Captions: green over the editor's frames, red over the two mode frames, and the
    // first option of each mode group red, the second green. Scoped by column, since
    // the dialogs this window parents reuse frame names.
    setStyleSheet(uR"(
        #Frame8 QGroupBox::title { color: rgb(0, 128, 0); }
        #Frame10 #Frame12::title, #Frame10 #Frame13::title,
        #Frame10 #ConfRes, #Frame10 #IdAuto { color: rgb(255, 0, 0); }
        #Frame10 #ConfUser, #Frame10 #IdUser { color: rgb(0, 128, 0); }
    )"_s);

    m_editor = new EditorPanel(*m_ui, this);
    m_database = new DatabaseCommands(*m_ui, m_context, *m_statusText, this);
    m_mechanismList = new MechanismListPanel(*m_ui, m_context, *m_editor, *m_database,
                                             *m_statusText, this);
    m_configurationSaver = new ConfigurationSaver(*m_ui, m_context, *m_editor, *m_mechanismList,
                                                  *m_database, *m_statusText, this);
    m_chip = new ChipPanel(*m_ui, m_context, *m_editor, *m_statusText, this, this);

    connect(m_database, &DatabaseCommands::endProgramRequested, this, &MainWindow::endProgram);
    nameByOwnCaptions(*this);

    m_helpMenuWindows = new HelpMenuWindows(this);
    // Designer leaves separators unnamed; the Help menu's one is Helpsep.
    for (QAction *entry : m_ui->Help->actions()) {
        if (entry->isSeparator())
            entry->setObjectName(u"Helpsep"_s);
    }
    connect(m_ui->Helphelp, &QAction::triggered, this, &MainWindow::Helphelp_Click);
    connect(m_ui->About, &QAction::triggered, this, &MainWindow::About_Click);
    connect(m_ui->Traffic, &QAction::triggered, this, &MainWindow::Traffic_Click);
    connect(m_ui->SupportReport, &QAction::triggered, this, &MainWindow::SupportReport_Click);
    auto *productionLine = new QAction(tr("Production line..."), this);
    productionLine->setObjectName(u"ProductionLine"_s);
    m_ui->Comm->insertAction(nullptr, productionLine);  // below "Traffic monitor..."
    connect(productionLine, &QAction::triggered, this, &MainWindow::showProductionWindow);
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
    // The column handlers use the form, and QWidget's destructor still closes a window
    // that is shown, which sends events to them (the list's event filter): they go
    // before the form, the latest made first.
    delete m_chip;
    delete m_configurationSaver;
    delete m_mechanismList;
    delete m_database;
    delete m_editor;
    delete m_ui;
}

void MainWindow::Form_Load()
{
    // The command prefixes ESC, GS and CAN are constants of the protocol layer.
    m_context.recordStartDirectory();

    m_ui->LabelCom->setText(u"No chipset found, please"_s);
    m_ui->LabelBauds->setText(u"perform a chipset detection"_s);
    for (QWidget *button : {static_cast<QWidget *>(m_ui->GetSettings),
                            static_cast<QWidget *>(m_ui->ConfigPrinter),
                            static_cast<QWidget *>(m_ui->Wakeup),
                            static_cast<QWidget *>(m_ui->SleepButton),
                            static_cast<QWidget *>(m_ui->Reset)}) {
        button->setEnabled(false);
    }
    m_ui->GetID->setEnabled(true);

    // dbOps is no entry of the menu bar at all, only a pop-up: a hidden entry there would
    // still be announced to screen readers. Its entry is hidden all the same.
    m_ui->dbOps->menuAction()->setVisible(false);

    m_database->setDatabaseSaved(true);
    m_editor->resetFields();
    m_editor->clearOptions();

    m_database->LoadDefaultDatabase();

    m_ui->GetID->setFocus();
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
    if (!m_ending && !m_database->Form_Unload()) {
        event->ignore();
        return;
    }
    m_ending = true;
    shutDown();
    event->accept();
}

void MainWindow::shutDown()
{
    // A chip job may be waiting on the worker: cancelled, its wait ends at once and its
    // port closes; the action ends without the chip.
    ChipWorker &worker = m_context.chipWorker();
    worker.cancelAll(Cancellation::Reason::ProgramEnding);
    worker.waitUntilStopped(PortCloseTimeoutMs);
    m_chip->endForProgramEnd();
    emit programEnding();
}

void MainWindow::Helphelp_Click()
{
    m_helpMenuWindows->showHelp(m_context.StartDirectory());
}

void MainWindow::About_Click()
{
    m_helpMenuWindows->showAbout(m_context.StartDirectory());
}

TrafficWindow *MainWindow::trafficWindow() const
{
    return m_traffic;
}

void MainWindow::Traffic_Click()
{
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
        m_production = new ProductionWindow(m_context, m_database->DatabaseFileName(),
                                            [this] { return m_chip->isBusy(); });
        m_production->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_production, &ProductionWindow::runningChanged, m_chip, &ChipPanel::setLineRunning);
    }
    bringForward(m_production);
}

void MainWindow::SupportReport_Click()
{
    const ConnectionSettings &connection = m_context.connection();
    const QString report = SupportReport::compose({u"qv12-configurator "_s + QStringLiteral(QV12_REVISION),
                                                   m_context.ports(), connection,
                                                   connection.ChipFound ? m_ui->Identity->text() : QString(),
                                                   m_context.traffic()});
    if (saveTextFile(m_context.prompter(), u"Save support report as..."_s, report))
        m_statusText->setText(u"Support report saved"_s);
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
