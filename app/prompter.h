// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The only way handlers talk to the user: message boxes and file choices. The window
// uses message boxes and the file dialog; tests use a scripted prompter that records
// every prompt and answers from a queue.
class Prompter
{
public:
    enum class Icon { None, Exclamation, Critical };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };

    struct FileRequest
    {
        enum class Style { Open, Save };
        Style style = Style::Open;
        QString title;
        QString filter;            // e.g. "Configuration databases (*.cdb)"
        QString defaultExtension;  // appended to a name typed without one, e.g. "cdb"
        bool overwritePrompt = false;
    };

    virtual ~Prompter() = default;

    // Shows text (as plain text) with the application's title in the title bar.
    virtual Answer message(const QString &text, Icon icon, Buttons buttons) = 0;
    // The chosen full path, or an empty string when the user cancels.
    virtual QString chooseFile(const FileRequest &request) = 0;
    // A refused action (a second chip action while one runs).
    virtual void beep() = 0;
};
