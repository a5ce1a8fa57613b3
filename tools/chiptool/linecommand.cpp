// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip line: the production mode.
#include "tools/chiptool/auditfile.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/productionline.h"
#include "tools/chiptool/programmingtarget.h"
#include "tools/chiptool/tooloptions.h"

using namespace Qt::StringLiterals;

namespace ChipCommands {

int line(ChipSession &session)
{
    const auto resolved = resolveTarget(session.options(), session.console());
    if (const auto *error = std::get_if<ToolError>(&resolved))
        return CommandSupport::finish(session, {}, *error);

    // The audit file first: a line that can't keep its record must not program a chip.
    AuditFile audit(session.options().auditFile);
    const AuditFile::Outcome checked = audit.check();
    if (!checked.ok()) {
        return CommandSupport::finish(session, {}, ToolError{FileError, u"%1: cannot append the audit "
                                                                        "lines: %2; give a file in a folder "
                                                                        "you can write to"_s
                                                                            .arg(audit.path(), checked.error)});
    }
    ProductionLine line(session, std::get<ProgrammingTarget>(resolved), audit);
    return line.run();
}

} // namespace ChipCommands
