// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "database/mechanismlist.h"

#include <QList>

// The 41 built-in mechanisms, in their order.
const QList<MechanismEntry> &defaultMechanisms();
// Appends the built-in mechanisms to list (it does not empty the list first).
void fillDefaultList(MechanismList &list);
