// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helplocation.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

#ifndef QV12_HELP_INSTALL_RELATIVE_DIR
#define QV12_HELP_INSTALL_RELATIVE_DIR "../share/qv12-configurator/Help"
#endif

QStringList helpIndexCandidates(const QString &startDirectory, const QString &executableDirectory)
{
    const QDir executable(executableDirectory);
    const QString installed =
        QString::fromUtf8(QV12_HELP_INSTALL_RELATIVE_DIR) + u"/index.html"_s;
    return {
        startDirectory + u"Help/index.html"_s,
        QDir::cleanPath(executable.filePath(u"Help/index.html"_s)),
        QDir::cleanPath(executable.filePath(installed)),
    };
}

QString helpIndexPath(const QString &startDirectory, const QString &executableDirectory)
{
    const QStringList candidates = helpIndexCandidates(startDirectory, executableDirectory);
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return candidates.first();
}
