#include "scriptedprompter.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString describe(const ScriptedPrompter::Prompt &prompt)
{
    using Kind = ScriptedPrompter::Prompt::Kind;
    switch (prompt.kind) {
    case Kind::Message:
        return u"message \"%1\" (icon %2, %3)"_s.arg(prompt.text)
            .arg(int(prompt.icon))
            .arg(prompt.buttons == Prompter::Buttons::Ok ? u"OK"_s : u"OK/Cancel"_s);
    case Kind::File:
        return u"file dialog \"%1\" (%2, filter \"%3\", extension \"%4\", overwrite prompt %5)"_s
            .arg(prompt.request.title,
                 prompt.request.style == Prompter::FileRequest::Style::Open ? u"open"_s
                                                                            : u"save"_s,
                 prompt.request.filter, prompt.request.defaultExtension,
                 prompt.request.overwritePrompt ? u"yes"_s : u"no"_s);
    case Kind::Beep:
        return u"beep"_s;
    }
    return {};
}

bool same(const ScriptedPrompter::Prompt &a, const ScriptedPrompter::Prompt &b)
{
    return a.kind == b.kind && a.text == b.text && a.icon == b.icon && a.buttons == b.buttons
        && a.request.style == b.request.style && a.request.title == b.request.title
        && a.request.filter == b.request.filter
        && a.request.defaultExtension == b.request.defaultExtension
        && a.request.overwritePrompt == b.request.overwritePrompt;
}

} // namespace

void ScriptedPrompter::expectMessage(const QString &text, Icon icon, Buttons buttons,
                                     Answer answer)
{
    Expected expected;
    expected.prompt.kind = Prompt::Kind::Message;
    expected.prompt.text = text;
    expected.prompt.icon = icon;
    expected.prompt.buttons = buttons;
    expected.answer = answer;
    m_expected.append(expected);
}

void ScriptedPrompter::expectMessageMatching(const QString &pattern, Icon icon, Buttons buttons,
                                             Answer answer)
{
    expectMessage(pattern, icon, buttons, answer);
    m_expected.last().pattern = pattern;
}

void ScriptedPrompter::expectFile(const FileRequest &request, const QString &path)
{
    Expected expected;
    expected.prompt.kind = Prompt::Kind::File;
    expected.prompt.request = request;
    expected.path = path;
    m_expected.append(expected);
}

void ScriptedPrompter::expectBeep()
{
    Expected expected;
    expected.prompt.kind = Prompt::Kind::Beep;
    m_expected.append(expected);
}

QString ScriptedPrompter::pending() const
{
    QStringList waiting;
    for (const Expected &expected : m_expected)
        waiting.append(describe(expected.prompt));
    return waiting.join(u"; "_s);
}

ScriptedPrompter::Expected ScriptedPrompter::next(const Prompt &shown)
{
    m_shown.append(shown);
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(u"Unexpected prompt: "_s + describe(shown)), __FILE__, __LINE__);
        Expected cancel;
        cancel.answer = Answer::Cancel;
        return cancel;
    }
    Expected expected = m_expected.takeFirst();
    if (!expected.pattern.isEmpty()
        && QRegularExpression(QRegularExpression::anchoredPattern(expected.pattern),
                              QRegularExpression::DotMatchesEverythingOption)
               .match(shown.text)
               .hasMatch()) {
        expected.prompt.text = shown.text;
    }
    if (!same(expected.prompt, shown)) {
        QTest::qFail(qPrintable(u"Prompt shown: %1\n   Expected: %2"_s.arg(describe(shown),
                                                                         describe(expected.prompt))),
                     __FILE__, __LINE__);
    }
    return expected;
}

Prompter::Answer ScriptedPrompter::message(const QString &text, Icon icon, Buttons buttons)
{
    Prompt shown;
    shown.kind = Prompt::Kind::Message;
    shown.text = text;
    shown.icon = icon;
    shown.buttons = buttons;
    return next(shown).answer;
}

QString ScriptedPrompter::chooseFile(const FileRequest &request)
{
    Prompt shown;
    shown.kind = Prompt::Kind::File;
    shown.request = request;
    return next(shown).path;
}

void ScriptedPrompter::beep()
{
    Prompt shown;
    shown.kind = Prompt::Kind::Beep;
    next(shown);
}

Prompter::FileRequest databaseFileRequest(const QString &title, Prompter::FileRequest::Style style,
                                          bool overwritePrompt)
{
    Prompter::FileRequest request;
    request.style = style;
    request.title = title;
    request.filter = u"Configuration databases (*.cdb)"_s;
    request.defaultExtension = u"cdb"_s;
    request.overwritePrompt = overwritePrompt;
    return request;
}
