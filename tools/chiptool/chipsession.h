// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/connectionsettings.h"
#include "serial/portmap.h"
#include "serial/seriallink.h"
#include "tools/chiptool/exitstatus.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>

class Console;
class SimulatedStation;
class TrafficLog;
struct ToolOptions;

// What one run of qv12-chip works with: its options and console, the COM numbers and
// the one serial link over them, the simulated station of --simulate and the --log file.
class ChipSession final : public QObject
{
    Q_OBJECT

public:
    ChipSession(const ToolOptions &options, Console &console, QObject *parent = nullptr);
    ~ChipSession() override;

    // Puts the ports in place (--port, --simulate, the system's serial ports) and opens
    // the log; the error when that can't be done.
    std::optional<ToolError> start();

    const ToolOptions &options() const { return m_options; }
    Console &console() { return m_console; }
    PortMap &ports() { return m_ports; }
    const PortMap &ports() const { return m_ports; }
    SerialLink &link() { return m_link; }
    // Every link's events, the session's own and its workers', in time order: what --log
    // writes.
    const std::shared_ptr<TrafficRecord> &programTraffic() const { return m_programTraffic; }
    // The simulated station on COM port (--simulate, --simulate-line), or none.
    SimulatedStation *station(int port = 1);
    const SimulatedStation *station(int port = 1) const;

    // Ctrl-C or SIGTERM: the job at work stops at its next wait, and so does every later one.
    const Cancellation &cancellation() const { return m_cancellation; }
    bool interrupted() const { return m_cancellation.isRequested(); }
    // A chip job begins on the link: what the link met before is not its own.
    void beginJob();

    // Marks where a chip job starts in the traffic record...
    quint64 mark() const;
    // ...and tells whether the chip has sent anything since.
    bool heardSince(quint64 mark) const;

    // Takes in the system's serial ports again (a device plugged in or pulled out since).
    void refreshPorts();

    // A job's port failures as one error line (status 4); nothing when there were none.
    std::optional<ToolError> portError(const QList<LinkFailure> &failures) const;
    // The same for a job that ended on its port: its failure, or that the port was lost
    // when none is on record.
    ToolError portFailure(int port, const QList<LinkFailure> &failures) const;

    // "COM1 (/dev/ttyUSB0) at 9600 bauds, DSR/DTR Mode", or without the handshake.
    QString where(const ConnectionSettings &chip) const;
    QString where(int port, int speed) const;
    QString portName(int port) const;

    // The log's failure (status 5) if writing it failed during the run.
    std::optional<ToolError> logError() const;

private:
    // --log naming a file the run also reads or writes, or --audit naming the database
    // (status 2).
    std::optional<ToolError> fileConflict() const;

    const ToolOptions &m_options;
    Console &m_console;
    // Outlive the link, which may hold one open; by COM number.
    std::map<int, std::unique_ptr<SimulatedStation>> m_stations;
    PortMap m_ports;
    std::shared_ptr<TrafficRecord> m_programTraffic;
    SerialLink m_link;
    Cancellation m_cancellation;
    std::unique_ptr<TrafficLog> m_log;
};
