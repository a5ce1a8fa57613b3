// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/linkfailuretext.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace LinkFailureText {

namespace {

// The first failure of each port says what happened there (a device that went away
// during an exchange also fails to open afterwards; that adds nothing).
QList<LinkFailure> firstPerPort(const QList<LinkFailure> &failures)
{
    QList<LinkFailure> out;
    for (const LinkFailure &failure : failures) {
        const bool seen = std::any_of(out.cbegin(), out.cend(),
                                      [&](const LinkFailure &f) { return f.port == failure.port; });
        if (!seen)
            out.append(failure);
    }
    return out;
}

// One line per port, then each kind's remedy once.
QString compose(const QString &single, const QString &several, const QList<LinkFailure> &failures)
{
    const QList<LinkFailure> shown = firstPerPort(failures);
    QStringList text{shown.size() == 1 ? single : several};
    for (const LinkFailure &failure : shown)
        text.append(describe(failure));
    text.append(QString());
    QStringList remedies;
    for (const LinkFailure &failure : shown) {
        const QString fix = remedy(failure.kind);
        if (!remedies.contains(fix))
            remedies.append(fix);
    }
    text += remedies;
    return text.join(u'\n');
}

} // namespace

QString describe(const LinkFailure &failure)
{
    return failure.describe();
}

QString remedy(LinkFailure::Kind kind)
{
    switch (kind) {
    case LinkFailure::Kind::NoDevice:
        return QCoreApplication::translate("LinkFailureText", "Check that the serial adapter is plugged in, then run the chipset detection again.");
    case LinkFailure::Kind::PermissionDenied:
        return QCoreApplication::translate("LinkFailureText", "Your user needs read and write access to the device: add it to the dialout "
                         "group (sudo adduser $USER dialout) and log in again.");
    case LinkFailure::Kind::Busy:
        return QCoreApplication::translate("LinkFailureText", "Close the program that holds the port (a terminal program, or ModemManager, "
                         "which probes new serial devices) and try again.");
    case LinkFailure::Kind::Unplugged:
        return QCoreApplication::translate("LinkFailureText", "Check the cable and the serial adapter, then run the chipset detection again.");
    case LinkFailure::Kind::Other:
        break;
    }
    return QCoreApplication::translate("LinkFailureText", "Check the serial port and its settings.");
}

QString forAction(const QList<LinkFailure> &failures)
{
    if (failures.isEmpty())
        return {};
    return compose(QCoreApplication::translate("LinkFailureText", "The serial port could not be used, so the chip could not answer:"),
                   QCoreApplication::translate("LinkFailureText", "The serial ports could not be used, so the chip could not answer:"), failures);
}

QString forScan(const QList<LinkFailure> &failures)
{
    if (failures.isEmpty())
        return {};
    return compose(QCoreApplication::translate("LinkFailureText", "The detection skipped a port that could not be opened:"),
                   QCoreApplication::translate("LinkFailureText", "The detection skipped ports that could not be opened:"), failures);
}

} // namespace LinkFailureText
