// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiprig.h"

#include "app/chippanel.h"
#include "app/portselectiondialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

bool sentWith(const QList<TranscriptEntry> &entries, int speed, int handshake)
{
    return std::all_of(entries.begin(), entries.end(), [&](const TranscriptEntry &e) {
        return (!speed || e.line.speed == speed) && e.line.xonXoff == (handshake == 1) && e.line.rtsCts == (handshake == 2);
    });
}

void clickIn(QWidget *parent, const char *name)
{
    auto *dialog = qobject_cast<PortSelectionDialog *>(parent);
    const bool wasDetecting = dialog && dialog->isDetecting();
    QTest::mouseClick(parent->findChild<QAbstractButton *>(QLatin1String(name)), Qt::LeftButton);  // at its centre
    if (dialog && !wasDetecting)
        waitFor(dialog, &PortSelectionDialog::detectionEnded, [dialog] { return !dialog->isDetecting(); });
}

ChipRig::ChipRig()
{
    context.setUsesSystemPorts(false);
}

SimulatedChip &ChipRig::addChip(int port, int speed)
{
    SimulatedChip &chip = *chips.emplace_back(std::make_unique<SimulatedChip>(speed));
    if (!chip.isValid())
        qFatal("The simulated chip could not start: %s", qPrintable(chip.errorString()));
    context.ports().assign(port, chip.devicePath());
    return chip;
}

QString ChipRig::connectionState()
{
    const ConnectionSettings &c = connection();
    return u"COM%1 %2 handshake %3 %4"_s.arg(c.port).arg(c.speed).arg(int(c.handshake))
        .arg(c.chipFound ? u"found"_s : u"not found"_s);
}

QString ChipRig::state(bool withFocus)
{
    QStringList enabled;
    for (const char *name : {"detectButton", "checkConfigurationButton", "configureChipsetButton", "sleepButton", "wakeUpButton", "resetButton"}) {
        if (get(name)->isEnabled())
            enabled << QLatin1String(name);
    }
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return enabled.join(u' ') + (cursor && cursor->shape() == Qt::WaitCursor ? u", busy"_s : QString())
        + (context.chipWorker().isPortOpen() ? u", port open"_s : QString())
        + (withFocus ? u", focus "_s + window().focusWidget()->objectName() : QString());
}

QPointer<QObject> ChipRig::onDialog(std::function<void(PortSelectionDialog &)> script)
{
    // Dies with the window: a script whose dialog never came must not act in a later test.
    auto *poll = new QTimer(&window());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, script] {
        if (auto *dialog = qobject_cast<PortSelectionDialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            script(*dialog);
            if (dialog->isVisible() && !dialog->isDetecting())  // left open, the test would wait for ever
                dialog->reject();
        }
    });
    poll->start(5);
    return poll;
}

bool ChipRig::connect(int port, const QString &speed)
{
    onDialog([=](PortSelectionDialog &dialog) {
        clickIn(&dialog, ("COM" + QByteArray::number(port)).constData());
        dialog.findChild<QComboBox *>(u"speedBox"_s)->setCurrentText(speed);
        clickIn(&dialog, "detectButton");
        clickIn(&dialog, "okButton");
    });
    click("detectButton");
    return connection().chipFound && get("checkConfigurationButton")->isEnabled();
}

void ChipRig::whenReceived(SimulatedChip &chip, int count, std::function<void()> action)
{
    auto *waiter = new QObject(&chip);
    QObject::connect(&chip, &SimulatedChip::activity, waiter, [&chip, count, action, waiter] {
        if (chip.received().size() < count)
            return;
        QObject::disconnect(&chip, nullptr, waiter, nullptr);
        // Behind what the program's worker sent this thread before that byte went out (it
        // is in the queue by now, the byte having left after it): the action sees the
        // window as it was when the chip got the byte, whenever this thread looked.
        QMetaObject::invokeMethod(waiter, [action, waiter] {
            waiter->deleteLater();
            action();
        }, Qt::QueuedConnection);
    });
}

void ChipRig::untilActionEnded(const std::function<void()> &action)
{
    ChipPanel &panel = window().chip();
    const bool wasBusy = panel.isBusy();
    action();
    if (!wasBusy)
        waitFor(&panel, &ChipPanel::actionEnded, [&panel] { return !panel.isBusy(); });
}

void ChipRig::click(const char *name)
{
    untilActionEnded([&] { TestWindow::click(name); });
}

void ChipRig::trigger(const char *actionName)
{
    untilActionEnded([&] { TestWindow::trigger(actionName); });
}
