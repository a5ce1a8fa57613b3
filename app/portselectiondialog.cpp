// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/portselectiondialog.h"

#include "app/accessiblecaptions.h"
#include "app/appcontext.h"
#include "app/linkfailuretext.h"
#include "app/prompter.h"
#include "protocol/commands.h"
#include "protocol/detection.h"
#include "serial/portdetails.h"
#include "serial/portmap.h"

#include "ui_portselectiondialog.h"

#include <QCloseEvent>
#include <QLayout>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

constexpr int DefaultSpeed = 9600;
constexpr Handshake DefaultHandshake = Handshake::DsrDtr;

// The dialog's place and size, in twips (1/1440 inch).
constexpr int LeftTwips = 100;
constexpr int TopTwips = 100;
constexpr int WidthTwips = 4725;
constexpr int HeightTwips = 3850;

QChar portDigit(int port)
{
    return QChar(u'0' + port);
}

} // namespace

PortSelectionDialog::PortSelectionDialog(AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_ui(std::make_unique<Ui::PortSelectionDialogForm>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    m_ui->detectedPrinterLabel->setTextFormat(Qt::PlainText);
    nameByOwnCaptions(*this);

    connect(m_ui->detectButton, &QPushButton::clicked, this,
            &PortSelectionDialog::detectOnSelectedPort);
    connect(m_ui->autodetectButton, &QPushButton::clicked, this, &PortSelectionDialog::autodetect);
    connect(m_ui->okButton, &QPushButton::clicked, this, &PortSelectionDialog::finish);
}

PortSelectionDialog::~PortSelectionDialog() = default;

QRadioButton *PortSelectionDialog::portButton(int port) const
{
    const std::array<QRadioButton *, 6> buttons{m_ui->COM1, m_ui->COM2, m_ui->COM3,
                                                m_ui->COM4, m_ui->COM5, m_ui->COM6};
    if (port < PortMap::FirstPort || port > PortMap::LastPort)
        return nullptr;
    return buttons[size_t(port - PortMap::FirstPort)];
}

int PortSelectionDialog::selectedPort() const
{
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        if (portButton(port)->isChecked())
            return port;
    }
    return 0;
}

void PortSelectionDialog::runLoadSteps()
{
    m_context.connection().chipFound = false;

    placeAndSize();

    m_context.refreshPorts();
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        QRadioButton *button = portButton(port);
        button->setEnabled(m_context.ports().exists(port));
        // The device, and what tells it from the others: USB description, maker, serial
        // number and ids, or the program that holds it.
        const PortDetails details = PortDetails::of(m_context.ports(), port);
        const QString known = details.summary();
        button->setToolTip(details.device.isEmpty() ? tr("No serial device on COM%1").arg(port)
                           : known.isEmpty()        ? details.device
                                                    : details.device + u'\n' + known);
    }

    m_ui->speedBox->clear();
    for (const int speed : Commands::speedList())
        m_ui->speedBox->addItem(QString::number(speed), speed);
    m_ui->handshakeBox->clear();
    for (const Handshake handshake : {Handshake::XonXoff, Handshake::DsrDtr})
        m_ui->handshakeBox->addItem(handshakeDisplayName(handshake), QVariant::fromValue(handshake));

    m_ui->speedBox->setCurrentIndex(m_ui->speedBox->findData(DefaultSpeed));
    m_ui->handshakeBox->setCurrentIndex(m_ui->handshakeBox->findData(QVariant::fromValue(DefaultHandshake)));

    showResult(tr("No printer found yet, please start detection."));

    // An exclusive group keeps one button checked; lifted for the moment to clear it.
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        QRadioButton *button = portButton(port);
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
    // The group is one stop of the Tab key, on the button that last had it: with none
    // checked that may be a port that doesn't exist now, and Tab would pass the group by.
    // The stop goes to the first port that exists; the arrow keys reach the others.
    QRadioButton *tabStop = nullptr;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        QRadioButton *button = portButton(port);
        if (!tabStop && button->isEnabled())
            tabStop = button;
        button->setFocusPolicy(button == tabStop ? Qt::StrongFocus
                                                 : Qt::FocusPolicy(Qt::StrongFocus & ~Qt::TabFocus));
    }

    m_ui->autodetectButton->setFocus();
}

void PortSelectionDialog::placeAndSize()
{
    // Twips follow the screen's logical resolution; the contents may need more room at a
    // large font, never less.
    const QScreen *screen = this->screen();
    const qreal dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
    const qreal dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
    auto pixels = [](int twips, qreal dpi) { return qRound(twips * dpi / 1440.0); };

    layout()->activate();
    const QSize wanted(pixels(WidthTwips, dpiX), pixels(HeightTwips, dpiY));
    setFixedSize(wanted.expandedTo(layout()->totalMinimumSize()));
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    move(origin + QPoint(pixels(LeftTwips, dpiX), pixels(TopTwips, dpiY)));
}

