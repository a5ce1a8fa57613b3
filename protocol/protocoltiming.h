// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/seriallink.h"

// Every wait of the chip protocol, in one place: the jobs wait these, and the benchmark
// builds its floors from them, so that a change here moves both.
namespace ProtocolTiming {

// The link's own: how a port settles and how a read polls.
inline constexpr int OpenSettleMs = SerialLink::SettleMs;     // after open
inline constexpr int PollMs = SerialLink::PollIntervalMs;     // a read looks this often...
inline constexpr int SilentPolls = SerialLink::SilentPolls;   // ...and gives up after these empty looks

// Detection.
inline constexpr int WakeSettleMs = 1000;            // after the last wake-up byte
inline constexpr int DetectionIdentifyWaitMs = 250;  // identity request during detection
inline constexpr int ProbeWaitMs = 100;              // after each probe, and after setting 28

// The exchanges of reading, programming and the power commands.
inline constexpr int IdentifyWaitMs = 100;   // between the identity request and the read
inline constexpr int WriteSettleMs = 100;    // after each written setting
inline constexpr int SleepGapMs = 10;        // between the sleep command and the last CAN
inline constexpr int RestartPauseMs = 1000;  // after the reset that ends programming

// The queries: each wait for data lasts at most this long.
inline constexpr int QueryTimeoutMs = 500;

} // namespace ProtocolTiming
