// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompter.h"

#include <cstdio>

// The benchmark's runs have no question to answer; any prompt is counted and reported.
class CountingPrompter final : public Prompter
{
public:
    Answer message(const QString &text, Icon, Buttons) override
    {
        std::fprintf(stderr, "qv12-bench: unexpected message: %s\n", qPrintable(text));
        ++prompts;
        return Answer::Ok;
    }
    QString chooseFile(const FileRequest &) override
    {
        ++prompts;
        return {};
    }
    void beep() override { ++prompts; }

    int prompts = 0;
};
