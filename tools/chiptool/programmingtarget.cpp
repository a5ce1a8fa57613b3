// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/programmingtarget.h"

#include "config/configword.h"
#include "config/wordmeaning.h"
#include "database/databasefile.h"
#include "database/mechanismlist.h"
#include "protocol/exchanges.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/tooloptions.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

std::optional<QString> wordProblem(const QString &word)
{
    static const QRegularExpression pattern(u"^[01]{16}$"_s);
    if (!pattern.match(word).hasMatch())
        return u"\"%1\" is not a configuration word (16 characters of 0 and 1)"_s.arg(escapeControls(word));
    for (const FieldMeaning &field : wordMeaning(word)) {
        if (!field.known)
            return u"the word %1 has an %2 for %3"_s.arg(word, field.meaning, field.label);
    }
    const QString held = EncodeConfig(DecodeConfig(word).values);
    if (held != word) {
        return u"the chip would hold the word %1 as %2 (position 1 is always 1, positions 13 "
               "to 16 always 0)"_s.arg(word, held);
    }
    return std::nullopt;
}

int ProgrammingTarget::settingCount() const
{
    return int(Programming::settingsFor(input).size());
}

namespace {

// The mechanism identity the chip reports once name is programmed: the bytes it
// holds up to the first 0, read back as Check configuration reads them.
QString identityHeld(const QString &name)
{
    QByteArray bytes;
    for (const auto &[setting, value] : Exchanges::identitySettings(name)) {
        if (value == 0)
            break;
        bytes.append(char(value));
    }
    return Exchanges::mechanismIdentity(bytes);
}

std::variant<QString, ToolError> wordFromDatabase(const ToolOptions &o, Console &console)
{
    MechanismList list;
    const DatabaseReadResult read = ReadDatabaseFile(o.database, list);
    if (!read.accepted()) {
        return ToolError{FileError, u"%1: %2; give a configuration database (qv12-cdb builtin FILE "
                                    "writes the built-in one)"_s.arg(o.database, read.reason)};
    }
    const int row = list.indexOfName(storedName(o.entry));
    if (row < 0) {
        return ToolError{FileError, u"%1: no entry named \"%2\" (names match exactly; qv12-cdb list "
                                    "%1 shows them)"_s.arg(o.database, escapeControls(o.entry))};
    }
    // A name is stored in ISO 8859-1, 16 characters at most, without trailing spaces: one
    // typed otherwise finds the entry it is stored as, and the user is told which.
    if (list.at(row).name != o.entry) {
        console.note(u"%1: took the entry \"%2\" for the name given, \"%3\""_s
                         .arg(o.database, escapeControls(list.at(row).name), escapeControls(o.entry)));
    }
    const QString word = list.at(row).word;
    if (const auto problem = wordProblem(word)) {
        return ToolError{FileError, u"%1: the entry \"%2\" can't be programmed: %3; correct it with "
                                    "qv12-cdb add"_s.arg(o.database, escapeControls(o.entry), *problem)};
    }
    return word;
}

} // namespace

std::variant<ProgrammingTarget, ToolError> resolveTarget(const ToolOptions &o, Console &console)
{
    ProgrammingTarget target;
    if (o.word) {
        if (const auto problem = wordProblem(*o.word))
            return ToolError{UsageError, *problem};
        target.word = *o.word;
    } else if (!o.database.isEmpty()) {
        auto fromFile = wordFromDatabase(o, console);
        if (auto *error = std::get_if<ToolError>(&fromFile))
            return *error;
        target.word = std::get<QString>(fromFile);
        target.entry = storedName(o.entry);
    }
    target.input.software = target.word.has_value();
    if (target.word)
        target.input.fields = DecodeConfig(*target.word).values;

    if (o.identity && Exchanges::hasControlCharacters(*o.identity)) {
        return ToolError{UsageError, u"--identity \"%1\": an identity is printable text, without control "
                                     "characters"_s.arg(escapeControls(*o.identity))};
    }
    if (o.identity) {
        target.input.userIdentity = true;
        target.input.name = *o.identity;
        target.userIdentity = true;
        target.identity = identityHeld(*o.identity);
        // Only the first 16 characters go out, each as its ISO 8859-1 byte.
        QString typed = Exchanges::stripSpaces(*o.identity);
        if (typed.endsWith(u"PNX"_s))
            typed = Exchanges::stripSpaces(typed.chopped(3));
        if (*target.identity != typed)
            console.note(u"the chip will report the identity as \"%1\""_s.arg(escapeControls(*target.identity)));
    } else if (o.autoIdentity) {
        target.userIdentity = false;
    }
    return target;
}
