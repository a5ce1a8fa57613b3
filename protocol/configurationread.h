// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reading how the chip is configured: its configuration mode (setting 6), how its
// identity is determined (setting 9), its configuration word and its identity, in that
// order on one open port. The listener hears each answer as it comes.
struct ConfigurationReading
{
    quint8 mode = 0;               // setting 6: 0 Hardware, else Software (0 also when silent)
    quint8 identityMethod = 0;     // setting 9: 0 Automatic, else User
    QByteArray configurationReply;
    std::optional<ConfigWord> word;  // from a reply of 2 or 4 bytes
    QByteArray identityReply;

    bool software() const { return mode != 0; }
    bool userIdentity() const { return identityMethod != 0; }
    // The mechanism identity the identity reply carries (first 16 characters, no "PNX").
    QString mechanismIdentity() const;
};

namespace ConfigurationRead {

JobResult<ConfigurationReading> read(SerialLink &link, const ConnectionSettings &chip, JobListener &listener);

} // namespace ConfigurationRead
