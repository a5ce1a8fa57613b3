// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/commandsupport.h"

#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace CommandSupport {

int finish(ChipSession &session, const QJsonObject &fields, std::optional<ToolError> error)
{
    if (!error)
        error = session.logError();
    else if (const auto logError = session.logError())
        session.console().error(logError->line);
    if (error)
        session.console().error(error->line);
    session.console().result(ResultJson::merged(ResultJson::head(session.options().commandName, error), fields));
    return int(error ? error->status : ExitStatus::Success);
}

Result<LocatedChip, ToolError> locate(ChipSession &session)
{
    auto found = locateChip(session);
    if (found && found->scanned)
        session.console().note(QCoreApplication::translate("CommandSupport", "found the chip on %1").arg(session.where(found->chip)));
    return found;
}

} // namespace CommandSupport
