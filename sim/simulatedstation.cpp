// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/simulatedstation.h"

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

Result<void, QString> SimulatedStation::start()
{
    if (!m_directory.isValid())
        return Failure(u"cannot create a folder for the simulated chip's link: %1"_s.arg(m_directory.errorString()));
    return putChip();
}

Result<void, QString> SimulatedStation::putChip()
{
    auto chip = std::make_unique<SimulatedChip>(Baud);
    if (!chip->isValid())
        return Failure(chip->errorString());
    chip->setFaults(m_faults);
    if (const Result<void, QString> made = chip->createLink(devicePath()); !made)
        return made;
    m_chip = std::move(chip);
    return {};
}

void SimulatedStation::setChipFaults(const ChipFaults &faults)
{
    m_faults = faults;
    if (m_chip)
        m_chip->setFaults(faults);
}

void SimulatedStation::replaceChip()
{
    m_chip.reset();  // its link goes with it
    ++m_pending;
    QTimer::singleShot(ArrivalPauseMs, Qt::PreciseTimer, this, [this] {
        --m_pending;
        if (m_pending == 0 && !m_chip) {
            (void)putChip();  // a chip that can't be made is one that never comes
        }
    });
}