void PortSelectionDialog::showResult(const QString &text)
{
    m_ui->detectedPrinterLabel->setText(text);
}

void PortSelectionDialog::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    m_ui->autodetectButton->setEnabled(!busy);
    m_ui->detectButton->setEnabled(!busy);
    m_ui->okButton->setEnabled(!busy);
}

QString PortSelectionDialog::storeResult(int port, int speed, const Detection::PortResult &result)
{
    ConnectionSettings &connection = m_context.connection();
    if (!result.found) {
        connection.chipFound = false;
        return tr("No printer found on COM %1 at %2 bauds").arg(QString(portDigit(port)), QString::number(speed));
    }
    m_ui->handshakeBox->setCurrentIndex(m_ui->handshakeBox->findData(QVariant::fromValue(result.handshake)));
    connection.handshake = result.handshake;
    connection.port = port;
    connection.speed = speed;
    connection.chipFound = true;
    return tr("%1 found on COM %2 at %3 bauds")
        .arg(Detection::chipName(result.identity), QString(portDigit(port)), QString::number(speed));
}

void PortSelectionDialog::beginDetection()
{
    m_detecting = true;
    setBusy(true);
}

void PortSelectionDialog::endDetection(const QList<LinkFailure> &failures,
                                       QString (*wording)(const QList<LinkFailure> &), QWidget *focus)
{
    setBusy(false);
    m_detecting = false;
    if (focus)
        focus->setFocus();
    if (!failures.isEmpty() && !m_context.chipWorker().isEnding())
        m_context.prompter().message(wording(failures), Prompter::Icon::Critical, Prompter::Buttons::Ok);
    emit detectionEnded();
}

void PortSelectionDialog::detectOnSelectedPort()
{
    Prompter &prompter = m_context.prompter();
    const int port = selectedPort();
    if (port == 0) {
        prompter.message(tr("You must select a serial port"), Prompter::Icon::Critical,
                         Prompter::Buttons::Ok);
        return;
    }
    if (!m_context.ports().exists(port)) {
        prompter.message(tr("This port does not exist"), Prompter::Icon::Critical,
                         Prompter::Buttons::Ok);
        return;
    }

    m_context.connection().chipFound = false;
    beginDetection();
    const int speed = m_ui->speedBox->currentData().toInt();
    const Handshake handshake = m_ui->handshakeBox->currentData().value<Handshake>();
    m_context.chipWorker().start(
        m_context.ports(), this,
        [port, speed, handshake](SerialLink &link, const JobChannel &) {
            return Detection::detectOnPort(link, port, speed, handshake);
        },
        [this, port, speed](const JobResult<Detection::PortResult> &result) {
            showResult(storeResult(port, speed, result.valueOr(Detection::PortResult())));
            endDetection(result ? QList<LinkFailure>() : result.error().failures, LinkFailureText::forAction);
        });
}

void PortSelectionDialog::autodetect()
{
    ConnectionSettings &connection = m_context.connection();

    beginDetection();
    connection.chipFound = false;
    m_context.refreshPorts();

    // The scan's steps come over from the worker as it makes them.
    m_context.chipWorker().start(
        m_context.ports(), this,
        [dialog = this](SerialLink &link, const JobChannel &channel) {
            Detection::ScanHooks hooks;
            hooks.attempting = [&channel, dialog](int port, int speed) {
                channel.notify([dialog, port, speed] {
                    dialog->showResult(PortSelectionDialog::tr("Attempting to contact printer on COM %1 at %2 bauds.")
                                           .arg(QString(portDigit(port)), QString::number(speed)));
                });
            };
            hooks.found = [&channel, dialog](int port, int speedIndex) {
                channel.notify([dialog, port, speedIndex] {
                    dialog->m_context.connection().chipFound = true;
                    dialog->m_ui->speedBox->setCurrentIndex(speedIndex);
                    dialog->portButton(port)->setChecked(true);
                });
            };
            return Detection::autodetect(link, hooks);
        },
        [this](const JobResult<Detection::AutodetectResult> &found) {
            if (found && found->scan.found) {
                showResult(storeResult(found->scan.port, found->scan.speed, found->identification));
            } else {
                showResult(tr("No printer found"));
                m_context.connection().chipFound = false;
            }
            // One message for the whole scan, naming every port it had to pass over.
            endDetection(found ? found->passedOver : found.error().failures, LinkFailureText::forScan,
                         m_ui->okButton);
        });
}

void PortSelectionDialog::finish()
{
    accept();
}

void PortSelectionDialog::reject()
{
    if (m_detecting)
        return;
    QDialog::reject();
}
