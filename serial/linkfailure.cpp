// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/linkfailure.h"

using namespace Qt::StringLiterals;

namespace {

QString portName(const LinkFailure &failure)
{
    if (failure.device.isEmpty())
        return u"COM%1 (no device)"_s.arg(failure.port);
    return u"COM%1 (%2)"_s.arg(failure.port).arg(failure.device);
}

QString reason(const LinkFailure &failure)
{
    switch (failure.kind) {
    case LinkFailure::Kind::NoDevice:
        return u"the device is not there"_s;
    case LinkFailure::Kind::PermissionDenied:
        return u"permission denied"_s;
    case LinkFailure::Kind::Busy:
        return failure.holder ? u"held by another program (process %1)"_s.arg(*failure.holder)
                              : u"held by another program"_s;
    case LinkFailure::Kind::Unplugged:
        return u"the device went away during the exchange"_s;
    case LinkFailure::Kind::Other:
        break;
    }
    return failure.systemText.isEmpty() ? u"it cannot be opened"_s : failure.systemText;
}

} // namespace

QString LinkFailure::describe() const
{
    return u"%1: %2"_s.arg(portName(*this), reason(*this));
}
