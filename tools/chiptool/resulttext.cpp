// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/resulttext.h"

#include "config/wordmeaning.h"
#include "production/chipprogramming.h"

#include <algorithm>

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
        width = std::max(width, escapeControls(c.expected).size());
    QString text;
    for (const Check &c : checks) {
        text += u"%1%2   %3\n"_s.arg(c.name, -NameWidth)
                    .arg(escapeControls(c.expected), -int(width))
                    .arg(c.ok ? u"PASS"_s : u"FAIL: reads "_s + escapeControls(c.actual));
    }
    return text;
}

QString writes(const ProgramRun &run)
{
    const ProgrammingResult &p = run.programming;
    if (p.writes.isEmpty()) {
        return run.programmed() ? QString() : u"Nothing was written: the chip is as it was.\n"_s;
    }
    QString text;
    const qsizetype wrong = p.mismatches();
    if (p.writes.size() < run.settingCount) {
        text += u"Wrote %1 of %2 settings before it stopped: the chip is partly programmed.\n"_s
                    .arg(p.writes.size()).arg(run.settingCount);
    } else if (wrong == 0) {
        text += u"Wrote %1 settings; the chip echoed each one.\n"_s.arg(p.writes.size());
    } else {
        text += u"Wrote %1 settings; the chip echoed %2 of them wrong.\n"_s.arg(p.writes.size()).arg(wrong);
    }
    for (const SettingWrite &w : p.writes) {
        if (!w.echoed())
            text += u"  setting %1: wrote %2, %3\n"_s.arg(w.setting).arg(hex(w.value),
                                                                   w.echo ? u"echo "_s + hex(w.echo) : u"no echo"_s);
    }
    return text;
}


QString verdict(bool passed)
{
    return passed ? u"Result: PASS\n"_s : u"Result: FAIL\n"_s;
}

} // namespace ResultText
