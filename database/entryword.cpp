// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/entryword.h"

EntryWord EntryWord::fromText(const QString &text)
{
    if (const std::optional<ConfigWord> word = ConfigWord::fromText(text))
        return *word;
    EntryWord entry;
    entry.m_unread = text;
    return entry;
}

QString EntryWord::text() const
{
    return m_word ? m_word->text() : m_unread;
}

DecodedFields EntryWord::decoded() const
{
    return m_word ? m_word->decoded() : decodeWordText(m_unread);
}
