// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/chipprogramming.h"

#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/programmingtarget.h"
#include "tools/chiptool/resulttext.h"

#include <QStringList>

using namespace Qt::StringLiterals;

bool ProgramRun::passed() const
{
    return programming.end == JobEnd::Done && programming.mismatches() == 0 && readBack
        && readBack->end == JobEnd::Done && heard && allPassed(checks);
}

ProgramRun programAndVerify(ChipSession &session, const ConnectionSettings &chip,
                            const ProgrammingTarget &target, JobListener &listener)
{
    ProgramRun run;
    run.settingCount = target.settingCount();
    const quint64 start = session.mark();
    run.programming = Programming::program(session.link(), chip, target.input, listener);
    if (run.programming.end == JobEnd::Done) {
        session.console().progress(u"reading back %1"_s.arg(session.portName(chip.PortNumber)));
        JobListener quiet;
        run.readBack = ConfigurationRead::read(session.link(), chip, quiet);
        if (run.readBack->end == JobEnd::Done)
            run.checks = verifyReading(target, *run.readBack);
    }
    session.console().progress({});
    run.heard = session.heardSince(start);
    return run;
}

std::optional<ToolError> judgeRun(ChipSession &session, const ConnectionSettings &chip,
                                  const ProgrammingTarget &target, const ProgramRun &run)
{
    const JobEnd readEnd = run.readBack ? run.readBack->end : JobEnd::Done;
    const QString port = session.portName(chip.PortNumber);
    if (run.programming.end == JobEnd::Aborted && run.programming.writes.isEmpty())
        return ToolError{Interrupted, u"interrupted; nothing was written to the chip on %1"_s.arg(port)};
    if (run.programming.end == JobEnd::Aborted || readEnd == JobEnd::Aborted)
        return ToolError{Interrupted, u"interrupted; the chip on %1 may be partly programmed: program it again"_s.arg(port)};
    if (run.programming.end == JobEnd::PortFailed || readEnd == JobEnd::PortFailed)
        return session.portFailure(chip.PortNumber);
    if (run.programming.end == JobEnd::Cancelled) {
        return ToolError{Mismatch, u"%1: the chip detects strobe polarity %2, the configuration has %3; "
                                   "nothing was written (--polarity-mismatch continue programs it anyway)"_s
                                       .arg(port, ResultText::polarityName(run.programming.detectedPolarity.value_or(0)),
                                            ResultText::polarityName(target.input.fields.StrobePolarity))};
    }
    if (!run.heard) {
        return ToolError{NoChip, u"%1: no answer from the chip; check its power and cable, and the "
                                 "speed"_s.arg(session.where(chip.PortNumber, chip.Speed))};
    }
    if (run.programming.mismatches() > 0) {
        QStringList wrong;
        for (const SettingWrite &w : run.programming.writes) {
            if (!w.echoed())
                wrong.append(QString::number(w.setting));
        }
        return ToolError{Mismatch, u"%1: the chip echoed %2 of %3 settings wrong (setting %4); check the "
                                   "cable and the chip's power, then program it again"_s
                                       .arg(port).arg(wrong.size()).arg(run.programming.writes.size())
                                       .arg(wrong.join(u", "_s))};
    }
    if (!allPassed(run.checks)) {
        return ToolError{Mismatch, u"%1: the chip reads back differently (%2); program it again"_s
                                       .arg(port, failedNames(run.checks))};
    }
    return std::nullopt;
}
