// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"

#include <QString>

#include <optional>

// The word of a mechanism list entry. Every word the program makes is a ConfigWord; a
// database file's word field is taken unchecked and written back as it was read, so an
// entry may also hold characters that spell no word: those stay as the file gave them.
class EntryWord final
{
public:
    EntryWord(ConfigWord word) : m_word(word) {}  // every word is an entry's word
    // The characters of a file's word field, as read: a word when they spell one.
    static EntryWord fromText(const QString &text);

    // The word, or nothing when the characters spell none.
    const std::optional<ConfigWord> &word() const { return m_word; }
    // The characters, 16 "0"/"1" for a word.
    QString text() const;
    // What the entry shows in the editor (characters that spell no word are read the
    // lenient way a file's word is).
    DecodedFields decoded() const;

    friend bool operator==(const EntryWord &, const EntryWord &) = default;

private:
    EntryWord() = default;

    std::optional<ConfigWord> m_word;
    QString m_unread;  // only when m_word is empty
};
