// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Where qv12-chip's words go. Results to stdout: text for people, or with --json one
// JSON object per line and nothing else. Errors to stderr, always, one line each; notes
// to stderr unless -q. Progress updates one line of stderr in place, only on a terminal
// and not with -q, so that a log of stderr holds no carriage returns.
class Console final
{
public:
    Console(bool json, bool quiet);
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // Text for stdout (nothing with --json); flushed at once, for a pipe's reader.
    void text(const QString &text);
    // One JSON object and a newline on stdout (with --json only).
    void result(const QJsonObject &object);
    // "qv12-chip: " and the line on stderr, unless -q.
    void note(const QString &line);
    // "qv12-chip: " and the line on stderr.
    void error(const QString &line);
    // Replaces the progress line (on a terminal, without -q); an empty text clears it.
    void progress(const QString &line);
    // The same with several lines (one per station); none clears them.
    void progressLines(const QStringList &lines);
    // Asks on stderr, without a newline, for the answer typed after it.
    void prompt(const QString &question);

    // Whether standard output is a terminal (colours for the line's verdict).
    bool stdoutIsTerminal() const { return m_stdoutTerminal; }

private:
    void clearProgress();
    // Back to the start of the progress shown.
    QString startOfProgress() const;
    void write(int fd, const QString &text);

    bool m_json;
    bool m_quiet;
    bool m_showProgress;
    bool m_stdoutTerminal;
    int m_progressLines = 0;  // on the terminal now
    bool m_stdoutClosed = false;
    QStringList m_lastProgress;
};
