// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip detect and identify: where the chip is and who it says it is.
#include "protocol/detection.h"
#include "protocol/identification.h"
#include "serial/traffictext.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace ChipCommands {

int detect(ChipSession &session)
{
    const auto found = locateChip(session);
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const LocatedChip &located = *found;
    const ConnectionSettings &chip = located.chip;

    session.console().text(QCoreApplication::translate("DetectCommands",
                                                       "port:       %1\n"
                                                       "speed:      %2 bauds\n"
                                                       "handshake:  %3\n"
                                                       "identity:   %4\n")
                               .arg(session.portName(chip.port), QString::number(chip.speed),
                                    handshakeDisplayName(chip.handshake),
                                    ResultText::chipText(located.identity)));
    QJsonObject fields = ResultJson::line(session, chip);
    fields.insert(u"identity"_s, ResultJson::chipText(located.identity));
    fields.insert(u"name"_s, Detection::chipName(located.identity));
    return CommandSupport::finish(session, fields, std::nullopt);
}

int identify(ChipSession &session)
{
    const auto found = CommandSupport::locate(session);
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const ConnectionSettings &chip = found->chip;

    session.beginJob();
    const JobResult<QByteArray> identity = Identification::identify(session.link(), chip);
    std::optional<ToolError> error;
    if (!identity && identity.error().cancelled())
        error = ToolError{ExitStatus::Interrupted, QCoreApplication::translate("DetectCommands", "interrupted")};
    else if (!identity)
        error = session.portFailure(chip.port, identity.error().failures);
    else if (identity->isEmpty())
        error = ToolError{ExitStatus::NoChip, QCoreApplication::translate("DetectCommands", "%1: no answer to the identity request; check the chip's power and "
                                  "cable").arg(session.where(chip.port, chip.speed))};

    QJsonObject fields = ResultJson::line(session, chip);
    if (!error) {
        session.console().text(ResultText::chipText(*identity) + u'\n');
        fields.insert(u"identity"_s, ResultJson::chipText(*identity));
    }
    return CommandSupport::finish(session, fields, error);
}

} // namespace ChipCommands
