// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptedprompter.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// One line that tells prompts apart by everything the user sees.
QString describe(const ScriptedPrompter::Prompt &prompt)
{
    if (prompt.kind == ScriptedPrompter::Prompt::Kind::Beep)
        return u"beep"_s;
    if (prompt.kind == ScriptedPrompter::Prompt::Kind::Message) {
        return u"message \"%1\" (icon %2, %3)"_s.arg(
            prompt.text, QString::number(int(prompt.icon)),
            prompt.buttons == Prompter::Buttons::Ok ? u"OK"_s : u"OK/Cancel"_s);
    }
    const Prompter::FileRequest &r = prompt.request;
    return u"file dialog \"%1\" (%2, filter \"%3\", extension \"%4\", overwrite prompt %5)"_s.arg(
        r.title, r.style == Prompter::FileRequest::Style::Open ? u"open"_s : u"save"_s, r.filter,
        r.defaultExtension, r.overwritePrompt ? u"yes"_s : u"no"_s);
}

} // namespace

QString ScriptedPrompter::pending() const
{
    QStringList waiting;
    for (const Expected &expected : m_expected)
        waiting.append(describe(expected));
    return waiting.join(u"; "_s);
}

ScriptedPrompter::Expected ScriptedPrompter::next(const Prompt &shown)
{
    m_shown.append(shown);
    if (onPrompt)
        onPrompt(shown);
    // With nothing announced, an expectation that nothing matches, answered Cancel.
    const Expected expected = m_expected.isEmpty()
        ? Expected{{Prompt::Kind::Message, u"(nothing announced)"_s}, u"(?!)"_s, Answer::Cancel}
        : m_expected.takeFirst();
    Prompt shape = expected;
    shape.text = shown.text;
    const QRegularExpression text(QRegularExpression::anchoredPattern(expected.textPattern),
                                  QRegularExpression::DotMatchesEverythingOption);
    if (describe(shape) != describe(shown) || !text.match(shown.text).hasMatch()) {
        QTest::qFail(qPrintable(u"Prompt shown: %1\n   Expected: %2"_s.arg(describe(shown), describe(expected))),
                     __FILE__, __LINE__);
    }
    return expected;
}
