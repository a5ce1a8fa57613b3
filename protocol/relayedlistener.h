// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"
#include "serial/jobchannel.h"

#include <memory>

// A job's listener on the worker's thread that brings every call over to the front end's
// own listener, in the front end's thread. What only shows something goes over as a
// queued call and the job goes on. What a person must see before the next byte goes out
// is a round trip the job waits for: the polarity question, and the failures a front end
// may show a message box for (a wrong echo, a configuration that could not be read). A
// job cancelled meanwhile stops waiting, and a question not answered reads as no.
class RelayedListener final : public JobListener
{
public:
    RelayedListener(std::shared_ptr<JobListener> frontEnd, JobChannel channel);

    void modeRead(bool software) override;
    void identityMethodRead(bool user) override;
    void configurationRead(const std::optional<ConfigWord> &word) override;
    void detectedPolarityRead(quint8 detected) override;
    bool programDespitePolarity(quint8 detected, int chosen) override;
    void settingWritten(const SettingWrite &write) override;
    void echoMismatch(const SettingWrite &write) override;
    void woken() override;
    void progress(const ProgrammingStep &step) override;

private:
    std::shared_ptr<JobListener> m_frontEnd;  // used in the front end's thread only
    JobChannel m_channel;
};
