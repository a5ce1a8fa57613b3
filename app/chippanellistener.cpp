// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chippanellistener.h"

#include "app/prompter.h"
#include "serial/chipworker.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

ChipPanelListener::ChipPanelListener(Prompter &prompter, const ChipWorker &worker)
    : m_prompter(prompter), m_worker(worker)
{
}

void ChipPanelListener::modeRead(bool software)
{
    if (onModeRead)
        onModeRead(software);
}

void ChipPanelListener::identityMethodRead(bool user)
{
    if (onIdentityMethodRead)
        onIdentityMethodRead(user);
}

void ChipPanelListener::configurationRead(const std::optional<ConfigWord> &word)
{
    if (onConfigurationRead)
        onConfigurationRead(word);
}

void ChipPanelListener::woken()
{
    if (onWoken)
        onWoken();
}

bool ChipPanelListener::programDespitePolarity(quint8, int)
{
    // Not while the program ends: the action runs out without prompts.
    if (m_worker.isEnding())
        return false;
    return m_prompter.message(QCoreApplication::translate("ChipPanelListener", "Hardware detected polarity doesn't match user choice !  Program anyway ?"),
                              Prompter::Icon::Exclamation, Prompter::Buttons::OkCancel)
        == Prompter::Answer::Ok;
}

void ChipPanelListener::echoMismatch(const SettingWrite &)
{
    // Not while the program ends: the action runs out without prompts.
    if (!m_worker.isEnding()) {
        m_prompter.message(QCoreApplication::translate("ChipPanelListener", "Programming error ! Please check cables and power."), Prompter::Icon::None,
                           Prompter::Buttons::Ok);
    }
}
