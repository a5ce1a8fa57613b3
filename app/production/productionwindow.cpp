// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/production/productionwindow.h"

#include "app/appcontext.h"
#include "app/production/productionchart.h"
#include "app/production/productionfigures.h"
#include "app/production/stationtile.h"
#include "app/prompter.h"
#include "config/wordmeaning.h"
#include "database/databasefile.h"
#include "production/chipprogramming.h"
#include "production/recordsinks.h"
#include "production/store/storetarget.h"
#include "production/station.h"
#include "protocol/exchanges.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int TilesPerRow = 3;
constexpr int PaceUpdateMs = 1000;

QString chipText(const QByteArray &identity)
{
    return escapeControls(QString::fromLatin1(identity).trimmed());
}

// The device and what the system says of it, for the COM number's tooltip.
QString portDetails(const QString &device)
{
    QStringList lines{device};
    const QSerialPortInfo info(device);
    if (!info.description().isEmpty())
        lines.append(info.description());
    if (!info.manufacturer().isEmpty())
        lines.append(info.manufacturer());
    if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
        lines.append(u"USB %1:%2"_s.arg(info.vendorIdentifier(), 4, 16, QChar(u'0'))
                         .arg(info.productIdentifier(), 4, 16, QChar(u'0')));
    }
    if (!info.serialNumber().isEmpty())
        lines.append(info.serialNumber());
    return lines.join(u'\n');
}

// Why a chip failed, as short as a tile can say it: the settings that read back wrong
// ("motor rotation reads inverted"), else the station's line.
QString failureWords(const StationVerdict &v)
{
    if (v.failure && v.failure->kind == ChipFailure::Kind::Mismatch) {
        QStringList wrong;
        for (const RecordedCheck &check : v.record.checks) {
            if (!check.ok)
                wrong.append(ProductionWindow::tr("%1 reads %2").arg(check.name, escapeControls(check.actual)));
        }
        if (!wrong.isEmpty())
            return wrong.join(u", "_s);
    }
    return v.failure ? v.failure->line : v.record.failure;
}

// A set-up row's caption, its mnemonic taking the focus to buddy.
QLabel *caption(const QString &text, const QString &name, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

} // namespace

ProductionWindow::ProductionWindow(AppContext &context, const QString &databaseFile,
                                   std::function<bool()> chipActionRunning, QWidget *parent)
    : QWidget(parent), m_context(context), m_chipActionRunning(std::move(chipActionRunning))
{
    setObjectName(u"productionWindow"_s);
    setWindowTitle(tr("Production line"));
    setWindowFlag(Qt::Window);
    m_stopQuestion = [this] {
        QMessageBox box(QMessageBox::Question, tr("Production line"),
                        tr("Stations are running. Stop them? A chip being programmed counts as failed."),
                        QMessageBox::NoButton, this);
        box.setObjectName(u"stopQuestionBox"_s);
        box.setTextFormat(Qt::PlainText);
        QPushButton *stopButton = box.addButton(tr("Stop"), QMessageBox::AcceptRole);
        stopButton->setObjectName(u"stopStationsButton"_s);
        box.addButton(QMessageBox::Cancel)->setObjectName(u"keepRunningButton"_s);
        box.setDefaultButton(stopButton);
        box.exec();
        return box.clickedButton() == stopButton;
    };

    buildSetUp();

    m_start = new QPushButton(tr("Start"), this);
    m_start->setObjectName(u"startButton"_s);
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setObjectName(u"stopButton"_s);
    m_stop->setEnabled(false);
    connect(m_start, &QPushButton::clicked, this, &ProductionWindow::start);
    connect(m_stop, &QPushButton::clicked, this, &ProductionWindow::stop);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);

    auto *tiles = new QWidget(this);
    tiles->setObjectName(u"stationsArea"_s);
    m_tileGrid = new QGridLayout(tiles);

    auto *totals = new QGroupBox(tr("Totals"), this);
    totals->setObjectName(u"totalsGroup"_s);
    auto *totalsLayout = new QHBoxLayout(totals);
    auto total = [&](QLabel *&label, const QString &name) {
        label = new QLabel(totals);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        totalsLayout->addWidget(label);
    };
    total(m_totalChips, u"totalChipsLabel"_s);
    total(m_totalPassed, u"totalPassedLabel"_s);
    total(m_totalFailed, u"totalFailedLabel"_s);
    total(m_totalYield, u"totalYieldLabel"_s);
    total(m_totalRate, u"totalRateLabel"_s);
    totalsLayout->addStretch(1);

    m_message = new QLabel(this);
    m_message->setObjectName(u"lineMessageLabel"_s);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);

    // Today's figures and the last hours, from the audit store.
    m_figures = new ProductionFigures(this);
    m_chart = new ProductionChart(this);
    m_chart->setFigures(m_figures->figures());
    connect(m_figures, &ProductionFigures::changed, m_chart, &ProductionChart::setFigures);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_setUp);
    layout->addLayout(buttons);
    layout->addWidget(tiles, 1);
    layout->addWidget(totals);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_message);

    m_paceTimer.setInterval(PaceUpdateMs);
    connect(&m_paceTimer, &QTimer::timeout, this, &ProductionWindow::showTotals);
    showTotals();

    loadDatabase(databaseFile);
    if (m_databaseFile.isEmpty()) {
        // The main window's list as it is, when it has no file of its own.
        m_database->setText(tr("The main window's list"));
        m_entries.assign(m_context.mechanisms().entries());
        for (const MechanismEntry &entry : m_entries.entries())
            m_entry->addItem(entry.name);
    }
}

