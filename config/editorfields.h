// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The editor's nine field values. -1 means "not defined" for the eight editable ones;
// PrinterMode is display-only and starts at 0.
struct EditorFields
{
    static constexpr qint16 Undefined = -1;

    qint16 PrinterMode = 0;             // 1 Chipset, 0 PNX
    qint16 LogicVoltage = Undefined;    // 1 5 V, 0 3.3 V
    qint16 Mechanism = Undefined;       // 1 Standard, 0 TAV
    qint16 MotorSteps = Undefined;      // 1 one step per dot line, 0 two
    qint16 MotorRotation = Undefined;   // 0 normal, 1 inverted
    qint16 HeadType = Undefined;        // 0 LV, 1 HS, 2 ST
    qint16 StrobePolarity = Undefined;  // 0 positive, 1 negative
    qint16 HeadWidth = Undefined;       // 0 1", 1 2" normal, 2 2" wide, 3 3", 4 4"
    qint16 HeadUpPolarity = Undefined;  // 0 normal, 1 inverted

    friend bool operator==(const EditorFields &, const EditorFields &) = default;
};
