// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip ports: what is behind each COM number, so that someone with three adapters
// can tell which is which. Opens nothing.
#include "serial/portdetails.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/commands.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/resultjson.h"
#include "sim/simulatedstation.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue hexId(const std::optional<quint16> &id)
{
    if (!id)
        return QJsonValue::Null;
    return u"%1"_s.arg(*id, 4, 16, QLatin1Char('0'));
}

QJsonObject describe(const PortDetails &d)
{
    return {{u"port"_s, d.port},
            {u"device"_s, d.device},
            {u"present"_s, d.present},
            {u"description"_s, orNull(d.description)},
            {u"manufacturer"_s, orNull(d.manufacturer)},
            {u"serial_number"_s, orNull(d.serialNumber)},
            {u"vendor_id"_s, hexId(d.vendorId)},
            {u"product_id"_s, hexId(d.productId)},
            {u"held_by"_s, d.heldBy ? QJsonValue(*d.heldBy) : QJsonValue(QJsonValue::Null)}};
}

} // namespace

namespace ChipCommands {

int ports(ChipSession &session)
{
    Console &console = session.console();
    QList<PortDetails> found;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        PortDetails details = PortDetails::of(session.ports(), port);
        if (!details.device.isEmpty())
            found.append(details);
    }
    if (found.isEmpty()) {
        console.note(QCoreApplication::translate("PortsCommand", "no serial ports; plug in the serial adapter, or give its device with --port N=DEVICE"));
        // For --json, one object all the same: no ports is a result too.
        console.result(ResultJson::head(session.options().commandName, std::nullopt));
    }

    qsizetype width = 0;
    for (const PortDetails &d : std::as_const(found))
        width = std::max(width, d.device.size());
    QString text;
    for (const PortDetails &d : std::as_const(found)) {
        QString about = d.present ? d.summary() : QCoreApplication::translate("PortsCommand", "not present");
        const SimulatedStation *station = session.station(d.port);
        if (station && d.device == station->devicePath())
            about = QCoreApplication::translate("PortsCommand", "simulated QV12 chip");
        text += u"COM%1  %2  %3"_s.arg(d.port).arg(d.device, -int(width)).arg(about).trimmed() + u'\n';
        console.result(ResultJson::merged(ResultJson::head(session.options().commandName, std::nullopt),
                                          describe(d)));
    }
    console.text(text);
    return int(ExitStatus::Success);
}

} // namespace ChipCommands
