// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/linkfailure.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

QString portName(const LinkFailure &failure)
{
    if (failure.device.isEmpty())
        return QCoreApplication::translate("LinkFailure", "COM%1 (no device)").arg(failure.port);
    return QCoreApplication::translate("LinkFailure", "COM%1 (%2)").arg(failure.port).arg(failure.device);
}

QString reason(const LinkFailure &failure)
{
    switch (failure.kind) {
    case LinkFailure::Kind::NoDevice:
        return QCoreApplication::translate("LinkFailure", "the device is not there");
    case LinkFailure::Kind::PermissionDenied:
        return QCoreApplication::translate("LinkFailure", "permission denied");
    case LinkFailure::Kind::Busy:
        return failure.holder ? QCoreApplication::translate("LinkFailure", "held by another program (process %1)").arg(*failure.holder)
                              : QCoreApplication::translate("LinkFailure", "held by another program");
    case LinkFailure::Kind::Unplugged:
        return QCoreApplication::translate("LinkFailure", "the device went away during the exchange");
    case LinkFailure::Kind::Other:
        break;
    }
    return failure.systemText.isEmpty() ? QCoreApplication::translate("LinkFailure", "it cannot be opened") : failure.systemText;
}

} // namespace

QString LinkFailure::describe() const
{
    return u"%1: %2"_s.arg(portName(*this), reason(*this));
}
