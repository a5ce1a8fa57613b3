// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// One user per serial device, whatever name it is opened by and whoever runs the program.
//
// Qt names its lock file after the path it is given, so a link and the device it points
// at get two lock files, and the superuser passes the exclusive-open flag. A port is
// therefore known by its device number: a lock file named after that number holds the
// process id of its user, and an exclusive flock() on the open descriptor keeps out any
// other program that locks the device that way (picocom does), root included. Both go
// with the process, so a killed program leaves nothing that holds a port.
class PortLock final
{
public:
    PortLock() = default;
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;
    ~PortLock();

    // The device's own path, links followed (the path itself when it does not exist):
    // the name every lock of it is taken under.
    static QString resolve(const QString &device);

    // Takes the lock file of the device at path (resolved). False when another process
    // holds it (holder() says which). A lock directory that can't be written costs only
    // the lock file; the descriptor's lock still holds.
    bool acquire(const QString &path);
    // The exclusive lock on the device's open descriptor; false when another open
    // description of it holds one.
    bool lockOpened(int fd);
    // Gives the lock file back. The descriptor's lock goes with its close.
    void release();

    // The process that holds the device, when acquire() or lockOpened() said no and
    // that process is known.
    std::optional<qint64> holder() const { return m_holder; }

    // The live process that holds device's lock file, if any (for the port's details).
    static std::optional<qint64> holderOf(const QString &device);

private:
    int m_fd = -1;
    QString m_lockPath;
    std::optional<qint64> m_holder;
};
