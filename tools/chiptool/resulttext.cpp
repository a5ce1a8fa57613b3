// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/resulttext.h"

#include "config/wordmeaning.h"
#include "production/chipprogramming.h"

#include <algorithm>

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace ResultText {

namespace {

constexpr int NameWidth = 24;

QString hex(quint8 byte)
{
    return u"0x"_s + QString::number(byte, 16).rightJustified(2, u'0').toUpper();
}

} // namespace

QString chipText(const QByteArray &bytes)
{
    return escapeControls(QString::fromLatin1(bytes));
}

QString checks(const QList<Check> &checks)
{
    qsizetype width = 0;
    for (const Check &c : checks)
        width = std::max(width, escapeControls(checkValueText(c, c.expected)).size());
    QString text;
    for (const Check &c : checks) {
        text += u"%1%2   %3\n"_s.arg(checkNameText(c), -NameWidth)
                    .arg(escapeControls(checkValueText(c, c.expected)), -int(width))
                    .arg(c.ok ? u"PASS"_s
                              : QCoreApplication::translate("ResultText", "FAIL: reads ")
                                    + escapeControls(checkValueText(c, c.actual)));
    }
    return text;
}

QString writes(const ProgramRun &run)
{
    const ProgrammingResult &p = run.programming;
    if (p.writes.isEmpty()) {
        return run.programmed() ? QString() : QCoreApplication::translate("ResultText", "Nothing was written: the chip is as it was.\n");
    }
    QString text;
    const qsizetype wrong = p.mismatches();
    if (p.writes.size() < run.settingCount) {
        text += QCoreApplication::translate("ResultText", "Wrote %1 of %2 settings before it stopped: the chip is partly programmed.\n")
                    .arg(p.writes.size()).arg(run.settingCount);
    } else if (wrong == 0) {
        text += QCoreApplication::translate("ResultText", "Wrote %1 settings; the chip echoed each one.\n").arg(p.writes.size());
    } else {
        text += QCoreApplication::translate("ResultText", "Wrote %1 settings; the chip echoed %2 of them wrong.\n").arg(p.writes.size()).arg(wrong);
    }
    for (const SettingWrite &w : p.writes) {
        if (!w.echoed())
            text += QCoreApplication::translate("ResultText", "  setting %1: wrote %2, %3\n").arg(w.setting).arg(hex(w.value),
                                                                   w.echo ? u"echo "_s + hex(w.echo) : QCoreApplication::translate("ResultText", "no echo"));
    }
    return text;
}


QString verdict(bool passed)
{
    return passed ? QCoreApplication::translate("ResultText", "Result: PASS\n") : QCoreApplication::translate("ResultText", "Result: FAIL\n");
}

} // namespace ResultText
