// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The production line's verdict in letters five lines high, readable from across the
// bench; green or red when colour is wanted (standard output is a terminal).
QString bigVerdict(bool passed, bool colour);
