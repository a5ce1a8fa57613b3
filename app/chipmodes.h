// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

// The two choices of the chipset column that decide what the editor lets the user change:
// the configuration mode (software: the editor's fields are written) and how the
// mechanism's identity is determined (by the user: the name box is written). Either may
// be unchosen.
struct ChipModes
{
    std::optional<bool> software;
    std::optional<bool> userIdentity;

    bool operator==(const ChipModes &) const = default;
};
