#pragma once

#include "sim/simulatedchip.h"
#include "testwindow.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class PortSelectionDialog;

// The bytes given, as a QByteArray (values 0 to 255).
QByteArray bytes(std::initializer_list<int> values);
// Gaps between consecutive entries of a transcript, in milliseconds.
double gapMs(const TranscriptEntry &from, const TranscriptEntry &to);
// The transcript's bytes from index first on.
QByteArray bytesFrom(const Transcript &transcript, int first);

// The main window with simulated chips behind its COM numbers, and nothing else: the
// system's own serial ports are left out, so every port the program sees is a test's.
class ChipRig
{
public:
    ChipRig();

    // A chip on COM port at speed; its setting 28 reports handshake.
    SimulatedChip &addChip(int port, int speed,
                           SimulatedChip::Handshake handshake = SimulatedChip::Handshake::DsrDtr);
    // A port with nothing behind it that answers.
    SimulatedChip &addSilentPort(int port);
    SimulatedChip &chip(int port);

    TestWindow &w() { return *m_window; }
    MainWindow &window() { return m_window->window(); }
    ScriptedPrompter &prompter() { return m_window->prompter; }
    AppContext &context() { return m_window->context; }
    ConnectionSettings &connection() { return m_window->context.connection(); }
    template<class T = QWidget>
    T *get(const char *name) const { return m_window->get<T>(name); }

    // Runs script on the port selection dialog as soon as it is shown modally (by
    // "Detect Chipset", "Detect a printer" or "Check configuration" without a chip).
    void onDialog(std::function<void(PortSelectionDialog &)> script);
    // "Detect Chipset" with a detection on port at speed with handshake list index,
    // then "OK". True when the main window ends connected.
    [[nodiscard]] bool connect(int port, const QString &speed, int handshakeIndex = 1);

    // Called when the chip's transcript has reached count received bytes, while the
    // program waits (for actions started from a wait).
    void whenReceived(SimulatedChip &chip, int count, std::function<void()> action);

private:
    std::vector<std::unique_ptr<SimulatedChip>> m_chips;  // outlive the window's link
    std::vector<int> m_chipPorts;
    std::unique_ptr<TestWindow> m_window;
};

// Helpers for the dialog, found by their names.
void clickIn(QWidget *parent, const char *name);
