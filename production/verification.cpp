// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/verification.h"

#include "config/wordmeaning.h"
#include "production/programmingtarget.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

Check check(const QString &name, const QString &expected, const QString &actual)
{
    return Check{name, expected, actual, expected == actual};
}

QString modeName(bool software)
{
    return software ? u"Software"_s : u"Hardware"_s;
}

} // namespace

QList<Check> verifyReading(const ProgrammingTarget &target, const ConfigurationReading &reading)
{
    QList<Check> checks;
    checks.append(check(u"configuration mode"_s, modeName(target.input.software), modeName(reading.software())));
    if (target.word) {
        const QList<FieldMeaning> expected = wordMeaning(*target.word);
        const QList<FieldMeaning> actual = reading.word ? wordMeaning(*reading.word) : QList<FieldMeaning>();
        for (qsizetype i = 0; i < expected.size(); ++i) {
            checks.append(check(expected.at(i).label, expected.at(i).meaning,
                                reading.word ? actual.at(i).meaning : u"no valid answer"_s));
        }
    }
    if (target.userIdentity) {
        checks.append(check(u"identity determination"_s,
                            *target.userIdentity ? u"User"_s : u"Automatic"_s,
                            reading.userIdentity() ? u"User"_s : u"Automatic"_s));
    }
    if (target.identity)
        checks.append(check(u"mechanism identity"_s, *target.identity, reading.mechanismIdentity()));
    return checks;
}

bool allPassed(const QList<Check> &checks)
{
    return std::all_of(checks.cbegin(), checks.cend(), [](const Check &c) { return c.ok; });
}

QString failedNames(const QList<Check> &checks)
{
    QStringList names;
    for (const Check &c : checks) {
        if (!c.ok)
            names.append(c.name);
    }
    return names.join(u", "_s);
}
