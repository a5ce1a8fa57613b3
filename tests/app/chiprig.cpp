#include "chiprig.h"

#include "app/portselectiondialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

double gapMs(const TranscriptEntry &from, const TranscriptEntry &to)
{
    return double(to.timeNs - from.timeNs) / 1e6;
}

QByteArray bytesFrom(const Transcript &transcript, int first)
{
    return transcript.bytes().mid(first);
}

void clickIn(QWidget *parent, const char *name)
{
    auto *button = parent->findChild<QAbstractButton *>(QLatin1String(name));
    if (!button)
        qFatal("No button named %s", name);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

ChipRig::ChipRig() : m_window(std::make_unique<TestWindow>())
{
    m_window->context.setUsesSystemPorts(false);
}

SimulatedChip &ChipRig::addChip(int port, int speed, SimulatedChip::Handshake handshake)
{
    m_chips.push_back(std::make_unique<SimulatedChip>(speed, handshake));
    m_chipPorts.push_back(port);
    SimulatedChip &chip = *m_chips.back();
    if (!chip.isValid())
        qFatal("The simulated chip could not start: %s", qPrintable(chip.errorString()));
    context().ports().assign(port, chip.devicePath());
    return chip;
}

SimulatedChip &ChipRig::addSilentPort(int port)
{
    SimulatedChip &chip = addChip(port, 9600);
    chip.setSilent(true);
    return chip;
}

SimulatedChip &ChipRig::chip(int port)
{
    for (size_t i = 0; i < m_chips.size(); ++i) {
        if (m_chipPorts[i] == port)
            return *m_chips[i];
    }
    qFatal("No chip on COM%d", port);
}

void ChipRig::onDialog(std::function<void(PortSelectionDialog &)> script)
{
    // Dies with the window: a script whose dialog never came must not act in a later test.
    auto *poll = new QTimer(&window());
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, script] {
        auto *dialog = qobject_cast<PortSelectionDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        script(*dialog);
        // Whatever the script did, the dialog must not stay open: the test would hang.
        if (dialog->isVisible() && !dialog->isDetecting())
            dialog->accept();
    });
    poll->start();
}

bool ChipRig::connect(int port, const QString &speed, int handshakeIndex)
{
    onDialog([port, speed, handshakeIndex](PortSelectionDialog &dialog) {
        const QByteArray name = "COM" + QByteArray::number(port);
        clickIn(&dialog, name.constData());
        auto *speeds = dialog.findChild<QComboBox *>(u"serialspeed"_s);
        speeds->setCurrentIndex(speeds->findText(speed));
        dialog.findChild<QComboBox *>(u"serialhandshakeconf"_s)->setCurrentIndex(handshakeIndex);
        clickIn(&dialog, "DetectSerialPrinter");
        clickIn(&dialog, "OKButton");
    });
    w().click("GetID");
    return connection().ChipFound && get("GetSettings")->isEnabled();
}

void ChipRig::whenReceived(SimulatedChip &chip, int count, std::function<void()> action)
{
    auto *connection = new QMetaObject::Connection;
    auto fired = std::make_shared<bool>(false);
    *connection = QObject::connect(&chip, &SimulatedChip::activity, &chip,
                                   [&chip, count, action, connection, fired] {
        if (*fired || chip.received().size() < count)
            return;
        *fired = true;
        QObject::disconnect(*connection);
        delete connection;
        action();
    });
}
