// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/console.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <cerrno>
#include <unistd.h>

using namespace Qt::StringLiterals;

Console::Console(bool json, bool quiet)
    : m_json(json)
    , m_quiet(quiet)
    , m_showProgress(!quiet && ::isatty(STDERR_FILENO))
    , m_stdoutTerminal(::isatty(STDOUT_FILENO))
{
}

void Console::write(int fd, const QString &text)
{
    // Straight to the descriptor: nothing waits in a buffer when the program is killed,
    // and stdout and stderr keep their order on a terminal.
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A reader that went away is said once; the run goes on (a station's
            // records are in its audit file), and stdout is not written again.
            if (fd == STDOUT_FILENO && n < 0 && errno == EPIPE && !m_stdoutClosed) {
                m_stdoutClosed = true;
                write(STDERR_FILENO, QCoreApplication::translate("Console", "qv12-chip: standard output was closed by its reader; nothing more is "
                                     "written there\n"));
            }
            return;
        }
        done += n;
    }
}

void Console::text(const QString &text)
{
    if (m_json || text.isEmpty() || m_stdoutClosed)
        return;
    clearProgress();
    write(STDOUT_FILENO, text);
}

void Console::result(const QJsonObject &object)
{
    if (!m_json || m_stdoutClosed)
        return;
    clearProgress();
    write(STDOUT_FILENO, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
}

void Console::note(const QString &line)
{
    if (m_quiet)
        return;
    clearProgress();
    write(STDERR_FILENO, u"qv12-chip: "_s + line + u'\n');
}

void Console::error(const QString &line)
{
    clearProgress();
    write(STDERR_FILENO, u"qv12-chip: "_s + line + u'\n');
}

void Console::prompt(const QString &question)
{
    clearProgress();
    write(STDERR_FILENO, question);
}

void Console::progress(const QString &line)
{
    progressLines(line.isEmpty() ? QStringList() : QStringList{line});
}

void Console::progressLines(const QStringList &lines)
{
    if (!m_showProgress)
        return;
    if (lines.isEmpty()) {
        clearProgress();
        return;
    }
    if (m_progressLines > 0 && lines == m_lastProgress)
        return;
    // Back to the start of the first line, the lines, the rest of the old text erased.
    write(STDERR_FILENO, startOfProgress() + lines.join(u"\x1b[K\n"_s) + u"\x1b[K\x1b[J"_s);
    m_progressLines = int(lines.size());
    m_lastProgress = lines;
}

QString Console::startOfProgress() const
{
    QString back = u"\r"_s;
    for (int i = 1; i < m_progressLines; ++i)
        back += u"\x1b[A"_s;
    return back;
}

void Console::clearProgress()
{
    if (m_progressLines == 0)
        return;
    write(STDERR_FILENO, startOfProgress() + u"\x1b[J"_s);
    m_progressLines = 0;
}
