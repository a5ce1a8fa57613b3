// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/protocolfloor.h"

#include "protocol/commands.h"

#include <algorithm>
#include <cmath>

void ProtocolFloor::send(int bytes)
{
    m_lineOut = std::max(m_lineOut, m_t) + bytes * m_byteMs;
}

void ProtocolFloor::wait(double ms)
{
    m_t = std::max(m_t, m_lineOut) + ms;
}

void ProtocolFloor::reply(int bytes)
{
    m_replyIn = m_lineOut + bytes * m_byteMs;
}

void ProtocolFloor::readByte()
{
    if (m_t < m_replyIn)
        m_t += ProtocolTiming::PollMs * std::ceil((m_replyIn - m_t) / ProtocolTiming::PollMs);
}

void ProtocolFloor::readText()
{
    readByte();
    m_t += ProtocolTiming::SilentPolls * ProtocolTiming::PollMs;
}

void ProtocolFloor::close()
{
    m_t = std::max(m_t, m_lineOut);
}

namespace FloorSteps {

namespace {

constexpr int ReplyByte = 1;        // a probe's status, a setting's value or echo
constexpr int ConfigurationBytes = 2;

} // namespace

void wakeAll(ProtocolFloor &f, int ports, int wakeBaud, int baud)
{
    f.setSpeed(wakeBaud);
    for (int i = 0; i < ports; ++i) {
        f.openDirect();
        f.send(Commands::WakeByte());
        f.close();
    }
    f.wait(ProtocolTiming::WakeSettleMs);
    f.setSpeed(baud);
}

void probe(ProtocolFloor &f, bool answered)
{
    f.openDirect();
    f.send(Commands::Probe());
    if (!answered) {
        f.wait(ProtocolTiming::ProbeWaitMs);
        f.close();
        return;
    }
    f.reply(ReplyByte);
    f.wait(ProtocolTiming::ProbeWaitMs);
    f.send(Commands::CancelByte());
    f.wait(ProtocolTiming::ProbeWaitMs);
    f.send(Commands::Probe());
    f.reply(ReplyByte);
    f.wait(ProtocolTiming::ProbeWaitMs);
    f.close();
}

void detectOnPort(ProtocolFloor &f, int identityBytes)
{
    f.openDirect();
    f.send(Commands::Identify());
    f.reply(identityBytes);
    f.wait(ProtocolTiming::DetectionIdentifyWaitMs);
    f.send(Commands::Probe());
    f.reply(ReplyByte);
    f.wait(ProtocolTiming::ProbeWaitMs);
    f.send(Commands::ReadSetting(Commands::SettingSerial));
    f.reply(ReplyByte);
    f.wait(ProtocolTiming::ProbeWaitMs);
    f.send(Commands::CancelByte());
    f.close();
}

void sleep(ProtocolFloor &f)
{
    f.openPort();
    f.send(Commands::CancelByte());
    f.send(Commands::SleepCommand());
    f.wait(ProtocolTiming::SleepGapMs);
    f.send(Commands::CancelByte());
    f.close();
}

void reset(ProtocolFloor &f)
{
    f.openPort();
    f.send(Commands::ResetCommand());
    f.close();
}

void identify(ProtocolFloor &f, int identityBytes)
{
    f.openPort();
    f.send(Commands::Identify());
    f.reply(identityBytes);
    f.wait(ProtocolTiming::IdentifyWaitMs);
    f.readText();
    f.close();
}

void readConfiguration(ProtocolFloor &f, int identityBytes)
{
    f.openPort();
    for (const quint8 setting : {Commands::SettingConfigurationMode, Commands::SettingIdentityFirst}) {
        f.send(Commands::ReadSetting(setting));
        f.reply(ReplyByte);
        f.readByte();
    }
    f.send(Commands::ReadConfiguration());
    f.reply(ConfigurationBytes);
    f.readText();
    f.send(Commands::Identify());
    f.reply(identityBytes);
    f.readText();
    f.close();
}

void program(ProtocolFloor &f, int settings, int identityBytes)
{
    auto write = [&f] {
        f.send(Commands::WriteSetting(0, 0));
        f.reply(ReplyByte);
        f.readByte();
        f.wait(ProtocolTiming::WriteSettleMs);
    };
    f.openPort();
    f.send(Commands::ReadDetectedPolarity());
    f.reply(ReplyByte);
    f.readByte();
    for (int i = 0; i < 3; ++i)  // settings 6, 7, 8
        write();
    f.close();
    f.openPort();
    for (int i = 3; i < settings; ++i)  // the identity from setting 9
        write();
    f.close();
    reset(f);
    f.wait(ProtocolTiming::RestartPauseMs);
    identify(f, identityBytes);
}

void stationChip(ProtocolFloor &f, int settings, int identityBytes)
{
    detectOnPort(f, identityBytes);
    program(f, settings, identityBytes);
    readConfiguration(f, identityBytes);
}

double stationLine(int baud, int chips, int settings, int identityBytes, double arrivalPauseMs)
{
    ProtocolFloor f(baud);
    for (int chip = 0; chip < chips; ++chip) {
        if (chip > 0)
            f.wait(arrivalPauseMs);
        stationChip(f, settings, identityBytes);
    }
    return f.total();
}

} // namespace FloorSteps
