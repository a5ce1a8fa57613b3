// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "sim/chipfaults.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class SimulatedChip;

// A simulated chip on a station (qv12-chip --simulate), behind a symbolic link that a
// COM number stands for. For the production line the station plays the operator too: once a chip's
// result is shown it is taken away (its device goes), and a fresh chip from the factory
// is put in after a short pause, behind the same link.
class SimulatedStation final : public QObject
{
    Q_OBJECT

public:
    static constexpr int Baud = 9600;
    static constexpr int ArrivalPauseMs = 500;  // from taking a chip away to the next one

    explicit SimulatedStation(QObject *parent = nullptr);
    ~SimulatedStation() override;

    // Makes the link and puts the first chip in; the reason when it can't.
    Result<void, QString> start();
    // The path the station's COM number is given.
    QString devicePath() const;

    // The chip is taken away now, and a fresh one put in after ArrivalPauseMs (while
    // events run).
    void replaceChip();
    // The chip in the socket and every one put in later have these faults: a batch of
    // chips that all fail the same way.
    void setChipFaults(const ChipFaults &faults);

private:
    Result<void, QString> putChip();

    QTemporaryDir m_directory;
    std::unique_ptr<SimulatedChip> m_chip;
    ChipFaults m_faults;
    int m_pending = 0;  // replacements asked for that have not yet come
};
