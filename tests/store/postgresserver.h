// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

using namespace Qt::StringLiterals;

// A PostgreSQL server of its own for a test: Debian's initdb into a temporary folder,
// listening only on a Unix socket in that folder, with password logins (the owner
// "owner", password "owner-secret"), stopped and removed when the object goes, also
// when a test fails. Run as root, the server runs as "nobody" (PostgreSQL refuses root).
class PostgresServer
{
public:
    static constexpr const char *Owner = "owner";
    static constexpr const char *OwnerPassword = "owner-secret";

    PostgresServer() = default;
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;
    ~PostgresServer()
    {
        if (m_started)
            stop(u"immediate"_s);
    }

    // The server's programs, from the newest installed version; empty when none is.
    static QString binaries()
    {
        const QDir versions(u"/usr/lib/postgresql"_s);
        QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        for (auto it = found.crbegin(); it != found.crend(); ++it) {
            const QString bin = versions.filePath(*it + u"/bin"_s);
            if (QFile::exists(bin + u"/initdb"_s) && QFile::exists(bin + u"/pg_ctl"_s))
                return bin;
        }
        return {};
    }

    // Makes and starts the server; the problem in words when it can't. Not durable: the
    // tests' server skips fsync; the benchmark's does not.
    QString start(bool durable = false)
    {
        m_durable = durable;
        m_bin = binaries();
        if (m_bin.isEmpty())
            return u"PostgreSQL's server is not installed (the postgresql package): /usr/lib/postgresql/*/bin/initdb is missing"_s;
        if (!m_folder.isValid())
            return u"no temporary folder"_s;
        m_folder.setAutoRemove(true);
        const QString pwfile = m_folder.filePath(u"pw"_s);
        QFile pw(pwfile);
        if (!pw.open(QIODevice::WriteOnly) || pw.write(OwnerPassword) < 0)
            return u"the password file cannot be written"_s;
        pw.close();
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody)
                return u"there is no user \"nobody\" to run the server as"_s;
            for (const QString &path : {m_folder.path(), pwfile}) {
                if (::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) != 0)
                    return u"the server's folder cannot be given to \"nobody\""_s;
            }
            m_asUser = {u"setpriv"_s, u"--reuid=%1"_s.arg(nobody->pw_uid), u"--regid=%1"_s.arg(nobody->pw_gid),
                        u"--clear-groups"_s, u"--"_s};
        }
        const auto [code, output] = run({m_bin + u"/initdb"_s, u"-D"_s, dataDir(), u"-U"_s, QString::fromLatin1(Owner),
                                         u"--pwfile="_s + pwfile, u"--auth=scram-sha-256"_s, u"-E"_s, u"UTF8"_s,
                                         u"--locale=C"_s, u"--no-sync"_s});
        if (code != 0)
            return u"initdb failed: "_s + output;
        const QString started = startAgain();
        if (!started.isEmpty())
            return started;
        return {};
    }

    // Starts the server made by start() (after stop()).
    QString startAgain()
    {
        const QString options = u"-c listen_addresses='' -c unix_socket_directories='%1' -c max_connections=40 -c fsync=%2"_s
                                    .arg(socketDir(), m_durable ? u"on"_s : u"off"_s);
        const auto [code, output] = run({m_bin + u"/pg_ctl"_s, u"-D"_s, dataDir(), u"-o"_s, options, u"-l"_s,
                                         m_folder.filePath(u"server.log"_s), u"-w"_s, u"-t"_s, u"60"_s, u"start"_s});
        if (code != 0)
            return u"pg_ctl start failed: "_s + output + log();
        m_started = true;
        return {};
    }

    // Stops the server ("fast": the connections are ended; "immediate": at once).
    bool stop(const QString &mode = u"fast"_s)
    {
        const auto [code, output] = run({m_bin + u"/pg_ctl"_s, u"-D"_s, dataDir(), u"-m"_s, mode, u"-w"_s, u"stop"_s});
        m_started = code != 0;
        return code == 0;
    }

    bool isRunning() const { return m_started; }
    QString socketDir() const { return m_folder.path(); }
    QString log() const
    {
        QFile file(m_folder.filePath(u"server.log"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // A URI for the server: postgresql://user[:password]@/database?host=SOCKETDIR
    QString uri(const QString &user, const QString &password, const QString &database) const
    {
        return u"postgresql://%1%2@/%3?host=%4"_s.arg(user, password.isEmpty() ? QString() : u":"_s + password,
                                                      database, socketDir());
    }

private:
    QString dataDir() const { return m_folder.filePath(u"data"_s); }

    std::pair<int, QString> run(const QStringList &command) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_folder.path());
        const QStringList full = m_asUser + command;
        process.start(full.first(), full.mid(1));
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            process.waitForFinished();
            return {-1, QString::fromUtf8(process.readAll())};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }

    QTemporaryDir m_folder{QDir::tempPath() + u"/qv12-pg.XXXXXX"_s};
    QString m_bin;
    QStringList m_asUser;
    bool m_started = false;
    bool m_durable = false;
};
