// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"

#include <functional>

class ChipWorker;
class Prompter;

// The window's answers to a chip job, in the window's thread (a RelayedListener brings
// the job's calls over): the polarity question and the echo errors as message boxes, and
// what each handler does as the chip answers (selecting options as they are read,
// enabling buttons once the chip is awake).
class ChipPanelListener final : public JobListener
{
public:
    ChipPanelListener(Prompter &prompter, const ChipWorker &worker);

    std::function<void(bool)> onModeRead;
    std::function<void(bool)> onIdentityMethodRead;
    std::function<void(const std::optional<ConfigWord> &)> onConfigurationRead;
    std::function<void()> onWoken;

    void modeRead(bool software) override;
    void identityMethodRead(bool user) override;
    void configurationRead(const std::optional<ConfigWord> &word) override;
    void woken() override;
    bool programDespitePolarity(quint8 detected, int chosen) override;
    void echoMismatch(const SettingWrite &write) override;

private:
    Prompter &m_prompter;
    const ChipWorker &m_worker;
};
