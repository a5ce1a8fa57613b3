// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/simulatedstation.h"

#include "sim/simulatedchip.h"

#include <QTimer>

using namespace Qt::StringLiterals;

SimulatedStation::SimulatedStation(QObject *parent)
    : QObject(parent), m_directory(QDir::tempPath() + u"/qv12-chip-XXXXXX"_s)
{
}

SimulatedStation::~SimulatedStation() = default;

QString SimulatedStation::devicePath() const
{
    return m_directory.filePath(u"simulated-chip"_s);
}

bool SimulatedStation::start(QString *error)
{
    if (!m_directory.isValid()) {
        *error = u"cannot create a folder for the simulated chip's link: %1"_s.arg(m_directory.errorString());
        return false;
    }
    return putChip(error);
}

bool SimulatedStation::putChip(QString *error)
{
    auto chip = std::make_unique<SimulatedChip>(Baud);
    if (!chip->isValid()) {
        *error = chip->errorString();
        return false;
    }
    if (!chip->createLink(devicePath(), error))
        return false;
    m_chip = std::move(chip);
    return true;
}

void SimulatedStation::replaceChip()
{
    m_chip.reset();  // its link goes with it
    ++m_pending;
    QTimer::singleShot(ArrivalPauseMs, Qt::PreciseTimer, this, [this] {
        --m_pending;
        if (m_pending == 0 && !m_chip) {
            QString ignored;
            putChip(&ignored);  // a chip that can't be made is one that never comes
        }
    });
}
