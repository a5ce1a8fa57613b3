// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/databasecommands.h"

#include "app/appcontext.h"
#include "core/logging.h"
#include "database/defaultlist.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

const QString DefaultDatabaseName = u"default.cdb"_s;
const char *const ContinueQuestion = QT_TRANSLATE_NOOP("DatabaseCommands", "Database has been modified ! Continue anyway ?");
const char *const QuitQuestion = QT_TRANSLATE_NOOP("DatabaseCommands", "Database has been modified ! Quit anyway ?");

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
    request.filter = tr("Configuration databases (*.cdb)");
    request.defaultExtension = u"cdb"_s;
    request.overwritePrompt = overwritePrompt;
    return request;
}

bool DatabaseCommands::fitsInFile()
{
    const int count = m_context.mechanisms().count();
    if (count <= MaxDatabaseEntries)
        return true;
    exclaim(tr("The database has %1 entries, a database file can hold only %2 !"
               " Please delete some entries first.").arg(count).arg(MaxDatabaseEntries));
    return false;
}

bool DatabaseCommands::write(const QString &path, const QList<MechanismEntry> &entries)
{
    const Result<void, DatabaseFileError> result = writeDatabaseFile(path, entries);
    if (result)
        return true;
    if (result.error().kind == DatabaseFileError::Kind::TooManyEntries) {
        fitsInFile();
        return false;
    }
    // New and Save answer a read-only file as Save as does.
    if (result.error().kind == DatabaseFileError::Kind::ReadOnly) {
        exclaim(tr("This file is Read-Only !"));
        emit statusMessage(tr("Couldn't write file (was read_only)."));
        return false;
    }
    QString text = tr("Couldn't write database file <%1> !").arg(QDir::toNativeSeparators(path));
    if (!result.error().reason.isEmpty())
        text += u'\n' + result.error().reason;
    exclaim(text);
    return false;
}

void DatabaseCommands::loadDefaultDatabase()
{
    // Resolved once, now: a file dialog may change the working directory later, and
    // Save must still write back where the list came from.
    const QString path = QDir(m_context.startDirectory()).filePath(DefaultDatabaseName);
    if (readDatabaseFile(path, m_context.mechanisms())) {
        m_saved = true;
        m_fileName = path;
        emit statusMessage(tr("Default database file loaded"));
    } else {
        fillDefaultList(m_context.mechanisms());
        emit statusMessage(tr("default.cdb file error, default list created."));
    }
}

void DatabaseCommands::newDatabase()
{
    qCDebug(lcUi, "New database");
    if (!mayDiscard(tr(ContinueQuestion)))
        return;
    m_context.mechanisms().removeAll();
    // The empty list is not the previous file's content: until New has written its own
    // file it has none, so that a later Save can't write it over the previous file.
    m_fileName.clear();
    const QString path = m_context.prompter().chooseFile(
        fileRequest(tr("New configuration database"), Prompter::FileRequest::Style::Save, true));
    if (path.isEmpty())
        return;
    if (!write(path, {}))
        return;
    m_saved = true;
    m_fileName = path;
}

void DatabaseCommands::openDatabase()
{
    qCDebug(lcUi, "Open database");
    if (!mayDiscard(tr(ContinueQuestion)))
        return;
    const QString path = m_context.prompter().chooseFile(
        fileRequest(tr("Open configuration database"), Prompter::FileRequest::Style::Open, false));
    if (path.isEmpty())
        return;
    const Result<int, DatabaseFileError> count = readDatabaseFile(path, m_context.mechanisms());
    if (!count) {
        exclaim(tr("This is not a valid K.L.V configuration database !"));
        return;
    }
    emit statusMessage(tr("Entries : %1").arg(*count));
    m_saved = true;
    m_fileName = path;
}

void DatabaseCommands::saveDatabase()
{
    qCDebug(lcUi, "Save database");
    if (m_fileName.isEmpty()) {
        exclaim(tr("Current database has no name ! Please use 'Save as' instead."));
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
    qCDebug(lcUi, "Save database as");
    emit statusMessage(QString());
    if (!fitsInFile())
        return;
    const QString path = m_context.prompter().chooseFile(fileRequest(
        tr("Save configuration database as..."), Prompter::FileRequest::Style::Save, true));
    if (path.isEmpty()) {
        emit statusMessage(tr("Save database canceled"));
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
    qCDebug(lcUi, "Exit");
    if (mayDiscard(tr(QuitQuestion)))
        emit endProgramRequested();
}

bool DatabaseCommands::mayClose()
{
    return mayDiscard(tr(QuitQuestion));
}
