// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/relayedlistener.h"

RelayedListener::RelayedListener(std::shared_ptr<JobListener> frontEnd, JobChannel channel)
    : m_frontEnd(std::move(frontEnd)), m_channel(std::move(channel))
{
}

void RelayedListener::modeRead(bool software)
{
    m_channel.notify([l = m_frontEnd, software] { l->modeRead(software); });
}

void RelayedListener::identityMethodRead(bool user)
{
    m_channel.notify([l = m_frontEnd, user] { l->identityMethodRead(user); });
}

void RelayedListener::configurationRead(const std::optional<ConfigWord> &word)
{
    if (word)
        m_channel.notify([l = m_frontEnd, word] { l->configurationRead(word); });
    else
        m_channel.roundTrip([l = m_frontEnd] { l->configurationRead(std::nullopt); });
}

void RelayedListener::detectedPolarityRead(quint8 detected)
{
    m_channel.notify([l = m_frontEnd, detected] { l->detectedPolarityRead(detected); });
}

bool RelayedListener::programDespitePolarity(quint8 detected, int chosen)
{
    return m_channel
        .ask<bool>([l = m_frontEnd, detected, chosen] { return l->programDespitePolarity(detected, chosen); })
        .value_or(false);
}

void RelayedListener::settingWritten(const SettingWrite &write)
{
    m_channel.notify([l = m_frontEnd, write] { l->settingWritten(write); });
}

void RelayedListener::echoMismatch(const SettingWrite &write)
{
    m_channel.roundTrip([l = m_frontEnd, write] { l->echoMismatch(write); });
}

void RelayedListener::woken()
{
    m_channel.notify([l = m_frontEnd] { l->woken(); });
}

void RelayedListener::progress(const ProgrammingStep &step)
{
    m_channel.notify([l = m_frontEnd, step] { l->progress(step); });
}
