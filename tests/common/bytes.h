// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <initializer_list>

// Bytes written as numbers, the way transcripts of the chip's line read: bytes({27, 'I'}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int value : values)
        out.append(char(quint8(value)));
    return out;
}