ProductionWindow::~ProductionWindow()
{
    // Each station's worker ends its chip at the next wait as it goes.
    m_stations.clear();
}

void ProductionWindow::buildSetUp()
{
    m_setUp = new QGroupBox(tr("Set-up"), this);
    m_setUp->setObjectName(u"setUpGroup"_s);
    auto *form = new QFormLayout(m_setUp);

    m_database = new QLabel(m_setUp);
    m_database->setObjectName(u"databaseFileLabel"_s);
    m_database->setTextFormat(Qt::PlainText);
    m_openDatabase = new QPushButton(tr("Open..."), m_setUp);
    m_openDatabase->setObjectName(u"openDatabaseButton"_s);
    m_openDatabase->setAccessibleName(tr("Open database"));
    connect(m_openDatabase, &QPushButton::clicked, this, &ProductionWindow::chooseDatabase);
    auto *databaseRow = new QHBoxLayout;
    databaseRow->addWidget(m_database, 1);
    databaseRow->addWidget(m_openDatabase);
    form->addRow(caption(tr("Database:"), u"databaseCaption"_s, m_openDatabase, m_setUp), databaseRow);

    m_entry = new QComboBox(m_setUp);
    m_entry->setObjectName(u"entryCombo"_s);
    m_entry->setAccessibleName(tr("Entry"));
    form->addRow(caption(tr("&Entry:"), u"entryCaption"_s, m_entry, m_setUp), m_entry);

    m_identity = new QLineEdit(m_setUp);
    m_identity->setObjectName(u"identityEdit"_s);
    m_identity->setAccessibleName(tr("Identity"));
    m_identity->setMaxLength(16);
    m_automaticIdentity = new QCheckBox(tr("Automatic identity"), m_setUp);
    m_automaticIdentity->setObjectName(u"automaticIdentityCheck"_s);
    connect(m_automaticIdentity, &QCheckBox::toggled, m_identity, &QWidget::setDisabled);
    auto *identityRow = new QHBoxLayout;
    identityRow->addWidget(m_identity, 1);
    identityRow->addWidget(m_automaticIdentity);
    form->addRow(caption(tr("&Identity:"), u"identityCaption"_s, m_identity, m_setUp), identityRow);

    m_polarity = new QComboBox(m_setUp);
    m_polarity->setObjectName(u"polarityCombo"_s);
    m_polarity->setAccessibleName(tr("When the strobe polarity differs"));
    m_polarity->addItem(tr("Program anyway"));
    m_polarity->addItem(tr("Refuse"));
    m_polarity->setCurrentIndex(1);
    form->addRow(caption(tr("When the strobe &polarity differs:"), u"polarityCaption"_s, m_polarity, m_setUp),
                 m_polarity);

    m_speed = new QComboBox(m_setUp);
    m_speed->setObjectName(u"speedCombo"_s);
    m_speed->setAccessibleName(tr("Speed"));
    m_speed->addItem(tr("Found on each port"), 0);
    for (const int speed : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        m_speed->addItem(QString::number(speed), speed);
    m_handshake = new QComboBox(m_setUp);
    m_handshake->setObjectName(u"handshakeCombo"_s);
    m_handshake->setAccessibleName(tr("Handshake"));
    m_handshake->addItem(tr("As the chip answers"), QVariant());
    m_handshake->addItem(tr("None"), QVariant::fromValue(Handshake::None));
    m_handshake->addItem(handshakeDisplayName(Handshake::XonXoff), QVariant::fromValue(Handshake::XonXoff));
    m_handshake->addItem(handshakeDisplayName(Handshake::DsrDtr), QVariant::fromValue(Handshake::DsrDtr));
    auto *speedRow = new QHBoxLayout;
    speedRow->addWidget(m_speed);
    speedRow->addWidget(m_handshake);
    speedRow->addStretch(1);
    form->addRow(caption(tr("&Speed:"), u"speedCaption"_s, m_speed, m_setUp), speedRow);

    // The records of every run of the window in one store of the user's own, made on first use.
    m_audit = new QLineEdit(QDir::toNativeSeparators(defaultStorePath()), m_setUp);
    m_audit->setObjectName(u"auditFileEdit"_s);
    m_audit->setAccessibleName(tr("Audit file"));
    m_chooseAudit = new QPushButton(tr("Choose..."), m_setUp);
    m_chooseAudit->setObjectName(u"chooseAuditFileButton"_s);
    m_chooseAudit->setAccessibleName(tr("Choose audit file"));
    connect(m_chooseAudit, &QPushButton::clicked, this, &ProductionWindow::chooseAuditFile);
    auto *auditRow = new QHBoxLayout;
    auditRow->addWidget(m_audit, 1);
    auditRow->addWidget(m_chooseAudit);
    form->addRow(caption(tr("&Audit file:"), u"auditFileCaption"_s, m_audit, m_setUp), auditRow);

    auto *portsRow = new QHBoxLayout;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        auto *box = new QCheckBox(tr("COM%1").arg(port), m_setUp);
        box->setObjectName(u"portCheck%1"_s.arg(port));
        portsRow->addWidget(box);
        m_ports[port] = box;
    }
    portsRow->addStretch(1);
    form->addRow(caption(tr("Stations:"), u"stationsCaption"_s, nullptr, m_setUp), portsRow);
    fillPorts();
}

