// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Counts the opens of one device by anything in this process, Qt included: each open
// and close of a serial device raises and drops DTR and RTS on a real port.
namespace OpenCounter {

// Starts counting the opens of path from 0.
void watch(const QByteArray &path);
int opens();

} // namespace OpenCounter
