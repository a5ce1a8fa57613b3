// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The program reads and writes its own files only: a database, an audit or log file, a
// report, a saved record. A device node, a FIFO or a folder at such a path is left
// alone (replacing a device node by rename would destroy it), and opening never waits
// (a FIFO with nobody at its other end holds open() for ever, Ctrl-C included).
namespace RegularFile {

// Why path can't be taken as a file: "it is a FIFO, not a regular file" and the like;
// nothing when it is a regular file or nothing is there (a link is followed).
std::optional<QString> problem(const QString &path);

struct Opened
{
    int fd = -1;        // -1: not opened, error says why
    QString error;
    int code = 0;       // the system's errno when it refused; 0 for what is not a file
    bool created = false;  // O_CREAT made it
};

// open(2) with flags (O_RDONLY, O_WRONLY | O_APPEND | O_CREAT...) for a regular file
// only: anything else is refused before it is opened, and checked again once it is.
// The descriptor is close-on-exec and blocks as usual.
Opened open(const QString &path, int flags);

} // namespace RegularFile
