// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>
#include <type_traits>

// The values of the editor's fields, each as the code it has in the configuration word.
// A word from a file may spell a code that has no name here (head type 3, head width 5
// to 7, a digit 2 where a 0 or 1 belongs): the field then holds that code as read, and
// no option shows it.
enum class PrinterMode : quint8 { Pnx = 0, Chipset = 1 };
enum class LogicVoltage : quint8 { Volts3_3 = 0, Volts5 = 1 };
enum class Mechanism : quint8 { Tav = 0, Standard = 1 };
enum class MotorSteps : quint8 { TwoPerDotLine = 0, OnePerDotLine = 1 };
enum class MotorRotation : quint8 { Normal = 0, Inverted = 1 };
enum class HeadType : quint8 { Lv = 0, Hs = 1, St = 2 };  // low voltage, high speed, standard
enum class StrobePolarity : quint8 { Positive = 0, Negative = 1 };
enum class HeadWidth : quint8 {
    OneInch = 0,        // 192 pixels
    TwoInchNormal = 1,  // 384 pixels
    TwoInchWide = 2,    // 448 pixels
    ThreeInch = 3,      // 576 pixels
    FourInch = 4,       // 832 pixels
};
enum class HeadUpPolarity : quint8 { Normal = 0, Inverted = 1 };

// The code a field value has in the word.
template<class Field>
constexpr int fieldCode(Field value)
{
    return int(static_cast<std::underlying_type_t<Field>>(value));
}

// The editor's nine field values. The eight editable ones start not defined (empty);
// the printer mode is display-only and starts at PNX.
struct EditorFields
{
    PrinterMode printerMode = PrinterMode::Pnx;
    std::optional<LogicVoltage> logicVoltage;
    std::optional<Mechanism> mechanism;
    std::optional<MotorSteps> motorSteps;
    std::optional<MotorRotation> motorRotation;
    std::optional<HeadType> headType;
    std::optional<StrobePolarity> strobePolarity;
    std::optional<HeadWidth> headWidth;
    std::optional<HeadUpPolarity> headUpPolarity;

    friend bool operator==(const EditorFields &, const EditorFields &) = default;
};
