// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/databasecommands.h"

#include "app/appcontext.h"
#include "database/defaultlist.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

const QString DefaultDatabaseName = u"default.cdb"_s;
const QString ContinueQuestion = u"Database has been modified ! Continue anyway ?"_s;
const QString QuitQuestion = u"Database has been modified ! Quit anyway ?"_s;

} // namespace

DatabaseCommands::DatabaseCommands(AppContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
}

void DatabaseCommands::exclaim(const QString &text)
{
    m_context.prompter().message(text, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

bool DatabaseCommands::mayDiscard(const QString &question)
{
    return m_saved
        || m_context.prompter().message(question, Prompter::Icon::Exclamation,
                                        Prompter::Buttons::OkCancel)
               == Prompter::Answer::Ok;
}

Prompter::FileRequest DatabaseCommands::fileRequest(const QString &title,
                                                    Prompter::FileRequest::Style style,
                                                    bool overwritePrompt) const
{
    Prompter::FileRequest request;
    request.style = style;
    request.title = title;
    request.filter = u"Configuration databases (*.cdb)"_s;
    request.defaultExtension = u"cdb"_s;
    request.overwritePrompt = overwritePrompt;
    return request;
}

bool DatabaseCommands::fitsInFile()
{
    const int count = m_context.mechanisms().count();
    if (count <= MaxDatabaseEntries)
        return true;
    exclaim(u"The database has %1 entries, a database file can hold only %2 !"
            u" Please delete some entries first."_s.arg(count).arg(MaxDatabaseEntries));
    return false;
}

bool DatabaseCommands::write(const QString &path, const QList<MechanismEntry> &entries)
{
    const Result<void, DatabaseFileError> result = WriteDatabaseFile(path, entries);
    if (result)
        return true;
    if (result.error().kind == DatabaseFileError::Kind::TooManyEntries) {
        fitsInFile();
        return false;
    }
    // New and Save answer a read-only file as Save as does.
    if (result.error().kind == DatabaseFileError::Kind::ReadOnly) {
        exclaim(u"This file is Read-Only !"_s);
        emit statusMessage(u"Couldn't write file (was read_only)."_s);
        return false;
    }
    QString text = u"Couldn't write database file <%1> !"_s.arg(QDir::toNativeSeparators(path));
    if (!result.error().reason.isEmpty())
        text += u'\n' + result.error().reason;
    exclaim(text);
    return false;
}

void DatabaseCommands::loadDefaultDatabase()
{
    // Resolved once, now: a file dialog may change the working directory later, and
    // Save must still write back where the list came from.
    const QString path = QDir(m_context.StartDirectory()).filePath(DefaultDatabaseName);
    if (ReadDatabaseFile(path, m_context.mechanisms())) {
        m_saved = true;
        m_fileName = path;
        emit statusMessage(u"Default database file loaded"_s);
    } else {
        FillDefaultList(m_context.mechanisms());
        emit statusMessage(u"default.cdb file error, default list created."_s);
    }
}

void DatabaseCommands::newDatabase()
{
    if (!mayDiscard(ContinueQuestion))
        return;
    m_context.mechanisms().removeAll();
    // The empty list is not the previous file's content: until New has written its own
    // file it has none, so that a later Save can't write it over the previous file.
    m_fileName.clear();
    const QString path = m_context.prompter().chooseFile(
        fileRequest(u"New configuration database"_s, Prompter::FileRequest::Style::Save, true));
    if (path.isEmpty())
        return;
    if (!write(path, {}))
        return;
    m_saved = true;
    m_fileName = path;
}

void DatabaseCommands::openDatabase()
{
    if (!mayDiscard(ContinueQuestion))
        return;
    const QString path = m_context.prompter().chooseFile(
        fileRequest(u"Open configuration database"_s, Prompter::FileRequest::Style::Open, false));
    if (path.isEmpty())
        return;
    const Result<int, DatabaseFileError> count = ReadDatabaseFile(path, m_context.mechanisms());
    if (!count) {
        exclaim(u"This is not a valid K.L.V configuration database !"_s);
        return;
    }
    emit statusMessage(u"Entries : "_s + QString::number(*count));
    m_saved = true;
    m_fileName = path;
}

void DatabaseCommands::saveDatabase()
{
    if (m_fileName.isEmpty()) {
        exclaim(u"Current database has no name ! Please use 'Save as' instead."_s);
        return;
    }
    if (!fitsInFile())
        return;
    if (!write(m_fileName, m_context.mechanisms().entries()))
        return;
    m_saved = true;
}

void DatabaseCommands::saveDatabaseAs()
{
    emit statusMessage(QString());
    if (!fitsInFile())
        return;
    const QString path = m_context.prompter().chooseFile(fileRequest(
        u"Save configuration database as..."_s, Prompter::FileRequest::Style::Save, true));
    if (path.isEmpty()) {
        emit statusMessage(u"Save database canceled"_s);
        return;
    }
    // The writer refuses a read-only file before touching it, and replaces any other
    // only once the new content is complete, so the old file is never deleted beforehand.
    if (!write(path, m_context.mechanisms().entries()))
        return;
    m_saved = true;
    m_fileName = path;
}

void DatabaseCommands::exitProgram()
{
    if (mayDiscard(QuitQuestion))
        emit endProgramRequested();
}

bool DatabaseCommands::mayClose()
{
    return mayDiscard(QuitQuestion);
}
