// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip report FILE: the support report the window's Help menu writes, for a chip
// on a bench without a desktop. The chip is looked for first, so that the report holds
// the connection, its identity and the bytes of finding it, or of the attempts.
#include "diagnostics/supportreport.h"
#include "files/filewriter.h"
#include "protocol/identification.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace ChipCommands {

int report(ChipSession &session)
{
    ConnectionSettings chip;
    QString identity;
    const auto found = CommandSupport::locate(session);
    if (found) {
        chip = found->chip;
        chip.chipFound = true;
        session.beginJob();
        identity = QString::fromLatin1(Identification::identify(session.link(), chip).valueOr(QByteArray()));
    } else if (found.error().status == ExitStatus::Interrupted) {
        return CommandSupport::finish(session, {}, found.error());
    } else {
        session.console().note(QCoreApplication::translate("ReportCommand", "no chip found; the report holds what was tried"));
    }

    const QString &file = session.options().reportFile;
    const QString text = SupportReport::compose({u"qv12-chip " QV12_REVISION ""_s, session.ports(), chip,
                                                 identity, session.link().traffic()});
    const Result<void, FileWriteError> written = replaceFileContents(file, text.toUtf8());
    std::optional<ToolError> error;
    if (!written && written.error().kind == FileWriteError::Kind::ReadOnly)
        error = ToolError{ExitStatus::FileError, QCoreApplication::translate("ReportCommand", "%1: not written: the file is read-only; choose another name").arg(file)};
    else if (!written)
        error = ToolError{ExitStatus::FileError, QCoreApplication::translate("ReportCommand", "%1: not written: %2").arg(file, written.error().reason)};
    else
        session.console().note(QCoreApplication::translate("ReportCommand", "support report written to %1").arg(file));
    return CommandSupport::finish(session, {{u"file"_s, file}, {u"chip_found"_s, chip.chipFound}}, error);
}

} // namespace ChipCommands
