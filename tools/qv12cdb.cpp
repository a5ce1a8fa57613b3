// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-cdb: lists, shows and edits configuration databases (.cdb) from the command line,
// on the same code as the configurator, for scripts and version control.

#include "config/wordmeaning.h"
#include "database/databasefile.h"
#include "database/defaultlist.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

enum ExitStatus { Success = 0, NotADatabase = 1, Refused = 2 };

const QString Usage = uR"(Usage: qv12-cdb COMMAND FILE [ARGUMENTS]
Lists and edits configuration databases (.cdb) of the QV12 Configurator.

Commands:
  list FILE              one line per entry: the name, a tab, the word
  show FILE              each entry with its fields in words
  builtin FILE           write the built-in list of 41 mechanisms to FILE
  add FILE NAME WORD     append an entry, or replace the word of the entry
                         named NAME; WORD is 16 characters of 0 and 1;
                         FILE is created when it does not exist
  remove FILE NAME       remove the entries named NAME

Names are stored as in the configurator: ISO 8859-1, at most 16 characters,
trailing spaces dropped. Output is UTF-8; control characters in names are shown
as \xNN.

Exit status: 0 on success; 1 when FILE is not a configuration database or is
cut short; 2 on a usage error or a refused write (the file is left as it was).
)"_s;

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usageError(const QString &problem)
{
    print(stderr, u"qv12-cdb: %1\n\n"_s.arg(problem) + Usage);
    return Refused;
}

int fail(int status, const QString &file, const QString &reason)
{
    print(stderr, u"qv12-cdb: %1: %2\n"_s.arg(file, reason));
    return status;
}

QString describe(const MechanismEntry &entry)
{
    const QString word = entry.word.text();
    return u"%1\t%2\n"_s.arg(escapeControls(entry.name), escapeControls(word)) + fieldLines(word);
}

// Reads file into list; on failure reports it and gives the exit status.
std::optional<int> read(const QString &file, MechanismList &list)
{
    const Result<int, DatabaseFileError> result = readDatabaseFile(file, list);
    if (result)
        return std::nullopt;
    return fail(NotADatabase, file, result.error().reason);
}

int write(const QString &file, const QList<MechanismEntry> &entries)
{
    const Result<void, DatabaseFileError> result = writeDatabaseFile(file, entries);
    if (!result)
        return fail(Refused, file, u"not written: "_s + result.error().reason);
    return Success;
}

int list(const QString &file, bool inWords)
{
    MechanismList entries;
    if (const auto status = read(file, entries))
        return *status;
    QString text;
    for (int i = 0; i < entries.count(); ++i) {
        const MechanismEntry &e = entries.at(i);
        if (inWords)
            text += (i ? u"\n"_s : QString()) + describe(e);
        else
            text += u"%1\t%2\n"_s.arg(escapeControls(e.name), escapeControls(e.word.text()));
    }
    print(stdout, text);
    return Success;
}

int add(const QString &file, const QString &name, const QString &text)
{
    if (name.isEmpty())
        return usageError(u"the name is empty"_s);
    const std::optional<ConfigWord> word = ConfigWord::fromText(text);
    if (!word)
        return usageError(u"\"%1\" is not a configuration word (16 characters of 0 and 1)"_s
                              .arg(escapeControls(text)));
    MechanismList entries;
    // A file that isn't there yet starts as an empty database; anything else must be one.
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink()) {
        if (const auto status = read(file, entries))
            return *status;
    }
    const QString stored = storedName(name);
    if (stored != name)
        print(stderr, u"qv12-cdb: note: the name is stored as \"%1\"\n"_s.arg(escapeControls(stored)));
    const int row = entries.indexOfName(stored);
    if (row >= 0)
        entries.replaceAt(row, {stored, *word});
    else
        entries.append({stored, *word});
    return write(file, entries.entries());
}

int remove(const QString &file, const QString &name)
{
    MechanismList entries;
    if (const auto status = read(file, entries))
        return *status;
    const QString stored = storedName(name);
    const int before = entries.count();
    for (int row = entries.indexOfName(stored); row >= 0; row = entries.indexOfName(stored))
        entries.removeAt(row);
    if (entries.count() == before)
        return fail(Refused, file, u"no entry named \"%1\"; nothing changed"_s.arg(escapeControls(stored)));
    return write(file, entries.entries());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError(u"a command is needed"_s);

    const QString &command = args.first();
    if (command == u"-h" || command == u"--help" || command == u"help") {
        print(stdout, Usage);
        return Success;
    }

    struct Command
    {
        QString name;
        qsizetype arguments;  // after the command itself
    };
    const Command commands[] = {{u"list"_s, 1}, {u"show"_s, 1}, {u"builtin"_s, 1},
                                {u"add"_s, 3}, {u"remove"_s, 2}};
    const auto known = std::find_if(std::begin(commands), std::end(commands),
                                    [&](const Command &c) { return c.name == command; });
    if (known == std::end(commands))
        return usageError(u"unknown command \"%1\""_s.arg(command));
    if (args.size() - 1 != known->arguments)
        return usageError(u"\"%1\" takes %2 argument(s)"_s.arg(command).arg(known->arguments));

    const QString &file = args.at(1);
    if (command == u"list")
        return list(file, false);
    if (command == u"show")
        return list(file, true);
    if (command == u"builtin")
        return write(file, defaultMechanisms());
    if (command == u"add")
        return add(file, args.at(2), args.at(3));
    return remove(file, args.at(2));
}
