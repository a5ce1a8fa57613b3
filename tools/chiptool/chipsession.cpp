// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/chipsession.h"

#include "serial/traffictext.h"
#include "tools/chiptool/console.h"
#include "production/failurewords.h"
#include "sim/simulatedstation.h"
#include "tools/chiptool/tooloptions.h"
#include "tools/chiptool/trafficlog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

ChipSession::ChipSession(const ToolOptions &options, Console &console, QObject *parent)
    : QObject(parent), m_options(options), m_console(console), m_programTraffic(std::make_shared<TrafficRecord>())
{
    m_link.setProgramTraffic(m_programTraffic);
}

ChipSession::~ChipSession()
{
    // The link's last close goes into the log before the log goes.
    m_link.close();
}

namespace {

// Where path leads: the file's identity when it is there, else its absolute path with
// the folder's links resolved.
struct FileKey
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    QString path;
};

FileKey keyOf(const QString &path)
{
    FileKey key;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        key.exists = true;
        key.device = info.st_dev;
        key.inode = info.st_ino;
    }
    const QFileInfo file(path);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    key.path = (folder.isEmpty() ? file.absolutePath() : folder) + u'/' + file.fileName();
    return key;
}

bool same(const FileKey &a, const FileKey &b)
{
    if (a.exists && b.exists)
        return a.device == b.device && a.inode == b.inode;
    return !a.exists && !b.exists && a.path == b.path;
}

bool sameAsDescriptor(const FileKey &key, int fd)
{
    struct stat info {};
    return key.exists && ::fstat(fd, &info) == 0 && info.st_dev == key.device && info.st_ino == key.inode;
}

} // namespace

std::optional<ToolError> ChipSession::fileConflict() const
{
    // Appending the log or the records to a file the run reads or writes would corrupt
    // it: refused before anything is opened, whatever name either is given by.
    const QString database = QCoreApplication::translate("ChipSession", "the database given with --db");
    if (!m_options.auditFile.isEmpty() && !m_options.database.isEmpty()
        && same(keyOf(m_options.auditFile), keyOf(m_options.database))) {
        return ToolError{ExitStatus::UsageError, QCoreApplication::translate("ChipSession", "--audit %1: that is also %2; give the records a file of their own")
                                         .arg(m_options.auditFile, database)};
    }
    if (m_options.logFile.isEmpty())
        return std::nullopt;
    QList<std::pair<QString, QString>> others;  // what it is, its path
    if (!m_options.database.isEmpty())
        others.append({database, m_options.database});
    if (!m_options.auditFile.isEmpty())
        others.append({QCoreApplication::translate("ChipSession", "the audit file given with --audit"), m_options.auditFile});
    if (!m_options.reportFile.isEmpty())
        others.append({QCoreApplication::translate("ChipSession", "the report's file"), m_options.reportFile});
    for (const PortAssignment &assignment : m_options.ports)
        others.append({QCoreApplication::translate("ChipSession", "the device of COM%1").arg(assignment.port), assignment.device});
    const FileKey log = keyOf(m_options.logFile);
    QString clash;
    for (const auto &[what, path] : std::as_const(others)) {
        if (same(log, keyOf(path))) {
            clash = what;
            break;
        }
    }
    if (clash.isEmpty() && sameAsDescriptor(log, STDOUT_FILENO))
        clash = QCoreApplication::translate("ChipSession", "standard output");
    if (clash.isEmpty() && sameAsDescriptor(log, STDERR_FILENO))
        clash = QCoreApplication::translate("ChipSession", "standard error");
    if (clash.isEmpty())
        return std::nullopt;
    return ToolError{ExitStatus::UsageError, QCoreApplication::translate("ChipSession", "--log %1: that is also %2; give the log a file of its own")
                                     .arg(m_options.logFile, clash)};
}

std::optional<ToolError> ChipSession::start()
{
    if (auto conflict = fileConflict())
        return conflict;
    for (const PortAssignment &assignment : m_options.ports)
        m_ports.assign(assignment.port, assignment.device);
    const int simulated = m_options.simulate ? 1 : m_options.simulateLine;
    for (int port = 1; port <= simulated; ++port) {
        auto station = std::make_unique<SimulatedStation>();
        if (const Result<void, QString> started = station->start(); !started)
            return ToolError{ExitStatus::PortError, QCoreApplication::translate("ChipSession", "the simulated chip could not start: %1").arg(started.error())};
        m_ports.assign(port, station->devicePath());
        m_stations[port] = std::move(station);
    }
    refreshPorts();
    beginJob();

    if (!m_options.logFile.isEmpty()) {
        m_log = std::make_unique<TrafficLog>(*m_programTraffic);
        if (const Result<void, QString> opened = m_log->open(m_options.logFile); !opened) {
            return ToolError{ExitStatus::FileError, QCoreApplication::translate("ChipSession", "%1: cannot write the log: %2; give a file in a folder "
                                        "you can write to").arg(m_options.logFile, opened.error())};
        }
    }
    return std::nullopt;
}

SimulatedStation *ChipSession::station(int port)
{
    const auto found = m_stations.find(port);
    return found == m_stations.end() ? nullptr : found->second.get();
}

const SimulatedStation *ChipSession::station(int port) const
{
    const auto found = m_stations.find(port);
    return found == m_stations.end() ? nullptr : found->second.get();
}

void ChipSession::refreshPorts()
{
    // A bench may have other serial devices (a scanner, a scale) that must not get the
    // wake-up byte or the scan's probes.
    if (!m_options.givenPortsOnly)
        m_ports.refresh();
    m_link.setPorts(m_ports);
}

void ChipSession::beginJob()
{
    m_link.startJob(m_cancellation);
}

quint64 ChipSession::mark() const
{
    return m_link.traffic().nextSequence();
}

bool ChipSession::heardSince(quint64 mark) const
{
    const QList<TrafficEvent> events = m_link.traffic().eventsSince(mark);
    return std::any_of(events.cbegin(), events.cend(),
                       [](const TrafficEvent &e) { return e.kind == TrafficEvent::Kind::Received; });
}

std::optional<ToolError> ChipSession::portError(const QList<LinkFailure> &failures) const
{
    if (failures.isEmpty())
        return std::nullopt;
    return ToolError{ExitStatus::PortError, FailureWords::line(FailureWords::principal(failures))};
}

ToolError ChipSession::portFailure(int port, const QList<LinkFailure> &failures) const
{
    if (auto error = portError(failures))
        return *error;
    return ToolError{ExitStatus::PortError, QCoreApplication::translate("ChipSession", "%1: the port was lost; check the cable and the serial adapter")
                                    .arg(portName(port))};
}

QString ChipSession::portName(int port) const
{
    return FailureWords::portName(m_ports, port);
}

QString ChipSession::where(int port, int speed) const
{
    return FailureWords::where(m_ports, port, speed);
}

QString ChipSession::where(const ConnectionSettings &chip) const
{
    return where(chip.port, chip.speed) + u", "_s + handshakeDisplayName(chip.handshake);
}

std::optional<ToolError> ChipSession::logError() const
{
    if (!m_log || m_log->failure().isEmpty())
        return std::nullopt;
    return ToolError{ExitStatus::FileError, QCoreApplication::translate("ChipSession", "%1: the log could not be written to the end: %2; make room "
                                "or give another file").arg(m_log->path(), m_log->failure())};
}
