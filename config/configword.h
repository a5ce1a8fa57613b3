// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/editorfields.h"

#include <QString>
#include <QStringView>

// The configuration word: 16 characters "0"/"1", position 1 the most significant bit;
// positions 1-8 are the chip's first configuration byte, 9-16 the second.

// What a word decodes to. `values` holds the number read for each field; `selected`
// holds, for each field, the code of the option button to select, or -1 when the word
// selects none (an unknown code: that frame keeps what it showed). Selecting an option
// runs its click handler, which stores the option's code: the window therefore ends
// with `selected` where it is not -1 and with `values` elsewhere.
struct DecodedConfig
{
    EditorFields values;
    EditorFields selected;
};

DecodedConfig DecodeConfig(QStringView word);
// Builds the word from the eight editable fields (PrinterMode is not read: position 1
// is always "1"). A code outside a field's table is written in the field's width, so
// the word always has 16 characters. A one-position field writes "0" for 0 and "1" for
// anything else (-1 included); HeadType and HeadWidth write a value that doesn't fit
// their width (-1 included) as all ones, "11" / "111", codes with no meaning. Callers
// check that the fields are defined first.
QString EncodeConfig(const EditorFields &fields);

// An 8-bit value as eight "0"/"1" characters, most significant first.
QString binary(quint8 value);
// The number spelled by a short text of binary digits; a digit counts its value, any
// other character 0; an empty text gives 0.
quint8 binary_value(QStringView text);

// The two configuration bytes that programming writes to chip settings 7 and 8: the
// halves of EncodeConfig(fields), position 1 always set. Each field is taken in its
// width exactly as EncodeConfig writes it, so no value can spill into a neighbour.
struct ConfigurationBytes
{
    quint8 high = 0;  // setting 7
    quint8 low = 0;   // setting 8
};
ConfigurationBytes configurationBytes(const EditorFields &fields);
