// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/textfilesaver.h"

#include "app/prompter.h"
#include "files/filewriter.h"

#include <QDir>

using namespace Qt::StringLiterals;

bool saveTextFile(Prompter &prompter, const QString &title, const QString &text)
{
    Prompter::FileRequest request;
    request.style = Prompter::FileRequest::Style::Save;
    request.title = title;
    request.filter = u"Text files (*.txt)"_s;
    request.defaultExtension = u"txt"_s;
    request.overwritePrompt = true;
    const QString path = prompter.chooseFile(request);
    if (path.isEmpty())
        return false;
    const Result<void, FileWriteError> result = replaceFileContents(path, text.toUtf8());
    if (result)
        return true;
    const QString reason = result.error().kind == FileWriteError::Kind::ReadOnly ? u"The file is read-only."_s
                                                                                : result.error().reason;
    prompter.message(u"Couldn't write file <%1> !\n%2"_s.arg(QDir::toNativeSeparators(path), reason),
                     Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return false;
}
