// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/supportreport.h"

#include "config/wordmeaning.h"
#include "serial/portdetails.h"
#include "serial/portmap.h"
#include "serial/trafficrecord.h"
#include "serial/traffictext.h"

#include <QDateTime>
#include <QStorageInfo>
#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace SupportReport {

namespace {

QString line(const QString &label, const QString &value)
{
    return u"%1%2\n"_s.arg(label + u':', -14).arg(value);
}

QString lockFiles()
{
    const QString directory = SerialLocks::directory();
    if (directory.isEmpty())
        return u"no directory for them"_s;
    const QStorageInfo storage(directory);
    return storage.isValid() ? u"%1 (%2)"_s.arg(directory, QString::fromLatin1(storage.fileSystemType()))
                             : directory;
}

QString portLine(const PortMap &ports, int port)
{
    const PortDetails details = PortDetails::of(ports, port);
    if (details.device.isEmpty())
        return u"  COM%1  -\n"_s.arg(port);
    QString text = u"  COM%1  %2  %3"_s.arg(port).arg(details.device).arg(details.present ? u"present"_s : u"absent"_s);
    const QString known = details.summary();
    if (!known.isEmpty())
        text += u"  "_s + known;
    return text + u'\n';
}

QString connection(const ConnectionSettings &c)
{
    if (c.port == 0)
        return u"no chip found yet"_s;
    return u"COM%1 at %2 bauds, %3, %4"_s.arg(c.port).arg(QString::number(c.speed), handshakeName(c.handshake),
        c.chipFound ? u"chip found"_s : u"no chip found now"_s);
}

} // namespace

QString compose(const SupportReportInput &input)
{
    QString text = u"QV12 Configurator support report\n\n"_s;
    text += line(u"Written"_s, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    text += line(u"Program"_s, input.program);
    text += line(u"Qt"_s, u"%1 (built with %2)"_s.arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR)));
    text += line(u"System"_s, u"%1, %2 %3, %4"_s.arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(),
                                                     QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture()));
    text += line(u"Lock files"_s, lockFiles());

    text += u"\nSerial ports\n"_s;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port)
        text += portLine(input.ports, port);

    text += u"\nConnection\n"_s;
    text += u"  "_s + connection(input.connection) + u'\n';
    text += u"  Identity: "_s + (input.identity.isEmpty() ? u"none"_s : escapeControls(input.identity)) + u'\n';

    const QList<TrafficEvent> events = input.traffic.events();
    text += u"\nTraffic: the last %1 events, times in ms since the program started\n"_s.arg(events.size());
    text += TrafficText::format(events, input.traffic.originNs());
    return text;
}

} // namespace SupportReport
