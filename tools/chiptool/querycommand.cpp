// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip query opto|ad|value|string: the chip's queries that the window has no control
// for, each on its own opening of the chip's line.
#include "protocol/queries.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

Queries::Query queryOf(ToolOptions::Query query)
{
    switch (query) {
    case ToolOptions::Query::Opto:
        return Queries::Query::OptoSensor;
    case ToolOptions::Query::Ad:
        return Queries::Query::Analogue;
    case ToolOptions::Query::Value:
        return Queries::Query::Value;
    case ToolOptions::Query::String:
        break;
    }
    return Queries::Query::String;
}

} // namespace

namespace ChipCommands {

int query(ChipSession &session)
{
    const auto found = CommandSupport::locate(session);
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const ConnectionSettings &chip = found->chip;

    session.beginJob();
    const JobResult<Queries::QueryAnswer> answer = Queries::run(session.link(), chip, queryOf(session.options().query));
    std::optional<ToolError> error;
    if (!answer && answer.error().cancelled())
        error = ToolError{ExitStatus::Interrupted, QCoreApplication::translate("QueryCommand", "interrupted")};
    else if (!answer)
        error = session.portFailure(chip.port, answer.error().failures);
    else if (!answer->answered)
        error = ToolError{ExitStatus::NoChip, QCoreApplication::translate("QueryCommand", "%1: no answer to the query; check the chip's power and cable")
                                                  .arg(session.where(chip.port, chip.speed))};

    QJsonObject fields = ResultJson::line(session, chip);
    fields.insert(u"query"_s, session.options().queryName);
    if (!error) {
        if (answer->query == Queries::Query::String) {
            session.console().text(ResultText::chipText(answer->text) + u'\n');
            fields.insert(u"text"_s, ResultJson::chipText(answer->text));
        } else {
            session.console().text(u"%1 (0x%2)\n"_s.arg(int(answer->value)).arg(int(answer->value), 2, 16, QChar(u'0')));
            fields.insert(u"value"_s, int(answer->value));
        }
    }
    return CommandSupport::finish(session, fields, error);
}

} // namespace ChipCommands
