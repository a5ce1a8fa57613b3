// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/targetoptions.h"

#include "config/wordmeaning.h"
#include "database/databasefile.h"
#include "database/mechanismlist.h"
#include "protocol/exchanges.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

Result<ConfigWord, ToolError> wordFromDatabase(const ToolOptions &o, Console &console)
{
    MechanismList list;
    const Result<int, DatabaseFileError> read = readDatabaseFile(o.database, list);
    if (!read) {
        return Failure(ToolError{ExitStatus::FileError, QCoreApplication::translate("TargetOptions", "%1: %2; give a configuration database (qv12-cdb builtin FILE "
                                                        "writes the built-in one)").arg(o.database, read.error().reason)});
    }
    const int row = list.indexOfName(storedName(o.entry));
    if (row < 0) {
        return Failure(ToolError{ExitStatus::FileError, QCoreApplication::translate("TargetOptions", "%1: no entry named \"%2\" (names match exactly; qv12-cdb list "
                                                        "%1 shows them)").arg(o.database, escapeControls(o.entry))});
    }
    // A name is stored in ISO 8859-1, 16 characters at most, without trailing spaces: one
    // typed otherwise finds the entry it is stored as, and the user is told which.
    if (list.at(row).name != o.entry) {
        console.note(QCoreApplication::translate("TargetOptions", "%1: took the entry \"%2\" for the name given, \"%3\"")
                         .arg(o.database, escapeControls(list.at(row).name), escapeControls(o.entry)));
    }
    const Result<ConfigWord, QString> word = programmableWord(list.at(row).word.text());
    if (!word) {
        return Failure(ToolError{ExitStatus::FileError, QCoreApplication::translate("TargetOptions", "%1: the entry \"%2\" can't be programmed: %3; correct it with "
                                                        "qv12-cdb add").arg(o.database, escapeControls(o.entry), word.error())});
    }
    return *word;
}

ProgrammingTarget::PolarityAnswer polarityAnswer(ToolOptions::Polarity polarity)
{
    switch (polarity) {
    case ToolOptions::Polarity::Continue:
        return ProgrammingTarget::PolarityAnswer::Program;
    case ToolOptions::Polarity::Abort:
        return ProgrammingTarget::PolarityAnswer::Refuse;
    case ToolOptions::Polarity::Ask:
        break;
    }
    return ProgrammingTarget::PolarityAnswer::Ask;
}

} // namespace

Result<ProgrammingTarget, ToolError> resolveTarget(const ToolOptions &o, Console &console)
{
    ProgrammingTarget target;
    target.polarity = polarityAnswer(o.polarity);
    if (o.word) {
        const Result<ConfigWord, QString> word = programmableWord(*o.word);
        if (!word)
            return Failure(ToolError{ExitStatus::UsageError, word.error()});
        target.setWord(*word);
    } else if (!o.database.isEmpty()) {
        const Result<ConfigWord, ToolError> fromFile = wordFromDatabase(o, console);
        if (!fromFile)
            return Failure(fromFile.error());
        target.setWord(*fromFile);
        target.entry = storedName(o.entry);
    }

    if (o.identity && Exchanges::hasControlCharacters(*o.identity)) {
        return Failure(ToolError{ExitStatus::UsageError, QCoreApplication::translate("TargetOptions", "--identity \"%1\": an identity is printable text, without control "
                                                         "characters").arg(escapeControls(*o.identity))});
    }
    if (o.identity) {
        target.setIdentity(*o.identity);
        // Only the first 16 characters go out, each as its ISO 8859-1 byte.
        QString typed = Exchanges::stripSpaces(*o.identity);
        if (typed.endsWith(u"PNX"_s))
            typed = Exchanges::stripSpaces(typed.chopped(3));
        if (*target.identity != typed)
            console.note(QCoreApplication::translate("TargetOptions", "the chip will report the identity as \"%1\"").arg(escapeControls(*target.identity)));
    } else if (o.autoIdentity) {
        target.setAutomaticIdentity();
    }
    return target;
}
