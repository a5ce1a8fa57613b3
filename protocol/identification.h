// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/chipjob.h"

#include <QByteArray>

// Asking the chip found for its identity again, as the main window does after a
// detection: on the chip's port, ESC "I", 100 ms, then the reply until the line falls
// silent; the port closed again. The identity whole, as the chip sent it; empty when it
// was silent.
namespace Identification {

JobResult<QByteArray> identify(SerialLink &link, const ConnectionSettings &chip);

} // namespace Identification
