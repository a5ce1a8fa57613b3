// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip program: "Configure chipset" from the command line, then the chip read back
// and compared with what was written.
#include "tools/chiptool/chipprogramming.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/programmingtarget.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/terminallistener.h"
#include "tools/chiptool/tooloptions.h"

using namespace Qt::StringLiterals;

namespace ChipCommands {

int program(ChipSession &session)
{
    const auto resolved = resolveTarget(session.options(), session.console());
    if (const auto *error = std::get_if<ToolError>(&resolved))
        return CommandSupport::finish(session, {}, *error);
    const ProgrammingTarget &target = std::get<ProgrammingTarget>(resolved);

    const auto found = CommandSupport::locate(session);
    if (const auto *error = std::get_if<ToolError>(&found))
        return CommandSupport::finish(session, {}, *error);
    const ConnectionSettings &chip = std::get<LocatedChip>(found).chip;

    TerminalListener listener(session.console(), session.link(), session.options().polarity,
                              session.portName(chip.PortNumber));
    const ProgramRun run = programAndVerify(session, chip, target, listener);
    const std::optional<ToolError> error = judgeRun(session, chip, target, run);

    QString text = ResultText::writes(run);
    if (run.programmed())
        text += u"New identity: %1\n"_s.arg(ResultText::chipText(run.programming.identity));
    if (!run.checks.isEmpty())
        text += u"Read back:\n"_s + ResultText::checks(run.checks);
    text += ResultText::verdict(run.passed());
    session.console().text(text);

    return CommandSupport::finish(session, ResultJson::merged(ResultJson::line(session, chip),
                                                              ResultJson::run(target, run)),
                                  error);
}

} // namespace ChipCommands