void ProductionWindow::fillPorts()
{
    m_context.refreshPorts();
    const PortMap &ports = m_context.ports();
    for (auto &[port, box] : m_ports) {
        const bool there = ports.exists(port);
        box->setEnabled(there);
        if (!there)
            box->setChecked(false);
        box->setToolTip(there ? portDetails(ports.device(port)) : tr("No device on COM%1").arg(port));
    }
}

void ProductionWindow::loadDatabase(const QString &path)
{
    if (path.isEmpty())
        return;
    MechanismList read;
    if (const Result<int, DatabaseFileError> done = readDatabaseFile(path, read); !done) {
        refuse(tr("%1: %2").arg(path, done.error().reason));
        return;
    }
    m_databaseFile = path;
    m_database->setText(QDir::toNativeSeparators(path));
    m_entries.assign(read.entries());
    const QString before = m_entry->currentText();
    m_entry->clear();
    for (const MechanismEntry &entry : m_entries.entries())
        m_entry->addItem(entry.name);
    if (const int row = m_entry->findText(before, Qt::MatchExactly); row >= 0)
        m_entry->setCurrentIndex(row);
}

void ProductionWindow::chooseDatabase()
{
    const QString path = m_context.prompter().chooseFile(
        {Prompter::FileRequest::Style::Open, tr("Open database"), tr("Configuration databases (*.cdb)"), u"cdb"_s,
         false});
    loadDatabase(path);
}

void ProductionWindow::chooseAuditFile()
{
    const QString path = m_context.prompter().chooseFile(
        {Prompter::FileRequest::Style::Save, tr("Audit file"), tr("Audit files (*.jsonl)"), u"jsonl"_s, false});
    if (!path.isEmpty())
        m_audit->setText(path);
}

StationTile *ProductionWindow::tile(int port) const
{
    const auto found = m_tiles.find(port);
    return found == m_tiles.end() ? nullptr : found->second;
}

