// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-bench-waits: how long the timed waits and the silence that ends a reply really
// last, what an idle wait costs in CPU, and where the reply bounds cut an endless stream.
#include "protocol/commands.h"
#include "serial/seriallink.h"
#include "sim/simulatedchip.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <time.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

qint64 cpuNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void report(const char *what, const std::vector<double> &ms, double nominal)
{
    double sum = 0;
    for (double v : ms)
        sum += v;
    const double mean = sum / double(ms.size());
    const double max = *std::max_element(ms.begin(), ms.end());
    const double min = *std::min_element(ms.begin(), ms.end());
    std::printf("%-34s n=%-3zu mean %8.2f ms  min %8.2f  max %8.2f  (nominal %g, mean error %+.2f)\n",
                what, ms.size(), mean, min, max, nominal, mean - nominal);
}

std::vector<double> measure(int runs, const std::function<double()> &once)
{
    std::vector<double> out;
    for (int i = 0; i < runs; ++i)
        out.push_back(once());
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    SimulatedChip chip(9600);
    SimulatedChip quiet(9600);
    quiet.setSilent(true);
    SimulatedChip fast(115200);
    SimulatedChip slow(1200);
    PortMap ports;
    ports.assign(1, chip.devicePath());
    ports.assign(2, quiet.devicePath());
    ports.assign(3, fast.devicePath());
    ports.assign(4, slow.devicePath());
    SerialLink link(ports);

    for (int ms : {10, 100}) {
        const auto times = measure(runs, [&] {
            QElapsedTimer clock;
            clock.start();
            link.pause(ms);
            return double(clock.nsecsElapsed()) / 1e6;
        });
        report(qPrintable(u"pause(%1)"_s.arg(ms)), times, ms);
    }

    link.open(2, 9600, Handshake::DsrDtr);
    report("readReply on silence (from call)", measure(runs, [&] {
        QElapsedTimer clock;
        clock.start();
        link.readReply();
        return double(clock.nsecsElapsed()) / 1e6;
    }), 500);
    link.close();

    link.open(1, 9600, Handshake::DsrDtr);
    report("readReply silence after last byte", measure(runs, [&] {
        chip.clearTranscript();
        link.send(Commands::identify());
        link.readReply();
        const qint64 end = SimulatedChip::nowNs();
        return double(end - chip.sent().entries().last().timeNs) / 1e6;
    }), 500);

    const qint64 cpuBefore = cpuNs();
    QElapsedTimer idle;
    idle.start();
    link.pause(2000);
    std::printf("%-34s %.2f ms CPU over %lld ms\n", "idle pause(2000)", double(cpuNs() - cpuBefore) / 1e6,
                idle.elapsed());
    const qint64 readCpu = cpuNs();
    link.send(Commands::identify());
    link.readReply();
    std::printf("%-34s %.2f ms CPU\n", "readReply of an identity", double(cpuNs() - readCpu) / 1e6);
    link.close();

    ChipFaults endless;
    endless.endlessStream = true;
    for (auto [port, target, speed] : {std::tuple{3, &fast, 115200}, std::tuple{4, &slow, 1200}}) {
        target->setFaults(endless);
        link.open(port, speed, Handshake::DsrDtr);
        link.send(Commands::identify());
        QElapsedTimer clock;
        clock.start();
        const QByteArray reply = link.readReply();
        std::printf("%-34s %lld bytes in %lld ms (bounds %d bytes, %d ms)\n",
                    qPrintable(u"endless stream at %1"_s.arg(speed)), qlonglong(reply.size()),
                    clock.elapsed(), SerialLink::MaxReplyBytes, SerialLink::MaxReplyMs);
        link.close();
        target->setFaults({});
    }
    return 0;
}
