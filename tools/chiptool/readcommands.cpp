// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip read and verify: how the chip is configured now, and whether that is what
// it should be.
#include "config/wordmeaning.h"
#include "protocol/configurationread.h"
#include "protocol/exchanges.h"
#include "production/chipprogramming.h"
#include "production/recordjson.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/commandsupport.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/targetoptions.h"
#include "tools/chiptool/resultjson.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/tooloptions.h"
#include "production/verification.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

struct ChipReading
{
    ConfigurationReading configuration;
    std::optional<quint8> detectedPolarity;
    std::optional<ToolError> error;
};

// Check configuration's reading, then the strobe polarity the chip's hardware detects
// (GS "Sh"), on the port opened again for it.
ChipReading readChip(ChipSession &session, const ConnectionSettings &chip, bool withPolarity)
{
    ChipReading out;
    SerialLink &link = session.link();
    const quint64 start = session.mark();
    session.console().progress(QCoreApplication::translate("ReadCommands", "reading %1").arg(session.portName(chip.port)));
    JobListener quiet;
    session.beginJob();
    const JobResult<ConfigurationReading> reading = ConfigurationRead::read(link, chip, quiet);
    std::optional<JobError> stopped;
    if (reading)
        out.configuration = *reading;
    else
        stopped = reading.error();
    if (reading && withPolarity) {
        if (ChipJob::open(link, chip)) {
            out.detectedPolarity = Exchanges::readDetectedPolarity(link);
            if (!link.isOpen())
                stopped = ChipJob::stopped(link);
            link.close();
        } else {
            stopped = ChipJob::stopped(link);
        }
    }
    session.console().progress({});

    if (stopped && stopped->cancelled())
        out.error = ToolError{ExitStatus::Interrupted, QCoreApplication::translate("ReadCommands", "interrupted")};
    else if (stopped)
        out.error = session.portFailure(chip.port, stopped->failures);
    else if (!session.heardSince(start))
        out.error = ToolError{ExitStatus::NoChip, QCoreApplication::translate("ReadCommands", "%1: no answer from the chip; check its power and cable, and the "
                                      "speed").arg(session.where(chip.port, chip.speed))};
    return out;
}

} // namespace

namespace ChipCommands {

int read(ChipSession &session)
{
    const auto found = CommandSupport::locate(session);
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const ConnectionSettings &chip = found->chip;

    const ChipReading reading = readChip(session, chip, true);
    QJsonObject fields = ResultJson::line(session, chip);
    if (reading.error)
        return CommandSupport::finish(session, fields, reading.error);

    const ConfigurationReading &r = reading.configuration;
    std::optional<ToolError> error;
    if (!r.word) {
        error = ToolError{ExitStatus::NoChip, QCoreApplication::translate("ReadCommands", "%1: the chip's configuration reply was %2 bytes long, not 2 or 4; "
                                  "check the cable and read it again")
                                      .arg(session.portName(chip.port)).arg(r.configurationReply.size())};
    }
    const QString polarity = polarityName(reading.detectedPolarity.value_or(0));
    session.console().text(
        QCoreApplication::translate("ReadCommands", "configuration mode:      %1\n"
        "identity determination:  %2\n"
        "configuration word:      %3\n"
        "%4"
        "mechanism identity:      %5\n"
        "identity:                %6\n"
        "detected polarity:       %7\n")
            .arg(readBackText(configurationModeName(r.software())), readBackText(identityMethodName(r.userIdentity())),
                 r.word ? r.word->text() : QCoreApplication::translate("ReadCommands", "no valid answer"), r.word ? fieldLines(*r.word) : QString(),
                 escapeControls(r.mechanismIdentity()), ResultText::chipText(r.identityReply), polarity));

    fields.insert(u"mode"_s, configurationModeName(r.software()));
    fields.insert(u"identity_determination"_s, identityMethodName(r.userIdentity()));
    fields.insert(u"word"_s, r.word ? QJsonValue(r.word->text()) : QJsonValue(QJsonValue::Null));
    fields.insert(u"fields"_s, r.word ? ResultJson::fields(*r.word) : QJsonArray());
    fields.insert(u"mechanism_identity"_s, r.mechanismIdentity());
    fields.insert(u"identity"_s, ResultJson::chipText(r.identityReply));
    fields.insert(u"detected_polarity"_s, int(reading.detectedPolarity.value_or(0)));
    return CommandSupport::finish(session, fields, error);
}

int verify(ChipSession &session)
{
    const auto resolved = resolveTarget(session.options(), session.console());
    if (!resolved)
        return CommandSupport::finish(session, {}, resolved.error());
    const ProgrammingTarget &target = *resolved;

    const auto found = CommandSupport::locate(session);
    if (!found)
        return CommandSupport::finish(session, {}, found.error());
    const ConnectionSettings &chip = found->chip;

    const ChipReading reading = readChip(session, chip, false);
    QJsonObject fields = ResultJson::line(session, chip);
    fields.insert(u"entry"_s, target.entry.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(target.entry));
    fields.insert(u"word"_s, target.word->text());
    if (reading.error)
        return CommandSupport::finish(session, fields, reading.error);

    const QList<Check> checks = verifyReading(target, reading.configuration);
    const bool passed = allPassed(checks);
    session.console().text(ResultText::checks(checks) + ResultText::verdict(passed));
    fields.insert(u"checks"_s, RecordJson::checks(checks));
    fields.insert(u"identity"_s, ResultJson::chipText(reading.configuration.identityReply));
    fields.insert(u"result"_s, passed ? u"PASS"_s : u"FAIL"_s);
    std::optional<ToolError> error;
    if (!passed) {
        error = ToolError{ExitStatus::Mismatch, QCoreApplication::translate("ReadCommands", "%1: the chip differs from what it should hold (%2); qv12-chip program sets it")
                                        .arg(session.portName(chip.port), failedNames(checks))};
    }
    return CommandSupport::finish(session, fields, error);
}

} // namespace ChipCommands
