// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>
#include <signal.h>
#include <vector>

// qv12-chip run as a user runs it: the real executable, its own process, stdin not a
// terminal (and empty), stdout and stderr taken apart.
struct ToolResult
{
    int status = -1;  // -1: it crashed or did not end in time
    QByteArray out;
    QByteArray err;
};

// program (qv12-chip by default) run to its end, prepared by setUp (its environment,
// what its child process does before it starts).
inline ToolResult runProgram(const QString &program, const QStringList &arguments, int timeoutMs,
                             const std::function<void(QProcess &)> &setUp = {})
{
    QProcess tool;
    if (setUp)
        setUp(tool);
    tool.start(program, arguments);
    tool.closeWriteChannel();
    ToolResult result;
    if (tool.waitForFinished(timeoutMs) && tool.exitStatus() == QProcess::NormalExit)
        result.status = tool.exitCode();
    else
        tool.kill();
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

inline ToolResult runChipTool(const QStringList &arguments, int timeoutMs = 60000)
{
    return runProgram(QStringLiteral(QV12_CHIP_TOOL), arguments, timeoutMs);
}

// Several runs at once, each on its own chip: the protocol's waits overlap.
inline QList<ToolResult> runChipTools(const QList<QStringList> &runs, int timeoutMs = 60000)
{
    std::vector<std::unique_ptr<QProcess>> tools;
    for (const QStringList &arguments : runs) {
        tools.push_back(std::make_unique<QProcess>());
        tools.back()->start(QStringLiteral(QV12_CHIP_TOOL), arguments);
        tools.back()->closeWriteChannel();
    }
    QList<ToolResult> results;
    for (const auto &tool : tools) {
        ToolResult result;
        if (tool->waitForFinished(timeoutMs) && tool->exitStatus() == QProcess::NormalExit)
            result.status = tool->exitCode();
        else
            tool->kill();
        result.out = tool->readAllStandardOutput();
        result.err = tool->readAllStandardError();
        results.append(result);
    }
    return results;
}

// Each line of text as a JSON object; an empty object for a line that isn't one.
inline QList<QJsonObject> jsonLines(const QByteArray &text)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        objects.append(error.error == QJsonParseError::NoError && document.isObject() ? document.object()
                                                                                         : QJsonObject());
    }
    return objects;
}

// o's values of the keys that want has, to be compared with want.
inline QJsonObject picked(const QJsonObject &o, const QJsonObject &want)
{
    QJsonObject found;
    for (auto it = want.begin(); it != want.end(); ++it) {
        if (o.contains(it.key()))
            found.insert(it.key(), o.value(it.key()));
    }
    return found;
}

inline void compareFields(const QJsonObject &o, const QJsonObject &want)
{
    QCOMPARE(picked(o, want), want);
}

// A long-running program (qv12-chip line, qv12-chipsim) whose output a test watches
// while events run.
class WatchedProcess final
{
public:
    WatchedProcess()
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { m_out += m_process.readAllStandardOutput(); });
        QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                         [this] { m_err += m_process.readAllStandardError(); });
    }
    ~WatchedProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Where the program makes its temporary folders (TMPDIR), from the next start on.
    void setTemporaryFolder(const QString &path)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), path);
        m_process.setProcessEnvironment(environment);
    }

    void start(const QString &program, const QStringList &arguments)
    {
        m_out.clear();
        m_err.clear();
        m_process.start(program, arguments);
        m_process.closeWriteChannel();
    }
    // Runs events until stdout holds text count times; false after timeoutMs.
    bool waitForOutput(const QByteArray &text, int count = 1, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return m_out.count(text) >= count; }, timeoutMs);
    }
    bool waitForEnd(int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

    int status() const
    {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    const QByteArray &out() const { return m_out; }
    const QByteArray &err() const { return m_err; }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};
