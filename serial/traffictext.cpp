// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/traffictext.h"

using namespace Qt::StringLiterals;

namespace TrafficText {

namespace {

constexpr int BytesPerLine = 16;

QString hexColumn(QByteArrayView bytes)
{
    QString hex;
    hex.reserve(BytesPerLine * 3);
    for (const char c : bytes) {
        if (!hex.isEmpty())
            hex += u' ';
        hex += u"%1"_s.arg(quint8(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return hex.leftJustified(BytesPerLine * 3 - 1);
}

QString printableColumn(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        text += (c >= 0x20 && c <= 0x7E) ? QChar(QLatin1Char(c)) : u'.';
    return text;
}

} // namespace

QString head(const TrafficEvent &event, qint64 originNs)
{
    return u"%1  COM%2 %3  "_s.arg(double(event.timeNs - originNs) / 1e6, 10, 'f', 3)
        .arg(event.port)
        .arg(QString::number(event.speed).leftJustified(6));
}

QStringList lines(const TrafficEvent &event, qint64 originNs)
{
    const QString head = TrafficText::head(event, originNs);
    switch (event.kind) {
    case TrafficEvent::Kind::Opened:
        return {head + u"opened "_s + event.device + u", "_s + handshakeName(event.handshake)};
    case TrafficEvent::Kind::OpenFailed:
        return {head + u"cannot open "_s + event.device + u": "_s + event.note};
    case TrafficEvent::Kind::Closed:
        return {head + u"closed"_s};
    case TrafficEvent::Kind::Lost:
        return {head + u"lost "_s + event.device + u": "_s + event.note};
    case TrafficEvent::Kind::Sent:
    case TrafficEvent::Kind::Received:
        break;
    }
    const QString arrow = event.kind == TrafficEvent::Kind::Sent ? u"-> "_s : u"<- "_s;
    QStringList out;
    const QByteArrayView all(event.bytes);
    for (qsizetype at = 0; at < all.size(); at += BytesPerLine) {
        const QByteArrayView part = all.sliced(at, qMin<qsizetype>(BytesPerLine, all.size() - at));
        QString line = head + arrow + hexColumn(part) + u"  "_s + printableColumn(part);
        if (!event.note.isEmpty())
            line = line.leftJustified(head.size() + 3 + BytesPerLine * 4 + 1) + u"  ("_s + event.note + u')';
        out.append(line);
    }
    return out;
}

QString format(const QList<TrafficEvent> &events, qint64 originNs)
{
    QString text;
    for (const TrafficEvent &event : events) {
        for (const QString &line : lines(event, originNs))
            text += line + u'\n';
    }
    return text;
}

} // namespace TrafficText
