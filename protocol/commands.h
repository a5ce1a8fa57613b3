// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

// The bytes of every command the program sends to the chip. There is no framing beyond
// the prefix: no length, terminator or checksum. A parameter byte goes out as that one
// byte, whatever its value.
namespace Commands {

inline constexpr char ESC = 27;
inline constexpr char GS = 29;
inline constexpr char CAN = 24;

QByteArray identify();                           // ESC "I"
QByteArray probe();                              // ESC "v"
QByteArray readSetting(quint8 setting);          // GS "Sf" n
QByteArray writeSetting(quint8 setting, quint8 value);  // GS "SF" n v
QByteArray readConfiguration();                  // GS "SC"
QByteArray readDetectedPolarity();               // GS "Sh"
QByteArray sleepCommand();                       // ESC "S"
QByteArray resetCommand();                       // ESC "@"
QByteArray cancelByte();                         // CAN
QByteArray wakeByte();                           // one NUL
QByteArray getOpto();                            // ESC GS "O"
QByteArray getAd();                              // ESC GS "A" (AdQueryLetter)

// The letter that follows ESC GS in the analogue (head temperature) query.
inline constexpr char AdQueryLetter = 'A';

// Chip settings the program uses.
inline constexpr quint8 SettingConfigurationMode = 6;
inline constexpr quint8 SettingConfigurationHigh = 7;
inline constexpr quint8 SettingConfigurationLow = 8;
inline constexpr quint8 SettingIdentityFirst = 9;    // 9..24, 16 characters
inline constexpr int IdentityLength = 16;
inline constexpr quint8 SettingSerial = 28;          // bits 0-2 speed code, bit 7 handshake

// The line speeds in bit/s, slowest first (1200 .. 115200).
const QList<int> &speedList();
// The chip's code for a speed (bits 0-2 of setting 28); 28800 shares 5 with 38400,
// any other speed gives 0.
int speedCode(int speed);
// The line speed a code stands for (5 reads as 38400); only bits 0-2 count.
int speedForCode(int code);

} // namespace Commands
