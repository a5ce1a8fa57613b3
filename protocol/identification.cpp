// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/identification.h"

#include "core/logging.h"
#include "protocol/exchanges.h"

namespace Identification {

JobResult<QByteArray> identify(SerialLink &link, const ConnectionSettings &chip)
{
    const Logging::JobScope job("identification");
    if (!ChipJob::open(link, chip))
        return Failure(ChipJob::stopped(link));
    const QByteArray identity = Exchanges::identify(link);
    if (!link.isOpen())
        return Failure(ChipJob::stopped(link));
    link.close();
    return identity;
}

} // namespace Identification
