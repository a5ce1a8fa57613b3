// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// What the About window's two rows, "Web:" and "Support:", show and open: the addresses
// the build was given, and where it was given none, places that are there, the manual's
// start page and its page on the support report. Never a made-up address.
struct AboutLinks
{
    struct Link
    {
        QString text;
        QUrl url;
    };
    Link web;
    Link support;

    // For these addresses (either may be empty), with the manual whose start page is
    // manualIndex.
    static AboutLinks make(const QString &webAddress, const QString &supportAddress, const QString &manualIndex);
    // For the addresses this build was configured with (QV12_WEB_ADDRESS, QV12_SUPPORT_ADDRESS).
    static AboutLinks ofBuild(const QString &manualIndex);
};
