// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/programmingtarget.h"

#include "config/configword.h"
#include "config/wordmeaning.h"
#include "protocol/exchanges.h"

using namespace Qt::StringLiterals;

Result<ConfigWord, QString> programmableWord(QStringView text)
{
    const std::optional<ConfigWord> word = ConfigWord::fromText(text);
    if (!word) {
        return Failure(u"\"%1\" is not a configuration word (16 characters of 0 and 1)"_s.arg(
            escapeControls(text.toString())));
    }
    for (const FieldMeaning &field : wordMeaning(*word)) {
        if (!field.known)
            return Failure(u"the word %1 has an %2 for %3"_s.arg(word->text(), field.meaning, field.label));
    }
    const ConfigWord held = ConfigWord::fromFields(word->decoded().values);
    if (held != *word) {
        return Failure(u"the chip would hold the word %1 as %2 (position 1 is always 1, positions 13 "
                       "to 16 always 0)"_s.arg(word->text(), held.text()));
    }
    return *word;
}

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

void ProgrammingTarget::setWord(ConfigWord newWord)
{
    word = newWord;
    input.software = true;
    input.fields = newWord.decoded().values;
}

void ProgrammingTarget::setIdentity(const QString &name)
{
    input.userIdentity = true;
    input.name = name;
    userIdentity = true;
    identity = identityHeld(name);
}

void ProgrammingTarget::setAutomaticIdentity()
{
    userIdentity = false;
}

int ProgrammingTarget::settingCount() const
{
    return int(Programming::settingsFor(input).size());
}
