// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/editorfields.h"

#include <QString>
#include <QStringView>

#include <optional>

// What a word shows in the editor. `values` holds the code read for each field;
// `selected` holds, for each field, the value of the option to select, or nothing when
// the word selects none (a code without an option: that group keeps what it showed).
// Selecting an option runs its setter, which stores the option's value: the window
// therefore ends with `selected` where it holds a value and with `values` elsewhere.
struct DecodedFields
{
    EditorFields values;
    EditorFields selected;
};

// The configuration word: the chip's two configuration bytes, settings 7 (high) and 8
// (low). Its text, 16 characters "0"/"1" with position 1 the most significant bit, is
// only for files, screens and the command line.
class ConfigWord final
{
public:
    constexpr ConfigWord() = default;
    constexpr explicit ConfigWord(quint16 value) : m_value(value) {}
    static constexpr ConfigWord fromBytes(quint8 high, quint8 low)
    {
        return ConfigWord(quint16(high << 8 | low));
    }
    // Exactly 16 characters "0"/"1"; anything else is no word.
    static std::optional<ConfigWord> fromText(QStringView text);
    // The word the editor's eight editable fields make; the printer mode is not read:
    // position 1 is always set (the editor always makes Chipset mode), positions 13 to 16
    // are always clear. A one-position field sets its bit for anything but 0 (not defined
    // included); head type and head width write a code that doesn't fit their width (not
    // defined included) as all ones, codes with no meaning, so that no field ever spills
    // into its neighbour. Callers check that the fields are defined first.
    static ConfigWord fromFields(const EditorFields &fields);

    constexpr quint16 value() const { return m_value; }
    constexpr quint8 high() const { return quint8(m_value >> 8); }  // setting 7
    constexpr quint8 low() const { return quint8(m_value); }        // setting 8
    // The 16 characters "0"/"1", most significant bit first.
    QString text() const;
    // The fields the word spells and the options that show them.
    DecodedFields decoded() const;

    friend constexpr bool operator==(ConfigWord, ConfigWord) = default;

private:
    quint16 m_value = 0;
};

// What a word's text, as a file spelled it, shows in the editor. Files keep their word
// fields unchecked, so any text is read: a digit counts its value, any other character
// and a position past the end 0; one-position fields select by zero or non-zero, the
// others by exact value; positions 13 to 16 are not read. For the text of a word this is
// that word's decoded().
DecodedFields decodeWordText(QStringView text);
