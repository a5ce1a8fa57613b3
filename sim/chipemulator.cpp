// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chipemulator.h"

namespace {

constexpr quint8 ESC = 27;
constexpr quint8 GS = 29;
constexpr quint8 CAN = 24;

// The chip's own table: bits 0-2 of setting 28.
constexpr int CodeSpeeds[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

int codeForSpeed(int speed)
{
    if (speed == 28800)
        return 5;  // the firmware has no code of its own for it
    for (int code = 0; code < 8; ++code) {
        if (CodeSpeeds[code] == speed)
            return code;
    }
    return 3;
}

} // namespace

const QByteArray &ChipEmulator::firmwareText()
{
    static const QByteArray text("QV12 FW 2.07");
    return text;
}

ChipEmulator::ChipEmulator(int speed, bool dsrDtr)
{
    m_settings[6] = 1;
    m_settings[7] = 0xFC;
    m_settings[8] = 0x20;
    const QByteArray name("KT 610-ST");
    for (int i = 0; i < name.size(); ++i)
        m_settings[9 + i] = quint8(name.at(i));
    m_settings[9 + name.size()] = 0;
    m_speed = speed;
    m_settings[28] = quint8(codeForSpeed(speed) | (dsrDtr ? 0x80 : 0));
    restart();
}

void ChipEmulator::setLineSpeed(int speed)
{
    m_speed = speed;
    m_settings[28] = quint8((m_settings[28] & ~0x07) | codeForSpeed(speed));
}

void ChipEmulator::setDsrDtr(bool dsrDtr)
{
    m_settings[28] = quint8((m_settings[28] & 0x7F) | (dsrDtr ? 0x80 : 0));
}

bool ChipEmulator::isAsleep(qint64 nowMs) const
{
    return m_sleepAt && nowMs >= *m_sleepAt;
}

bool ChipEmulator::isRestarting(qint64 nowMs) const
{
    return m_restartUntil && nowMs < *m_restartUntil;
}

quint8 ChipEmulator::setting(int n) const
{
    return (n >= 0 && n < SettingCount) ? m_settings[size_t(n)] : 0;
}

void ChipEmulator::setSetting(int n, quint8 value)
{
    if (n >= 0 && n < SettingCount)
        m_settings[size_t(n)] = value;
}

QByteArray ChipEmulator::settings() const
{
    return QByteArray(reinterpret_cast<const char *>(m_settings.data()), SettingCount);
}

bool ChipEmulator::setSettings(const QByteArray &all)
{
    if (all.size() != SettingCount)
        return false;
    for (int i = 0; i < SettingCount; ++i)
        m_settings[size_t(i)] = quint8(all.at(i));
    return true;
}

void ChipEmulator::restart()
{
    m_configuration = m_settings[6] != 0 ? std::pair(m_settings[7], m_settings[8]) : m_strapped;
    const int code = m_settings[28] & 0x07;
    if (codeForSpeed(m_speed) != code)
        m_speed = CodeSpeeds[code];

    QByteArray name;
    if (m_settings[9] != 0) {
        for (int i = 0; i < 16 && m_settings[size_t(9 + i)] != 0; ++i)
            name.append(char(m_settings[size_t(9 + i)]));
    } else {
        name = automaticIdentity();
    }
    while (name.endsWith(' '))
        name.chop(1);
    if (isPnxMode()) {
        name = name.left(12);
        while (name.endsWith(' '))
            name.chop(1);
        name += " PNX";
    }
    m_identity = name.leftJustified(16, ' ', true) + firmwareText();

    m_state = State::Idle;
    m_sleepAt.reset();
}

QByteArray ChipEmulator::automaticIdentity() const
{
    // Named after what the configuration drives: head type, width and logic voltage.
    static const char *const heads[] = {"LV", "HS", "ST", "XX"};
    static const char *const widths[] = {"1IN", "2IN", "2INW", "3IN", "4IN", "5IN", "6IN", "7IN"};
    const quint8 a = m_configuration.first;
    const quint8 b = m_configuration.second;
    QByteArray text("AUTO ");
    text += heads[(a >> 1) & 0x03];
    text += ' ';
    text += widths[(b >> 5) & 0x07];
    text += (a & 0x40) ? " 5V" : " 3V3";
    return text;
}

QByteArray ChipEmulator::identity() const
{
    return m_identity;
}

std::pair<quint8, quint8> ChipEmulator::configuration() const
{
    return m_configuration;
}

void ChipEmulator::setStrappedConfiguration(quint8 first, quint8 second)
{
    m_strapped = {first, second};
}

void ChipEmulator::setFaults(const ChipFaults &faults)
{
    m_faults = faults;
    m_probes = 0;
}

QByteArray ChipEmulator::receive(const QByteArray &bytes, int lineSpeed, qint64 nowMs)
{
    QByteArray reply;
    for (char c : bytes)
        reply += receiveByte(quint8(c), lineSpeed, nowMs);
    return reply;
}

QByteArray ChipEmulator::receiveByte(quint8 byte, int lineSpeed, qint64 nowMs)
{
    if (m_faults.silent)
        return {};
    if (isAsleep(nowMs)) {
        // Any activity on the line wakes it, whatever the speed; the byte itself is lost.
        m_sleepAt.reset();
        m_state = State::Idle;
        return {};
    }
    if (lineSpeed != m_speed) {
        m_state = State::Idle;  // framing garbage: whatever was half received is gone
        return {};
    }
    if (isRestarting(nowMs))
        return {};
    m_restartUntil.reset();
    return command(byte, nowMs);
}

QByteArray ChipEmulator::command(quint8 byte, qint64 nowMs)
{
    // Parameter bytes are taken raw, whatever their value (setting 24, value 27...).
    switch (m_state) {
    case State::ReadNumber:
        m_state = State::Idle;
        m_replyDelayMs = m_faults.lateSettingMs.value(byte);
        return QByteArray(1, char(m_settings[byte]));
    case State::WriteNumber:
        m_number = byte;
        m_state = State::WriteValue;
        return {};
    case State::WriteValue: {
        m_state = State::Idle;
        m_settings[m_number] = byte | m_faults.stuckBits.value(m_number);
        ++m_settingsVersion;
        if (m_faults.noEcho.contains(m_number))
            return {};
        if (m_faults.wrongEcho.contains(m_number))
            return QByteArray(1, char(m_faults.wrongEcho.value(m_number)));
        return QByteArray(1, char(byte));
    }
    default:
        break;
    }

    if (byte == CAN) {
        m_state = State::Idle;
        return {};
    }

    switch (m_state) {
    case State::Idle:
        if (byte == ESC)
            m_state = State::Esc;
        else if (byte == GS)
            m_state = State::Gs;
        return {};  // anything else outside a command is ignored

    case State::Esc:
        m_state = State::Idle;
        switch (byte) {
        case ESC:
            m_state = State::Esc;
            return {};
        case GS:
            m_state = State::EscGs;
            return {};
        case 'I':
            if (m_faults.missedIdentityReplies > 0) {
                --m_faults.missedIdentityReplies;
                return {};
            }
            return m_faults.identityReply ? *m_faults.identityReply : m_identity;
        case 'v': {
            ++m_probes;
            const int count = m_probes >= m_faults.probeFaultFrom ? m_faults.probeReplyBytes : 1;
            return QByteArray(qMax(0, count), char(ProbeReply));
        }
        case 'S':
            m_sleepAt = nowMs + SleepDelayMs;
            return {};
        case '@':
            restart();
            m_restartUntil = nowMs + ResetPauseMs;
            return {};
        default:
            return {};
        }

    case State::EscGs:
        m_state = State::Idle;
        if (byte == 'O')
            return QByteArray(1, char(OptoReply));
        if (byte == AdQueryLetter)
            return QByteArray(1, char(AdReply));
        return {};

    case State::Gs:
        m_state = byte == 'S' ? State::GsS : State::Idle;
        if (byte == ESC)
            m_state = State::Esc;
        return {};

    case State::GsS:
        m_state = State::Idle;
        switch (byte) {
        case 'f':
            m_state = State::ReadNumber;
            return {};
        case 'F':
            m_state = State::WriteNumber;
            return {};
        case 'C': {
            QByteArray pair;
            pair.append(char(m_configuration.first)).append(char(m_configuration.second));
            const int length = m_faults.configReplyLength;
            if (length <= 2)
                return pair.left(qMax(0, length));
            QByteArray junk;
            for (int i = 0; i < length - 2; ++i)
                junk.append(char('A' + i));
            return junk + pair;
        }
        case 'h':
            return QByteArray(1, char(m_detectedPolarity));
        default:
            return {};
        }

    default:
        m_state = State::Idle;
        return {};
    }
}
