// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/identification.h"

#include "protocol/exchanges.h"

namespace Identification {

IdentityReading identify(SerialLink &link, const ConnectionSettings &chip)
{
    IdentityReading reading;
    if (!ChipJob::open(link, chip)) {
        reading.end = ChipJob::portEnd(link);
        return reading;
    }
    reading.identity = Exchanges::identify(link);
    if (!link.isOpen())
        reading.end = ChipJob::portEnd(link);
    link.ClosePort();
    return reading;
}

} // namespace Identification
