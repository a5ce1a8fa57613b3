#include "app/linkfailuretext.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace LinkFailureText {

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
        return u"another program is using it"_s;
    case LinkFailure::Kind::Unplugged:
        return u"the device went away during the exchange"_s;
    case LinkFailure::Kind::Other:
        break;
    }
    return failure.systemText.isEmpty() ? u"it cannot be opened"_s : failure.systemText;
}

// Each kind's remedy once, in the order the failures came.
QStringList remedies(const QList<LinkFailure> &failures)
{
    QStringList out;
    for (const LinkFailure &failure : failures) {
        const QString text = remedy(failure.kind);
        if (!text.isEmpty() && !out.contains(text))
            out.append(text);
    }
    return out;
}

// One line per port: the first failure says what happened (a device that went away
// during an exchange also fails to open afterwards).
QStringList lines(const QList<LinkFailure> &failures)
{
    QStringList out;
    QList<int> ports;
    for (const LinkFailure &failure : failures) {
        if (ports.contains(failure.port))
            continue;
        ports.append(failure.port);
        out.append(describe(failure));
    }
    return out;
}

} // namespace

QString describe(const LinkFailure &failure)
{
    return u"%1: %2"_s.arg(portName(failure), reason(failure));
}

QString remedy(LinkFailure::Kind kind)
{
    switch (kind) {
    case LinkFailure::Kind::NoDevice:
        return u"Check that the serial adapter is plugged in, then run the chipset detection again."_s;
    case LinkFailure::Kind::PermissionDenied:
        return u"Your user needs read and write access to the device: add it to the dialout "
               "group (sudo adduser $USER dialout) and log in again."_s;
    case LinkFailure::Kind::Busy:
        return u"Close the program that holds the port (a terminal program, or ModemManager, "
               "which probes new serial devices) and try again."_s;
    case LinkFailure::Kind::Unplugged:
        return u"Check the cable and the serial adapter, then run the chipset detection again."_s;
    case LinkFailure::Kind::Other:
        break;
    }
    return u"Check the serial port and its settings."_s;
}

QString forAction(const QList<LinkFailure> &failures)
{
    if (failures.isEmpty())
        return {};
    QStringList text;
    const QStringList described = lines(failures);
    text.append(described.size() == 1 ? u"The serial port could not be used, so the chip could not answer:"_s
                                       : u"The serial ports could not be used, so the chip could not answer:"_s);
    text += described;
    text.append(QString());
    text += remedies(failures);
    return text.join(u'\n');
}

QString forScan(const QList<LinkFailure> &failures)
{
    if (failures.isEmpty())
        return {};
    QStringList text;
    const QStringList described = lines(failures);
    text.append(described.size() == 1 ? u"The detection skipped a port that could not be opened:"_s
                                       : u"The detection skipped ports that could not be opened:"_s);
    text += described;
    text.append(QString());
    text += remedies(failures);
    return text.join(u'\n');
}

} // namespace LinkFailureText
