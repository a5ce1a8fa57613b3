// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chipsim: a simulated QV12 chip behind a pseudo-terminal, for trying the
// configurator (or any other client) without hardware.
#include "sim/simulatedchip.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

QByteArray loadState(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool saveState(const QString &path, const QByteArray &settings)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(settings);
    return file.commit();
}

int speedFromCode(int code)
{
    static constexpr int speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return speeds[code & 7];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"qv12-chipsim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"A simulated QV12 chip on a pseudo-terminal. It answers at its own line speed, "
        "8N1, until SIGINT or SIGTERM."_s);
    parser.addHelpOption();
    const QCommandLineOption speedOption(u"speed"_s, u"Line speed of the chip (default 9600)."_s, u"BAUD"_s);
    const QCommandLineOption linkOption(u"link"_s, u"Make PATH a link to the pseudo-terminal."_s, u"PATH"_s);
    const QCommandLineOption handshakeOption(
        u"handshake"_s, u"What the chip reports in setting 28: xon or dtr (default dtr)."_s, u"MODE"_s);
    const QCommandLineOption stateOption(
        u"state"_s, u"Keep the chip's settings in FILE between runs."_s, u"FILE"_s);
    parser.addOptions({speedOption, linkOption, handshakeOption, stateOption});
    parser.process(app);

    auto fail = [](const QString &text) {
        std::fprintf(stderr, "qv12-chipsim: %s\n", qPrintable(text));
        return 2;
    };

    const QString statePath = parser.value(stateOption);
    QByteArray state;
    if (!statePath.isEmpty() && QFile::exists(statePath)) {
        state = loadState(statePath);
        if (state.size() != ChipEmulator::SettingCount)
            return fail(u"%1 is not a chip state file (%2 bytes expected)"_s.arg(statePath).arg(ChipEmulator::SettingCount));
    }

    // The command line wins; otherwise a saved state's setting 28; otherwise 9600, dtr.
    int speed = 9600;
    bool dsrDtr = true;
    if (!state.isEmpty()) {
        speed = speedFromCode(quint8(state.at(28)));
        dsrDtr = (quint8(state.at(28)) & 0x80) != 0;
    }
    if (parser.isSet(speedOption)) {
        bool ok = false;
        speed = parser.value(speedOption).toInt(&ok);
        if (!ok || speed <= 0)
            return fail(u"--speed wants a positive number of bauds, not \"%1\""_s.arg(parser.value(speedOption)));
    }
    if (parser.isSet(handshakeOption)) {
        const QString mode = parser.value(handshakeOption);
        if (mode == u"xon"_s)
            dsrDtr = false;
        else if (mode == u"dtr"_s)
            dsrDtr = true;
        else
            return fail(u"--handshake is xon or dtr, not \"%1\""_s.arg(mode));
    }

    SimulatedChip chip(speed, dsrDtr ? SimulatedChip::Handshake::DsrDtr : SimulatedChip::Handshake::XonXoff);
    if (!chip.isValid())
        return fail(chip.errorString());
    if (!state.isEmpty()) {
        chip.access([&](ChipEmulator &emulator) {
            emulator.setSettings(state);
            emulator.setLineSpeed(speed);
            emulator.setDsrDtr(dsrDtr);
            emulator.restart();
        });
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return fail(u"cannot set up signal handling"_s);
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    const QString link = parser.value(linkOption);
    if (!link.isEmpty()) {
        if (const Result<void, QString> made = chip.createLink(link); !made)
            return fail(made.error());
    }
    if (!statePath.isEmpty()) {
        QObject::connect(&chip, &SimulatedChip::settingsChanged, &app,
                         [&] { saveState(statePath, chip.settings()); });
        saveState(statePath, chip.settings());
    }

    const QString where = link.isEmpty() ? chip.devicePath() : u"%1 -> %2"_s.arg(link, chip.devicePath());
    std::printf("qv12-chipsim: COM link %s at %d bauds\n", qPrintable(where), speed);
    std::fflush(stdout);

    const int status = QCoreApplication::exec();
    if (!statePath.isEmpty())
        saveState(statePath, chip.settings());
    chip.removeLink();
    return status;
}
