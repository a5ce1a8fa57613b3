// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/handshake.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

const char *nameOf(Handshake handshake)
{
    switch (handshake) {
    case Handshake::XonXoff:
        return QT_TRANSLATE_NOOP("Handshake", "Xon-Xoff");
    case Handshake::DsrDtr:
        return QT_TRANSLATE_NOOP("Handshake", "DSR/DTR Mode");
    case Handshake::None:
        break;
    }
    return QT_TRANSLATE_NOOP("Handshake", "no handshake");
}

} // namespace

QString handshakeName(Handshake handshake)
{
    return QString::fromLatin1(nameOf(handshake));
}

QString handshakeDisplayName(Handshake handshake)
{
    return QCoreApplication::translate("Handshake", nameOf(handshake));
}

QString handshakeKey(Handshake handshake)
{
    switch (handshake) {
    case Handshake::XonXoff:
        return u"xon"_s;
    case Handshake::DsrDtr:
        return u"dtr"_s;
    case Handshake::None:
        break;
    }
    return {};
}

std::optional<Handshake> handshakeFromKey(QStringView key)
{
    if (key == u"xon")
        return Handshake::XonXoff;
    if (key == u"dtr")
        return Handshake::DsrDtr;
    return std::nullopt;
}
