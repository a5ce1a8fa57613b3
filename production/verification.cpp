// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/verification.h"

#include "config/wordmeaning.h"
#include "production/programmingtarget.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Marked for the catalogue, kept in English: the records hold these words.
const QString MechanismIdentityCheck = QString::fromUtf8(QT_TRANSLATE_NOOP("ReadBack", "mechanism identity"));

Check check(const QString &name, const QString &expected, const QString &actual)
{
    return Check{name, expected, actual, expected == actual};
}

} // namespace

QString configurationModeName(bool software)
{
    return QString::fromUtf8(software ? QT_TRANSLATE_NOOP("ReadBack", "Software")
                                      : QT_TRANSLATE_NOOP("ReadBack", "Hardware"));
}

QString identityMethodName(bool user)
{
    return QString::fromUtf8(user ? QT_TRANSLATE_NOOP("ReadBack", "User")
                                  : QT_TRANSLATE_NOOP("ReadBack", "Automatic"));
}

QList<Check> verifyReading(const ProgrammingTarget &target, const ConfigurationReading &reading)
{
    QList<Check> checks;
    checks.append(check(QString::fromUtf8(QT_TRANSLATE_NOOP("ReadBack", "configuration mode")), configurationModeName(target.input.software), configurationModeName(reading.software())));
    if (target.word) {
        const QList<FieldMeaning> expected = wordMeaning(*target.word);
        const QList<FieldMeaning> actual = reading.word ? wordMeaning(*reading.word) : QList<FieldMeaning>();
        for (qsizetype i = 0; i < expected.size(); ++i) {
            checks.append(check(expected.at(i).label, expected.at(i).meaning,
                                reading.word ? actual.at(i).meaning : QString::fromUtf8(QT_TRANSLATE_NOOP("ReadBack", "no valid answer"))));
        }
    }
    if (target.userIdentity) {
        checks.append(check(QString::fromUtf8(QT_TRANSLATE_NOOP("ReadBack", "identity determination")),
                            identityMethodName(*target.userIdentity), identityMethodName(reading.userIdentity())));
    }
    if (target.identity)
        checks.append(check(MechanismIdentityCheck, *target.identity, reading.mechanismIdentity()));
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

QString checkNameText(const Check &check)
{
    return readBackText(check.name);
}

QString checkValueText(const Check &check, const QString &value)
{
    // The identity is the chip's own text: shown as it came, never looked up.
    return check.name == MechanismIdentityCheck ? value : readBackText(value);
}
