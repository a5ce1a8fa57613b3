// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/connectionsettings.h"
#include "tools/chiptool/exitstatus.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

class AuditFile;
class ChipSession;
struct ProgramRun;
struct ProgrammingTarget;

// qv12-chip line: chip after chip on one port. Wait for a chip (it answers the identity
// request), make sure its record can be kept, program and verify it, append its audit
// record, and only then show PASS or FAIL in large letters; then wait until it is surely
// gone before taking the next, so that no chip is programmed twice. A chip that comes
// already holding the target is said to be so and left as it is (unless --reprogram).
// Ends after --count chips, at Ctrl-C, SIGTERM or SIGHUP (the chip being programmed
// then stops at its next wait, and counts as failed), at a record that can't be kept,
// or at a port error that waiting won't mend (no access, held by another program).
class ProductionLine final
{
public:
    // A device that is not there polls this often for its return: a pinned path costs
    // a look at the file system, the system's list of ports a walk through sysfs.
    static constexpr int PinnedPollMs = 10;
    static constexpr int SystemPollMs = 200;
    // Between two identity requests to a chip that still answers.
    static constexpr int GonePollMs = 100;
    // A chip is gone once this many identity requests in a row went unanswered (or
    // found no device) over at least GoneMs: one reply lost on the line is not a chip
    // taken away, and taking it for one would program the same chip again.
    static constexpr int GoneMisses = 3;
    static constexpr int GoneMs = 300;
    // Between two scans while no chip has been found at all (no --com/--speed).
    static constexpr int ScanAgainMs = 1000;

    ProductionLine(ChipSession &session, const ProgrammingTarget &target, AuditFile &audit);

    // The exit status: 0 when every chip passed, 3 when one failed, 4 or 5 when a port
    // or the audit file ended the line.
    int run();

private:
    struct Arrival
    {
        ConnectionSettings chip;
        QByteArray identity;
    };
    struct Answer
    {
        bool found = false;
        bool openFailed = false;
        QByteArray identity;
        int handshake = 0;
    };

    std::optional<Arrival> findLine();
    std::optional<Arrival> waitForChip();
    bool waitUntilGone();
    bool present();
    Answer ask();
    void pause(bool absent);
    void handle(const Arrival &arrival);
    bool recordCanBeKept();
    bool alreadyProgrammed(const Arrival &arrival);
    void noteMadeAgain(bool madeAgain);
    QJsonObject record(const Arrival &arrival, const ProgramRun &run, const std::optional<ToolError> &error,
                       qint64 durationMs, const QString &time) const;
    int end();

    ChipSession &m_session;
    const ProgrammingTarget &m_target;
    AuditFile &m_audit;
    int m_port = 0;
    QString m_speed;
    int m_chips = 0;
    int m_passes = 0;
    int m_failures = 0;
    std::optional<ToolError> m_error;  // what ended the line early
};
