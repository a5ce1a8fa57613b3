// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/configword.h"

#include <QList>
#include <QString>

// The eight editable fields of a configuration word in words, for people reading a
// terminal: qv12-cdb show and qv12-chip read print them. A word from a file need not be
// well formed: a field that is cut short or not 0/1, or a code without meaning, says so.
struct FieldMeaning
{
    QString label;    // "logic voltage", "head width", ...
    QString meaning;  // "5 V", "2 inch normal, 384 pixels", "unknown code 111", ...
    bool known = false;

    friend bool operator==(const FieldMeaning &, const FieldMeaning &) = default;
};

// The fields of a word's text as a file spelled it.
QList<FieldMeaning> wordMeaning(QStringView word);
QList<FieldMeaning> wordMeaning(ConfigWord word);
// A label or meaning (or a name or value of the read-back's checks) in the user's
// language: words and records keep the English, the screen shows this.
QString readBackText(const QString &text);
// The fields one per line as qv12-cdb show and qv12-chip read print them: two spaces,
// the label and its colon in 19 columns, the meaning.
QString fieldLines(QStringView word);
QString fieldLines(ConfigWord word);

// Text with its control characters (C0, DEL, C1) as \xNN, so that what came from a file
// or a chip stays on its line and can't steer the terminal.
QString escapeControls(const QString &text);
