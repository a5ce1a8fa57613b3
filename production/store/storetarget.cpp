// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/store/storetarget.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

// ~/.pgpass (or $PGPASSFILE): "host:port:database:user:password", "*" matching anything,
// "\:" and "\\" escaped. libpq ignores the file when others may read it; so do we.
QString passwordFromFile(const StoreTarget &target)
{
    QString path = qEnvironmentVariable("PGPASSFILE");
    if (path.isEmpty())
        path = QDir::homePath() + u"/.pgpass"_s;
    QFile file(path);
    if (file.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther))
        return {};
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // A socket folder is "localhost" to libpq's matching.
    const QString host = target.host.startsWith(u'/') ? u"localhost"_s : target.host;
    const QStringList wanted{host, QString::number(target.port), target.database, target.user};
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QStringList fields{QString()};
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line.at(i) == u'\\' && i + 1 < line.size())
                fields.last().append(line.at(++i));
            else if (line.at(i) == u':' && fields.size() < 5)
                fields.append(QString());
            else
                fields.last().append(line.at(i));
        }
        if (fields.size() != 5)
            continue;
        bool matches = true;
        for (int i = 0; i < 4; ++i)
            matches = matches && (fields.at(i) == u"*"_s || fields.at(i) == wanted.at(i));
        if (matches)
            return fields.at(4);
    }
    return {};
}

Result<StoreTarget, QString> parsePostgresql(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    // The error names the URI masked: what the operator typed may hold a password.
    StoreTarget target;
    target.kind = StoreTarget::Kind::Postgresql;
    if (!url.isValid())
        return Failure(u"the audit store URI is not a valid postgresql:// URI"_s);
    target.user = url.userName(QUrl::FullyDecoded);
    target.password = url.password(QUrl::FullyDecoded);
    target.host = url.host(QUrl::FullyDecoded);
    target.port = url.port(5432);
    target.database = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name == u"sslmode"_s)
            target.sslmode = value;
        else if (name == u"host"_s)
            target.host = value;
        else if (name == u"port"_s)
            target.port = value.toInt();
        else if (name == u"user"_s)
            target.user = value;
        else
            return Failure(u"the audit store URI has \"%1\", which this program does not know (sslmode, host, port and user are)"_s.arg(name));
    }
    if (target.host.isEmpty())
        return Failure(u"the audit store URI names no host: postgresql://[user@]host[:port]/dbname"_s);
    if (target.database.isEmpty() || target.database.contains(u'/'))
        return Failure(u"the audit store URI names no database: postgresql://[user@]host[:port]/dbname"_s);
    if (target.port < 1 || target.port > 65535)
        return Failure(u"the audit store URI's port is not a port number"_s);
    if (target.user.isEmpty())
        target.user = qEnvironmentVariable("PGUSER", qEnvironmentVariable("USER"));
    if (target.password.isEmpty())
        target.password = qEnvironmentVariable("PGPASSWORD");
    if (target.password.isEmpty())
        target.password = passwordFromFile(target);
    return target;
}

} // namespace

QString StoreTarget::describe() const
{
    switch (kind) {
    case Kind::Jsonl:
    case Kind::Sqlite:
        return file;
    case Kind::Postgresql:
        break;
    }
    QString text = u"postgresql://"_s;
    if (!user.isEmpty())
        text += QString::fromUtf8(QUrl::toPercentEncoding(user)) + (password.isEmpty() ? u"@"_s : u":***@"_s);
    const bool socket = host.startsWith(u'/');
    if (!socket)
        text += host.contains(u':') ? u"[%1]"_s.arg(host) : host;
    if (port != 5432)
        text += u":%1"_s.arg(port);
    text += u'/' + QString::fromUtf8(QUrl::toPercentEncoding(database));
    QStringList query;
    if (socket)
        query.append(u"host="_s + host);
    if (!sslmode.isEmpty())
        query.append(u"sslmode="_s + sslmode);
    if (!query.isEmpty())
        text += u'?' + query.join(u'&');
    return text;
}

QString StoreTarget::key() const
{
    const QString who = kind == Kind::Postgresql ? describe() : QFileInfo(file).absoluteFilePath();
    return QString::fromLatin1(QCryptographicHash::hash(who.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

Result<StoreTarget, QString> parseStoreTarget(const QString &text)
{
    if (text.startsWith(u"postgresql://"_s) || text.startsWith(u"postgres://"_s))
        return parsePostgresql(text);
    StoreTarget target;
    if (text.startsWith(u"sqlite:"_s)) {
        target.kind = StoreTarget::Kind::Sqlite;
        target.file = text.mid(7);
    } else if (text.endsWith(u".jsonl"_s)) {
        target.kind = StoreTarget::Kind::Jsonl;
        target.file = text;
    } else if (text.endsWith(u".sqlite"_s) || text.endsWith(u".sqlite3"_s) || text.endsWith(u".db"_s)) {
        target.kind = StoreTarget::Kind::Sqlite;
        target.file = text;
    } else if (text.contains(u"://"_s)) {
        return Failure(u"the audit store \"%1\" is neither a file nor a postgresql:// URI"_s
                           .arg(text.section(u"://"_s, 0, 0)));
    } else {
        return Failure(u"the audit store \"%1\" is not a FILE.jsonl, FILE.sqlite, sqlite:FILE or postgresql:// URI"_s.arg(text));
    }
    if (target.file.isEmpty())
        return Failure(u"the audit store names no file"_s);
    return target;
}

QString recordDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/qv12-configurator"_s;
}

QString defaultStorePath()
{
    return recordDataFolder() + u"/audit.sqlite"_s;
}
