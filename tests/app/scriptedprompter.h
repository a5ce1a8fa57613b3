#pragma once

#include "app/prompter.h"

#include <QList>
#include <QString>

// A prompter for window tests: every prompt must have been announced with its exact
// text (or file request) and is answered as announced; anything else fails the test.
class ScriptedPrompter final : public Prompter
{
public:
    struct Prompt
    {
        enum class Kind { Message, File, Beep };
        Kind kind = Kind::Message;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        FileRequest request;
    };

    void expectMessage(const QString &text, Icon icon = Icon::Exclamation,
                       Buttons buttons = Buttons::Ok, Answer answer = Answer::Ok);
    // A message whose text matches pattern whole (for texts that carry the system's words).
    void expectMessageMatching(const QString &pattern, Icon icon = Icon::Exclamation,
                               Buttons buttons = Buttons::Ok, Answer answer = Answer::Ok);
    void expectFile(const FileRequest &request, const QString &path);
    void expectBeep();

    // Every prompt shown so far, in order.
    const QList<Prompt> &prompts() const { return m_shown; }
    // Empty when every announced prompt was shown; otherwise what is still waiting.
    QString pending() const;

    Answer message(const QString &text, Icon icon, Buttons buttons) override;
    QString chooseFile(const FileRequest &request) override;
    void beep() override;

private:
    struct Expected
    {
        Prompt prompt;
        Answer answer = Answer::Ok;
        QString path;
        QString pattern;
    };
    Expected next(const Prompt &shown);

    QList<Expected> m_expected;
    QList<Prompt> m_shown;
};

// The file requests of the database commands.
Prompter::FileRequest databaseFileRequest(const QString &title, Prompter::FileRequest::Style style,
                                          bool overwritePrompt);
