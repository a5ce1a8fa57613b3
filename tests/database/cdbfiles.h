// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tests/common/files.h"

// Database files for the tests, written out by hand: the golden files under tests/data and
// records built from their two 16-byte fields.

inline QByteArray golden(const char *name)
{
    return contents(QStringLiteral(QV12_TEST_DATA "/") + QLatin1StringView(name));
}

inline QByteArray header(int count)
{
    return "KLVPRINTERSCDB0" + QByteArray(1, char(count)) + "\r\n";
}

inline QByteArray record(QByteArrayView name, QByteArrayView word)
{
    if (name.size() != 16 || word.size() != 16)
        qFatal("record fields must have 16 bytes each");
    return name.toByteArray() + word.toByteArray() + "\r\n";
}
