// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>
#include <memory>

class AppContext;
class QRadioButton;
struct LinkFailure;
namespace Detection { struct PortResult; }
namespace Ui { class PortSelectionDialogForm; }

// The modal dialog "Communication Port Selection" through which the chip is found: the
// user picks a port, speed and handshake and detects, or lets the dialog scan every
// port and speed. It is the only writer of ConnectionSettings. Load it afresh each time
// it is shown (runLoadSteps), then show it; ConnectionSettings holds the result once it is
// finished. A detection runs on the chip worker while the dialog goes on answering.
class PortSelectionDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PortSelectionDialog(AppContext &context, QWidget *parent = nullptr);
    ~PortSelectionDialog() override;

    // The load steps: no chip found, the window placed, the ports that exist enabled
    // (each button's tooltip names its device), the lists filled and preset, no port
    // selected.
    void runLoadSteps();

    // True while a detection runs; the dialog refuses to close meanwhile.
    bool isDetecting() const { return m_detecting; }
    // Busy: hourglass over the dialog and the three buttons disabled; the port buttons
    // and the lists stay usable.
    void setBusy(bool busy);

public slots:
    // Refused while a detection runs: the detection must not work on a closed dialog.
    void reject() override;

signals:
    // A detection has ended: its result is shown and stored, its message closed.
    void detectionEnded();

private slots:
    void detectOnSelectedPort();
    void autodetect();
    void finish();

private:
    // Starts a detection: busy, until its result has come and endDetection() runs.
    void beginDetection();
    // Not busy any more, focus on focus when given; then one message for the port
    // failures, unless the program is ending.
    void endDetection(const QList<LinkFailure> &failures, QString (*wording)(const QList<LinkFailure> &),
                      QWidget *focus = nullptr);
    // Stores the connection when the chip answered; the result line either way.
    QString storeResult(int port, int speed, const Detection::PortResult &result);
    // The number of the selected port button, 0 when none is.
    int selectedPort() const;
    QRadioButton *portButton(int port) const;
    void placeAndSize();
    void showResult(const QString &text);

    AppContext &m_context;
    std::unique_ptr<Ui::PortSelectionDialogForm> m_ui;
    bool m_detecting = false;
};
