// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>

class AppContext;
class QRadioButton;
namespace Detection { struct PortResult; }
namespace Ui { class PortSelection; }

// The modal dialog "Communication Port Selection" through which the chip is found: the
// user picks a port, speed and handshake and detects, or lets the dialog scan every
// port and speed. It is the only writer of ConnectionSettings. Load it afresh each time
// it is shown (Form_Load), then exec() it; ConnectionSettings holds the result.
class PortSelectionDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PortSelectionDialog(AppContext &context, QWidget *parent = nullptr);
    ~PortSelectionDialog() override;

    // The load steps: no chip found, the window placed, the ports that exist enabled
    // (each button's tooltip names its device), the lists filled and preset, no port
    // selected.
    void Form_Load();

    // Wakes a sleeping chip on every existing port and pauses a second. Needs no
    // dialog: the main window's "Wake up" calls it; ConnectionSettings is not touched.
    static void WakeupPrinter(AppContext &context);

    // True while a detection runs; the dialog refuses to close meanwhile.
    bool isDetecting() const { return m_detecting; }
    // Busy: hourglass over the dialog and the three buttons disabled; the port buttons
    // and the lists stay usable.
    void SetBusy(bool busy);

    Ui::PortSelection &form() const { return *m_ui; }

public slots:
    // Refused while a detection runs: the detection must not work on a closed dialog.
    void reject() override;

private slots:
    void DetectSerialPrinter_Click();
    void Autodetect_Click();
    void OKButton_Click();

private:
    // Identifies the chip on one port and speed; stores the connection when it answers.
    // Returns the result line.
    QString DetectOnPort(int port, const QString &speed, int handshakeIndex);
    // Stores the connection when the chip answered; the result line either way.
    QString storeResult(int port, const QString &speed, const Detection::PortResult &result);
    // The number of the selected port button, 0 when none is.
    int selectedPort() const;
    QRadioButton *portButton(int port) const;
    void placeAndSize();
    void showResult(const QString &text);

    AppContext &m_context;
    Ui::PortSelection *m_ui;
    bool m_detecting = false;
};
