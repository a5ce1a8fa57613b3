// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutlinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

#ifndef QV12_WEB_ADDRESS
#define QV12_WEB_ADDRESS ""
#endif
#ifndef QV12_SUPPORT_ADDRESS
#define QV12_SUPPORT_ADDRESS ""
#endif

AboutLinks AboutLinks::make(const QString &webAddress, const QString &supportAddress, const QString &manualIndex)
{
    AboutLinks links;
    if (!webAddress.isEmpty()) {
        links.web = {webAddress, QUrl(webAddress)};
    } else {
        links.web = {QCoreApplication::translate("AboutLinks", "The user manual"), QUrl::fromLocalFile(manualIndex)};
    }
    if (!supportAddress.isEmpty()) {
        links.support = {supportAddress, QUrl(u"mailto:"_s + supportAddress)};
    } else {
        QUrl report = QUrl::fromLocalFile(QFileInfo(manualIndex).dir().filePath(u"traffic.html"_s));
        report.setFragment(u"report"_s);
        links.support = {QCoreApplication::translate("AboutLinks", "Sending a support report"), report};
    }
    return links;
}

AboutLinks AboutLinks::ofBuild(const QString &manualIndex)
{
    return make(QString::fromUtf8(QV12_WEB_ADDRESS), QString::fromUtf8(QV12_SUPPORT_ADDRESS), manualIndex);
}
