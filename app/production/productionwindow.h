// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/production/linetotals.h"
#include "database/mechanismlist.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <set>
#include <memory>

class AppContext;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ProductionChart;
class ProductionFigures;
class Station;
class StationTile;
struct StationEnd;
struct StationVerdict;
struct ChipFailure;

// The production line in a window: one station per ticked COM number, each on a worker
// of its own, all programming the same database entry with the same identity and
// writing their records to one audit target. The set-up is locked while the line runs;
// one tile per station shows its state and the large PASS or FAIL, the totals row the
// line's counts and pace since Start.
class ProductionWindow final : public QWidget
{
    Q_OBJECT

public:
    // databaseFile is the main window's current database, the one offered first;
    // chipActionRunning tells whether one of the main window's chip actions holds a port.
    ProductionWindow(AppContext &context, const QString &databaseFile, std::function<bool()> chipActionRunning,
                     QWidget *parent = nullptr);
    ~ProductionWindow() override;

    bool isRunning() const { return !m_stations.empty(); }
    // Ends the stations after asking whether to; true when none runs any more. What
    // closing this window and quitting the program do first.
    bool endStations();

    // The question asked before running stations are ended: true means "Stop". Tests
    // answer it themselves.
    void setStopQuestion(std::function<bool()> question) { m_stopQuestion = std::move(question); }
    // The station's tile, or nullptr when that COM number has none.
    StationTile *tile(int port) const;
    const LineTotals &totals() const { return m_totals; }

signals:
    // The line started (the main window's chip actions lock) or all its stations ended.
    void runningChanged(bool running);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildSetUp();
    void fillPorts();
    void loadDatabase(const QString &path);
    void chooseDatabase();
    void chooseAuditFile();
    void start();
    void stop();
    void setSetUpLocked(bool locked);
    void connectStation(int port, Station &station);
    void showVerdict(int port, const StationVerdict &verdict);
    void stationEnded(int port, const StationEnd &end);
    void takeAway(int port);
    void showTotals();
    bool askToStop();
    void refuse(const QString &text);

    AppContext &m_context;
    std::function<bool()> m_chipActionRunning;
    std::function<bool()> m_stopQuestion;
    QString m_databaseFile;
    MechanismList m_entries;

    QGroupBox *m_setUp;
    QLabel *m_database;
    QPushButton *m_openDatabase;
    QComboBox *m_entry;
    QLineEdit *m_identity;
    QCheckBox *m_automaticIdentity;
    QComboBox *m_polarity;
    QComboBox *m_speed;
    QComboBox *m_handshake;
    QLineEdit *m_audit;
    QPushButton *m_chooseAudit;
    std::map<int, QCheckBox *> m_ports;
    QPushButton *m_start;
    QPushButton *m_stop;
    QGridLayout *m_tileGrid;
    std::map<int, StationTile *> m_tiles;
    QLabel *m_totalChips;
    QLabel *m_totalPassed;
    QLabel *m_totalFailed;
    QLabel *m_totalYield;
    QLabel *m_totalRate;
    QLabel *m_message;
    ProductionFigures *m_figures;
    ProductionChart *m_chart;

    std::map<int, std::unique_ptr<Station>> m_stations;
    std::map<int, std::pair<int, int>> m_counts;  // passed and failed, by COM number
    std::set<int> m_unrecorded;  // stations whose last chip has no record
    LineTotals m_totals;
    QElapsedTimer m_since;
    QTimer m_paceTimer;  // the chips per hour go down while nothing comes
    bool m_stopping = false;
};
