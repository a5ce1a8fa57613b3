// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/chipfaults.h"

#include <QByteArray>

#include <array>
#include <optional>
#include <utility>

// The QV12 chip as seen from its serial line: its settings (an EEPROM of 256 bytes),
// the configuration and identity in force, and its answers to the command bytes. A
// plain class without threads or I/O: feed it the bytes received, with the line speed
// they came at and the time, and it gives the bytes it answers.
//
// Times are milliseconds on any steady clock; only differences count.
class ChipEmulator final
{
public:
    static constexpr int SettingCount = 256;
    static constexpr int ResetPauseMs = 300;    // deaf while it restarts after ESC "@"
    static constexpr int SleepDelayMs = 50;     // ESC "S": asleep once this has passed
    static constexpr quint8 ProbeReply = 0x01;  // status byte answered to ESC "v"
    static constexpr quint8 OptoReply = 0x01;   // ESC GS "O": paper sensor sees paper
    static constexpr quint8 AdReply = 0x80;     // ESC GS "A": head temperature reading
    static constexpr char AdQueryLetter = 'A';
    static const QByteArray &firmwareText();    // "QV12 FW 2.07", after the 16 characters

    // A chip in Software mode with the configuration 0xFC 0x20 ("1111110000100000") and
    // the user identity "KT 610-ST", listening at speed; dsrDtr is bit 7 of setting 28.
    explicit ChipEmulator(int speed = 9600, bool dsrDtr = true);

    // One received byte (or several, in order). lineSpeed is the speed the line is set
    // to: at any other speed than the chip's the byte is garbage to it.
    QByteArray receiveByte(quint8 byte, int lineSpeed, qint64 nowMs);
    QByteArray receive(const QByteArray &bytes, int lineSpeed, qint64 nowMs);

    // The speed it listens at; changed by setting 28 at a restart, or set directly.
    int speed() const { return m_speed; }
    void setLineSpeed(int speed);           // also writes the speed code into setting 28
    void setDsrDtr(bool dsrDtr);            // bit 7 of setting 28
    bool isAsleep(qint64 nowMs) const;
    bool isRestarting(qint64 nowMs) const;

    // The settings as stored. Written ones take effect for the identity, configuration
    // and speed at the next restart, as with an EEPROM.
    quint8 setting(int n) const;
    void setSetting(int n, quint8 value);
    QByteArray settings() const;
    bool setSettings(const QByteArray &all);  // exactly SettingCount bytes
    // Counts the writes through writeSetting, so that a host knows when to save.
    quint64 settingsVersion() const { return m_settingsVersion; }

    // Power cycle: wakes up with the stored settings in force.
    void restart();

    // In force since the last restart.
    QByteArray identity() const;                      // the answer to ESC "I"
    std::pair<quint8, quint8> configuration() const;  // the answer to GS "SC"
    bool isPnxMode() const { return (m_configuration.first & 0x80) == 0; }

    // The configuration strapped on the board, in force when setting 6 is 0.
    void setStrappedConfiguration(quint8 first, quint8 second);
    std::pair<quint8, quint8> strappedConfiguration() const { return m_strapped; }
    // The strobe polarity the hardware detects (0 positive, 1 negative): GS "Sh".
    void setDetectedPolarity(quint8 polarity) { m_detectedPolarity = polarity; }
    quint8 detectedPolarity() const { return m_detectedPolarity; }

    // Also restarts the count of probes that probeFaultFrom refers to.
    void setFaults(const ChipFaults &faults);
    const ChipFaults &faults() const { return m_faults; }
    // How long the reply just given is to be held back (lateSettingMs), once.
    int takeReplyDelayMs() { return std::exchange(m_replyDelayMs, 0); }

private:
    enum class State { Idle, Esc, EscGs, Gs, GsS, ReadNumber, WriteNumber, WriteValue };

    QByteArray command(quint8 byte, qint64 nowMs);
    QByteArray automaticIdentity() const;

    std::array<quint8, SettingCount> m_settings{};
    int m_speed = 9600;
    std::pair<quint8, quint8> m_configuration{0xFC, 0x20};
    std::pair<quint8, quint8> m_strapped{0xE4, 0x40};
    quint8 m_detectedPolarity = 0;
    QByteArray m_identity;
    State m_state = State::Idle;
    quint8 m_number = 0;
    std::optional<qint64> m_sleepAt;
    std::optional<qint64> m_restartUntil;
    ChipFaults m_faults;
    int m_probes = 0;
    int m_replyDelayMs = 0;
    quint64 m_settingsVersion = 0;
};
