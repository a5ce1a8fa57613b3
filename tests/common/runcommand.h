// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <utility>

// Runs a command to its end: its exit code (-1 after a crash or a hang, or when the
// program is not there) and its output, stdout and stderr together.
inline std::pair<int, QString> runCommand(const QStringList &command, int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStandardPaths::findExecutable(command.first()), command.mid(1));
    const bool ended =
        process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}
