// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/urlopener.h"

// Opens links with the desktop's default applications (xdg-open on Linux).
class DesktopUrlOpener final : public UrlOpener
{
public:
    void open(const QUrl &url) override;
};
