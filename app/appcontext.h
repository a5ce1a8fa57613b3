// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "database/mechanismlist.h"
#include "serial/chipworker.h"
#include "serial/connectionsettings.h"
#include "serial/portmap.h"
#include "serial/trafficrecord.h"

#include <QString>

#include <functional>
#include <memory>

class Prompter;
struct CommandLine;

// What the parts of the program share for the whole run: the way to talk to the user,
// the serial ports, the chip worker whose thread owns the link over them, the record of
// every line's traffic, where the chip was found, the directory the program started in,
// and the mechanism list that the main window shows.
class AppContext final
{
public:
    explicit AppContext(Prompter &prompter);
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    Prompter &prompter() const { return m_prompter; }
    // The COM numbers as the window knows them; each chip job gets a copy when it starts.
    PortMap &ports() { return m_ports; }
    ChipWorker &chipWorker() { return m_chipWorker; }
    // Every open, close and byte of the lines, in time order; read from any thread.
    TrafficRecord &traffic() { return *m_traffic; }
    const std::shared_ptr<TrafficRecord> &trafficRecord() const { return m_traffic; }
    ConnectionSettings &connection() { return m_connection; }
    MechanismList &mechanisms() { return m_mechanisms; }

    // The current directory when the main window loaded, ending in one "/". The help
    // file and default.cdb are found under it.
    const QString &startDirectory() const { return m_startDirectory; }
    // Records the current directory as startDirectory.
    void recordStartDirectory();

    // Whether the system's serial ports take the free COM numbers. The port selection
    // dialog and Wake up look at them afresh; tests turn this off so that only their
    // simulated chips are there.
    bool usesSystemPorts() const { return m_usesSystemPorts; }
    void setUsesSystemPorts(bool uses) { m_usesSystemPorts = uses; }
    // Takes in the system's serial ports now, when they are used.
    void refreshPorts();
    // The ports the command line asks for: its --port devices, simulatedDevice (the
    // --simulate chip's, when there is one) on COM1, and the system's ports only when
    // it wants them.
    void takePorts(const CommandLine &commandLine, const QString &simulatedDevice);

    // The simulated line (--simulate-line): the chip on a COM number whose result shows
    // is taken away, and a fresh one follows. Empty with real stations.
    const std::function<void(int port)> &chipTakenAway() const { return m_chipTakenAway; }
    void setChipTakenAway(std::function<void(int port)> takeAway) { m_chipTakenAway = std::move(takeAway); }

private:
    Prompter &m_prompter;
    PortMap m_ports;
    std::shared_ptr<TrafficRecord> m_traffic = std::make_shared<TrafficRecord>();
    ChipWorker m_chipWorker{m_traffic};
    ConnectionSettings m_connection;
    QString m_startDirectory;
    bool m_usesSystemPorts = true;
    MechanismList m_mechanisms;
    std::function<void(int)> m_chipTakenAway;
};
