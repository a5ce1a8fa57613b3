// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"
#include "serial/linkfailure.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Finding the chip: waking it, identifying it on one port and speed, and scanning the
// ports and speeds for it. Every function sets the port up itself and leaves it closed.
// The wake-up and the scan touch only the COM numbers they are given (every one by
// default), so that a station keeps to its own port. Nothing here words a result or
// touches ConnectionSettings: the port selection dialog does both.
namespace Detection {

inline constexpr int WakeSpeed = 57600;
inline constexpr int NameLength = 16;          // the part of the identity that names the chip
// What the identification is asked with, by the automatic detection and by a station,
// when the chip's own handshake is not known yet (the port selection dialog's first choice).
inline constexpr Handshake AskingHandshake = Handshake::DsrDtr;

// COM1 to COM6.
QList<int> everyPort();

// Where the wake-up byte went: a chip that sleeps answers nothing, so the ports it was
// sent to are all a caller can know, and a port that could not be opened must not pass
// for one that was woken.
struct WakeupResult
{
    QList<int> reached;             // the byte was sent on these, ascending
    QList<LinkFailure> unreached;   // these could not be opened, or their given device is missing
    bool reachedAny() const { return !reached.isEmpty(); }
};

// One NUL byte at 57600 bauds without handshake to each of ports that exists (every COM
// number by default), each opened just for it and closed again, then a pause of 1000 ms
// for the chip to wake. A port given a device (PortMap::assign) that is not there counts
// as unreached.
WakeupResult wakeUpPrinter(SerialLink &link, const QList<int> &ports = everyPort());

struct PortResult
{
    bool found = false;       // something answered the identity request
    QByteArray identity;      // every byte that had arrived 250 ms after it (at most 100)
    Handshake handshake = Handshake::DsrDtr;  // what the chip's setting 28 stands for
};

// Identifies the chip on port at speed, opened with handshake, and reads its serial
// setting to decide the handshake. A port that cannot be opened, or is lost, fails the job.
JobResult<PortResult> detectOnPort(SerialLink &link, int port, int speed, Handshake handshake);

// The handshake that the chip's serial setting stands for at speed: Xon-Xoff when bits
// 0-2 are the speed's code and bit 7 is clear, else DSR/DTR Mode, also when no setting
// byte came.
Handshake handshakeFor(std::optional<quint8> serialSetting, int speed);

// The name the chip gives in its identity: its first 16 characters, spaces at both
// ends removed; one character per byte.
QString chipName(const QByteArray &identity);

struct ScanHooks
{
    // Before each attempt (the dialog shows its progress line).
    std::function<void(int port, int speed)> attempting;
    // Checked before each attempt: true ends the scan with nothing found.
    std::function<bool()> stopRequested;
    // When set, only the attempts it accepts are made (qv12-chip narrows the scan to
    // one port or one speed); the others are passed over without opening anything.
    std::function<bool(int port, int speed)> wanted;
    // The automatic detection only: the chip answered the probes on port at the speed
    // with that index in Commands::speedList(); its identification comes next.
    std::function<void(int port, int speedIndex)> found;
};

struct ScanResult
{
    bool found = false;
    int port = 0;
    int speed = 0;
    int speedIndex = -1;   // in Commands::speedList()
    QList<int> skipped;    // ports that exist but could not be opened
};

// The automatic scan's attempts (the wake-up before it is the caller's): the existing
// ones of ports ascending, at each the nine speeds from 115200 down to 1200, without
// handshake, until the chip answers two probes with exactly one byte each. A port that
// can't be opened is skipped at its first attempt (the link records why).
ScanResult scan(SerialLink &link, const ScanHooks &hooks, const QList<int> &ports = everyPort());

struct AutodetectResult
{
    ScanResult scan;               // where the probes were answered, if anywhere
    PortResult identification;     // there, with "DSR/DTR Mode"
    // The ports it could not use on the way (waking, scanning, identifying), each with why.
    QList<LinkFailure> passedOver;
    bool found() const { return scan.found && identification.found; }
};

// "Autodetect Chipset" without its window: the wake-up, the scan, and the identification
// with "DSR/DTR Mode" on the port and speed where the chip answered. Only a cancelled
// job fails: ports that let it down are passed over.
JobResult<AutodetectResult> autodetect(SerialLink &link, const ScanHooks &hooks,
                                       const QList<int> &ports = everyPort());

} // namespace Detection
