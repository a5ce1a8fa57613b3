// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/textfilesaver.h"

#include "app/prompter.h"
#include "files/filewriter.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

bool saveTextFile(Prompter &prompter, const QString &title, const QString &text)
{
    Prompter::FileRequest request;
    request.style = Prompter::FileRequest::Style::Save;
    request.title = title;
    request.filter = QCoreApplication::translate("TextFileSaver", "Text files (*.txt)");
    request.defaultExtension = u"txt"_s;
    request.overwritePrompt = true;
    const QString path = prompter.chooseFile(request);
    if (path.isEmpty())
        return false;
    const Result<void, FileWriteError> result = replaceFileContents(path, text.toUtf8());
    if (result)
        return true;
    const QString reason = result.error().kind == FileWriteError::Kind::ReadOnly ? QCoreApplication::translate("TextFileSaver", "The file is read-only.")
                                                                                : result.error().reason;
    prompter.message(QCoreApplication::translate("TextFileSaver", "Couldn't write file <%1> !\n%2").arg(QDir::toNativeSeparators(path), reason),
                     Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return false;
}
