// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/failurewords.h"

using namespace Qt::StringLiterals;

namespace FailureWords {

namespace {

QString remedy(const LinkFailure &failure)
{
    switch (failure.kind) {
    case LinkFailure::Kind::NoDevice:
        return u"check that the serial adapter is plugged in and that COM%1 is its number "
               "(qv12-chip ports lists them, --port N=DEVICE sets one)"_s.arg(failure.port);
    case LinkFailure::Kind::PermissionDenied:
        return u"add your user to the dialout group (sudo adduser $USER dialout) and log in again"_s;
    case LinkFailure::Kind::Busy:
        return u"close the program that holds the port, such as a terminal program or ModemManager, "
               "and try again"_s;
    case LinkFailure::Kind::Unplugged:
        return u"check the cable and the serial adapter, then run the command again"_s;
    case LinkFailure::Kind::Other:
        break;
    }
    return u"check the serial port and its settings"_s;
}

int weight(LinkFailure::Kind kind)
{
    switch (kind) {
    case LinkFailure::Kind::Unplugged:
        return 0;
    case LinkFailure::Kind::PermissionDenied:
    case LinkFailure::Kind::Busy:
        return 1;
    case LinkFailure::Kind::Other:
        return 2;
    case LinkFailure::Kind::NoDevice:
        break;
    }
    return 3;
}

} // namespace

QString line(const LinkFailure &failure)
{
    return failure.describe() + u"; "_s + remedy(failure);
}

LinkFailure principal(const QList<LinkFailure> &failures)
{
    LinkFailure best;
    int bestWeight = 100;
    for (const LinkFailure &failure : failures) {
        if (weight(failure.kind) < bestWeight) {
            best = failure;
            bestWeight = weight(failure.kind);
        }
    }
    return best;
}

QString portName(const PortMap &ports, int port)
{
    const QString device = ports.device(port);
    return device.isEmpty() ? u"COM%1 (no device)"_s.arg(port) : u"COM%1 (%2)"_s.arg(port).arg(device);
}

QString where(const PortMap &ports, int port, int speed)
{
    return u"%1 at %2 bauds"_s.arg(portName(ports, port), QString::number(speed));
}

} // namespace FailureWords
