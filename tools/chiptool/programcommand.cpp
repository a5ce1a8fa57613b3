// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip program: "Configure chipset" from the command line, then the chip read back
// and compared with what was written.
#include "production/chipprogramming.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/targetoptions.h"
#include "tools/chiptool/terminallistener.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace ChipCommands {

int program(ChipSession &session)
{
    const auto resolved = resolveTarget(session.options(), session.console());
    if (!resolved)
        return CommandSupport::finish(session, {}, resolved.error());
    const ProgrammingTarget &target = *resolved;

    const auto found = CommandSupport::locate(session);
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const ConnectionSettings &chip = found->chip;

    TerminalListener listener(session.console(), session.link(), session.options().polarity,
                              session.portName(chip.port));
    session.beginJob();
    const ProgramRun run = programAndVerify(session.link(), session.cancellation(), chip, target, listener);
    session.console().progress({});
    const std::optional<ChipFailure> failure = judgeRun(session.ports(), chip, target, run);
    const std::optional<ToolError> error = failure
        ? std::optional(ToolError{ExitStatus(failure->status()), failure->line}) : std::nullopt;

    QString text = ResultText::writes(run);
    if (run.programmed())
        text += QCoreApplication::translate("ProgramCommand", "New identity: %1\n").arg(ResultText::chipText(run.programming.identity));
    if (!run.checks.isEmpty())
        text += QCoreApplication::translate("ProgramCommand", "Read back:\n") + ResultText::checks(run.checks);
    text += ResultText::verdict(run.passed());
    session.console().text(text);

    return CommandSupport::finish(session, ResultJson::merged(ResultJson::line(session, chip),
                                                              ResultJson::run(target, run)),
                                  error);
}

} // namespace ChipCommands