void ProductionWindow::refuse(const QString &text)
{
    m_message->setText(text);
    m_context.prompter().message(text, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void ProductionWindow::start()
{
    if (isRunning())
        return;
    if (m_chipActionRunning && m_chipActionRunning()) {
        refuse(tr("A chip action of the main window is using a port. Start the line when it has ended."));
        return;
    }
    const int row = m_entry->currentIndex();
    if (row < 0 || row >= m_entries.count()) {
        refuse(tr("Choose the database entry to program."));
        return;
    }
    const MechanismEntry &entry = m_entries.at(row);
    const Result<ConfigWord, QString> word = programmableWord(entry.word.text());
    if (!word) {
        refuse(tr("The entry \"%1\" can't be programmed: %2.").arg(escapeControls(entry.name), word.error()));
        return;
    }
    ProgrammingTarget target;
    target.setWord(*word);
    target.entry = storedName(entry.name);
    target.polarity = m_polarity->currentIndex() == 0 ? ProgrammingTarget::PolarityAnswer::Program
                                                      : ProgrammingTarget::PolarityAnswer::Refuse;
    if (m_automaticIdentity->isChecked()) {
        target.setAutomaticIdentity();
    } else {
        const QString identity = m_identity->text();
        if (identity.trimmed().isEmpty()) {
            refuse(tr("Type the identity to program, or tick \"Automatic identity\"."));
            return;
        }
        if (Exchanges::hasControlCharacters(identity)) {
            refuse(tr("An identity is printable text, without control characters."));
            return;
        }
        target.setIdentity(identity);
    }
    QList<int> ports;
    for (const auto &[port, box] : m_ports) {
        if (box->isChecked() && box->isEnabled())
            ports.append(port);
    }
    if (ports.isEmpty()) {
        refuse(tr("Tick the COM numbers of the stations."));
        return;
    }
    // A line that can't keep its records must not program a chip.
    const QString audit = m_audit->text().trimmed();
    Result<std::unique_ptr<RecordSink>, RecordError> first = makeRecordSink(audit);
    const Result<void, RecordError> checked = first ? (*first)->check() : Result<void, RecordError>(Failure(first.error()));
    if (audit.isEmpty() || !checked) {
        // A URI is shown as the sink shows it, its password masked.
        const QString where = first ? (*first)->describe() : tr("The audit target");
        refuse(tr("%1: the records can't be kept: %2").arg(where, audit.isEmpty() ? tr("no audit file given")
                                                                                   : checked.error().message));
        return;
    }

    for (auto &[port, tile] : m_tiles)
        delete tile;
    m_tiles.clear();
    m_counts.clear();
    m_unrecorded.clear();
    m_totals = {};
    m_message->clear();
    const int speed = m_speed->currentData().toInt();
    const QVariant handshake = m_handshake->currentData();
    int placed = 0;
    for (const int port : std::as_const(ports)) {
        Result<std::unique_ptr<RecordSink>, RecordError> sink = makeRecordSink(audit);
        if (!sink) {
            refuse(tr("%1: the records can't be kept: %2").arg((*first)->describe(), sink.error().message));
            break;
        }
        StationSettings settings;
        settings.port = port;
        settings.ports = m_context.ports();
        settings.speed = speed;
        if (handshake.isValid() && speed != 0)
            settings.handshake = handshake.value<Handshake>();
        settings.target = target;
        settings.databaseFile = m_databaseFile;
        settings.endOnPortLoss = true;
        auto station = std::make_unique<Station>(settings, std::move(*sink), m_context.trafficRecord());
        auto *tile = new StationTile(port, settings.ports.device(port), this);
        m_tileGrid->addWidget(tile, placed / TilesPerRow, placed % TilesPerRow);
        ++placed;
        m_tiles[port] = tile;
        m_counts[port] = {0, 0};
        connectStation(port, *station);
        m_stations[port] = std::move(station);
    }
    if (m_stations.empty())
        return;
    m_stopping = false;
    setSetUpLocked(true);
    m_figures->start(audit);
    m_since.start();
    m_paceTimer.start();
    showTotals();
    emit runningChanged(true);
    for (auto &[port, station] : m_stations)
        station->start();
}

void ProductionWindow::stop()
{
    m_stopping = true;
    for (auto &[port, station] : m_stations) {
        m_tiles[port]->setState(tr("Stopping"));
        station->stop();
    }
}

void ProductionWindow::setSetUpLocked(bool locked)
{
    m_setUp->setEnabled(!locked);
    m_start->setEnabled(!locked);
    m_stop->setEnabled(locked);
    if (locked)
        m_stop->setFocus();
    else
        m_start->setFocus();
}

void ProductionWindow::connectStation(int port, Station &station)
{
    StationTile *tile = m_tiles[port];
    connect(&station, &Station::waiting, tile, [tile] { tile->setState(tr("Waiting for a chip")); });
    connect(&station, &Station::found, tile, [tile](int, const StationArrival &) {
        tile->setVerdict(StationTile::Verdict::None);
        tile->setState(tr("Programming"));
    });
    connect(&station, &Station::alreadyProgrammed, this, [this, tile, port](const StationArrival &) {
        tile->setState(tr("Already programmed: take it away"));
        takeAway(port);
    });
    connect(&station, &Station::progress, tile, [tile](const ProgrammingStep &step) {
        switch (step.kind) {
        case ProgrammingStep::Kind::ReadBack:
            tile->setState(tr("Checking"));
            break;
        case ProgrammingStep::Kind::Reset:
        case ProgrammingStep::Kind::Identity:
            tile->setState(tr("Programming: restarting the chip"));
            break;
        case ProgrammingStep::Kind::Setting:
            tile->setState(tr("Programming: setting %1 of %2").arg(step.settingNumber()).arg(step.settingCount()));
            break;
        }
    });
    connect(&station, &Station::recordWritten, this, [this](const ChipRecord &, const RecordKept &kept) {
        if (kept.madeAgain)
            m_message->setText(tr("The audit file was not there any more; the records go on in a new one."));
    });
    connect(&station, &Station::verdict, this, [this, port](const StationVerdict &v) { showVerdict(port, v); });
    connect(&station, &Station::portLost, tile, [tile](const ChipFailure &) {
        tile->setState(tr("Port lost: the device went away"));
    });
    connect(&station, &Station::finished, this, [this, port](const StationEnd &end) { stationEnded(port, end); });
}

void ProductionWindow::showVerdict(int port, const StationVerdict &v)
{
    StationTile *tile = m_tiles[port];
    auto &[passed, failed] = m_counts[port];
    const bool pass = v.record.passed && !v.recordFailure;
    ++(pass ? passed : failed);
    m_totals.add(pass);
    m_figures->chipFinished(v.record.started, pass);
    tile->setVerdict(pass ? StationTile::Verdict::Pass : StationTile::Verdict::Fail);
    tile->setCounts(passed, failed);
    const QByteArray identity = v.record.identityAfter.value_or(v.record.identityBefore);
    tile->setLastChip(chipText(identity), QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
    if (v.recordFailure) {
        m_unrecorded.insert(port);
        tile->setState(tr("FAIL: its record was not written (%1): set it apart").arg(v.recordFailure->line));
        m_message->setText(tr("COM%1 stopped: %2").arg(port).arg(v.recordFailure->line));
    } else if (pass) {
        tile->setState(tr("PASS: take it away"));
    } else {
        tile->setState(tr("FAIL: %1: take it away").arg(failureWords(v)));
    }
    showTotals();
    if (!m_stopping && !v.recordFailure)
        takeAway(port);
}

void ProductionWindow::takeAway(int port)
{
    if (const auto &takeChipAway = m_context.chipTakenAway())
        takeChipAway(port);
}

void ProductionWindow::stationEnded(int port, const StationEnd &end)
{
    StationTile *tile = m_tiles[port];
    if (end.error && end.error->kind == ChipFailure::Kind::PortLost)
        tile->setState(tr("Port lost: the device went away"));
    else if (end.error && m_unrecorded.contains(port))
        // The stop must not hide what the operator has to do with the chip in the socket.
        tile->setState(tr("Stopped: %1. Set the last chip apart: it has no record.").arg(end.error->line));
    else if (end.error)
        tile->setState(tr("Stopped: %1").arg(end.error->line));
    else
        tile->setState(tr("Stopped"));
    // Let the station go once its call has returned.
    m_stations.at(port).release()->deleteLater();
    m_stations.erase(port);
    if (!m_stations.empty())
        return;
    m_paceTimer.stop();
    showTotals();
    setSetUpLocked(false);
    emit runningChanged(false);
}

void ProductionWindow::showTotals()
{
    const qint64 elapsed = m_since.isValid() ? m_since.elapsed() : 0;
    m_totalChips->setText(tr("Chips: %1").arg(m_totals.chips));
    m_totalPassed->setText(tr("Passed: %1").arg(m_totals.passed));
    m_totalFailed->setText(tr("Failed: %1").arg(m_totals.failed));
    m_totalYield->setText(tr("Yield: %1 %").arg(m_totals.yieldPercent(), 0, 'f', 1));
    m_totalRate->setText(tr("Chips per hour: %1").arg(m_totals.chipsPerHour(elapsed), 0, 'f', 0));
}

bool ProductionWindow::endStations()
{
    if (!isRunning())
        return true;
    if (!m_stopQuestion())
        return false;
    m_stopping = true;
    // Each station's chip ends at its next wait; its worker is waited for as it goes.
    for (auto &[port, station] : m_stations) {
        station->stop();
        m_tiles[port]->setState(tr("Stopped"));
    }
    m_stations.clear();
    m_paceTimer.stop();
    setSetUpLocked(false);
    emit runningChanged(false);
    return true;
}

void ProductionWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // An adapter plugged in meanwhile can be ticked when the operator comes back.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isRunning())
        fillPorts();
}

void ProductionWindow::closeEvent(QCloseEvent *event)
{
    if (!endStations()) {
        event->ignore();
        return;
    }
    event->accept();
}
