// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

// Hands a web address or a mail link to the desktop (the default browser, the mail
// program). Windows open links only through it, so tests can record the targets
// instead of starting a browser.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // Whether the desktop managed to open it is not examined: a failure goes unreported.
    virtual void open(const QUrl &url) = 0;
};
