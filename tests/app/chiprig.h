// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/simulatedchip.h"
#include "testwindow.h"
#include "tests/common/bytes.h"
#include "tests/common/traffic.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class PortSelectionDialog;

// The chip buttons of the main window when all are enabled, as ChipRig::state() lists them.
inline const QString AllChipButtons = QStringLiteral("detectButton checkConfigurationButton configureChipsetButton sleepButton wakeUpButton resetButton");

// True when every entry crossed the line at speed (any for 0) with handshake code 0, 1 or 2.
bool sentWith(const QList<TranscriptEntry> &entries, int speed, int handshake);
// A click on the button of that name in parent; one that starts a detection in the port
// selection dialog returns when the detection has ended.
void clickIn(QWidget *parent, const char *name);
// Runs events until finished() holds, checked at each emission of signal by sender.
template<class Sender, class Signal>
void waitFor(const Sender *sender, Signal signal, const std::function<bool()> &finished)
{
    if (finished())
        return;
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, [&] {
        if (finished())
            loop.quit();
    });
    QTimer::singleShot(90000, &loop, &QEventLoop::quit);  // a test that hangs fails at its timeout instead
    loop.exec();
}

// A base of ChipRig so that the chips outlive the window's serial link.
struct SimulatedChips
{
    std::vector<std::unique_ptr<SimulatedChip>> chips;
};

// The main window with simulated chips behind its COM numbers and none of the system's
// own serial ports, so that every port the program sees is a test's.
class ChipRig final : private SimulatedChips, public TestWindow
{
public:
    ChipRig();

    SimulatedChip &addChip(int port, int speed);
    // What the program sent, as its links recorded it (port 0: on every port).
    QList<TrafficEvent> sent(int port = 0) { return sentEvents(context.traffic(), port); }
    ConnectionSettings &connection() { return context.connection(); }
    // ConnectionSettings in one line: "COM2 9600 handshake 2 found".
    QString connectionState();
    // The enabled chip buttons of the main window, then ", busy" while the hourglass
    // shows, ", port open" while the port is open, and on request which control has the focus.
    QString state(bool withFocus = false);

    // Runs script on the port selection dialog as soon as the main window shows it; to
    // stop waiting, delete what this returns.
    QPointer<QObject> onDialog(std::function<void(PortSelectionDialog &)> script);
    // "Detect Chipset", a detection in the dialog on port at speed with "DSR/DTR Mode",
    // then "OK". True when the main window ends with a chip found.
    [[nodiscard]] bool connect(int port, const QString &speed);
    // Runs action once, while the program waits for the chip, when chip has received
    // count bytes: after what the program had told the window by then.
    void whenReceived(SimulatedChip &chip, int count, std::function<void()> action);

    // A click, or a menu entry, as the user gives it; one that starts a chip action
    // returns once the action has ended.
    void click(const char *name);
    void trigger(const char *actionName);

    // Runs job on the window's chip worker and returns its result once it has come.
    template<class Job>
    auto runJob(Job job)
    {
        using Outcome = std::decay_t<std::invoke_result_t<Job &, SerialLink &, const JobChannel &>>;
        std::optional<Outcome> result;
        QObject receiver;
        context.chipWorker().start(context.ports(), &receiver, std::move(job),
                                   [&result](Outcome outcome) { result = std::move(outcome); });
        waitFor(&context.chipWorker(), &ChipWorker::idle, [&] { return result.has_value(); });
        return std::move(*result);
    }

private:
    // Runs action, then waits for the chip action it started, if it started one.
    void untilActionEnded(const std::function<void()> &action);
};
