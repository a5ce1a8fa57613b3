// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompter.h"

#include <QList>
#include <QRegularExpression>

#include <functional>

// A prompter for window tests: every prompt must have been announced with its exact
// text (or file request) and is answered as announced; anything else fails the test.
class ScriptedPrompter final : public Prompter
{
public:
    struct Prompt
    {
        enum class Kind { Message, File, Beep };
        Kind kind = Kind::Message;
        QString text{};
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        FileRequest request{};
    };

    void expectMessage(const QString &text, Icon icon = Icon::Exclamation,
                       Buttons buttons = Buttons::Ok, Answer answer = Answer::Ok)
    {
        m_expected.append({{Prompt::Kind::Message, text, icon, buttons}, QRegularExpression::escape(text), answer});
    }
    // A message whose text matches pattern whole (for texts that carry the system's words).
    void expectMessageMatching(const QString &pattern, Icon icon = Icon::Exclamation,
                               Buttons buttons = Buttons::Ok, Answer answer = Answer::Ok)
    {
        m_expected.append({{Prompt::Kind::Message, pattern, icon, buttons}, pattern, answer});
    }
    // A question with OK and Cancel, answered OK when agree.
    void expectQuestion(const QString &text, bool agree)
    {
        expectMessage(text, Icon::Exclamation, Buttons::OkCancel, agree ? Answer::Ok : Answer::Cancel);
    }
    void expectFile(const FileRequest &request, const QString &path)
    {
        m_expected.append({{Prompt::Kind::File, {}, Icon::None, Buttons::Ok, request}, {}, Answer::Ok, path});
    }
    void expectBeep() { m_expected.append(Expected{{Prompt::Kind::Beep}}); }

    // Called with each prompt as it is shown, before it is answered (to look at the
    // program's state at that moment).
    std::function<void(const Prompt &)> onPrompt;

    // Every prompt shown so far, in order.
    const QList<Prompt> &prompts() const { return m_shown; }
    // Empty when every announced prompt was shown; otherwise what is still waiting.
    QString pending() const;

    Answer message(const QString &text, Icon icon, Buttons buttons) override
    {
        return next({Prompt::Kind::Message, text, icon, buttons}).answer;
    }
    QString chooseFile(const FileRequest &request) override
    {
        return next({Prompt::Kind::File, {}, Icon::None, Buttons::Ok, request}).path;
    }
    void beep() override { next({Prompt::Kind::Beep}); }

private:
    struct Expected : Prompt
    {
        QString textPattern{};  // that the shown text matches whole
        Answer answer = Answer::Ok;
        QString path{};
    };
    Expected next(const Prompt &shown);

    QList<Expected> m_expected;
    QList<Prompt> m_shown;
};
