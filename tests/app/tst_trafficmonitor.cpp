// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiprig.h"

#include "app/portselectiondialog.h"
#include "app/trafficwindow.h"
#include "serial/portdetails.h"
#include "serial/seriallink.h"
#include "serial/traffictext.h"
#include "tests/common/files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <unistd.h>

using namespace Qt::StringLiterals;

// Each case names only the faults it switches on.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

Prompter::FileRequest textFile(const QString &title)
{
    Prompter::FileRequest request;
    request.style = Prompter::FileRequest::Style::Save;
    request.title = title;
    request.filter = u"Text files (*.txt)"_s;
    request.defaultExtension = u"txt"_s;
    request.overwritePrompt = true;
    return request;
}

// A click as the window system delivers it: queued, handled when the event loop gets to it.
void postClick(QWidget *button)
{
    const QPointF at = QPointF(button->rect().center());
    const QPointF global = QPointF(button->mapToGlobal(button->rect().center()));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

struct Monitor
{
    explicit Monitor(ChipRig &rig)
    {
        rig.trigger("trafficMonitorAction");
        window = rig.window().trafficWindow();
        if (!window)
            qFatal("No traffic monitor");
        view = window->findChild<QPlainTextEdit *>(u"trafficText"_s);
    }
    QString text() const { return view->toPlainText(); }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    TrafficWindow *window;
    QPlainTextEdit *view;
};

} // namespace

// The traffic monitor, the support report and what the port buttons tell of their devices.
class TestTrafficMonitor final : public QObject
{
    Q_OBJECT

private slots:
    void recordMatchesTheChipsTranscript();
    void followsTheLine();
    void answersDuringFlood();
    void supportReport();
    void portTooltips();
    void deleteShownInHex();
};

// Every byte each way, with the line it crossed: "1B@19200/2".
QStringList crossings(const QList<TrafficEvent> &events)
{
    QStringList out;
    for (const TrafficEvent &e : events) {
        for (const char byte : e.bytes)
            out << u"%1@%2/%3"_s.arg(quint8(byte), 2, 16, QLatin1Char('0')).arg(e.speed).arg(int(e.handshake));
    }
    return out;
}

QStringList crossings(const QList<TranscriptEntry> &entries)
{
    QStringList out;
    for (const TranscriptEntry &e : entries) {
        out << u"%1@%2/%3"_s.arg(e.byte, 2, 16, QLatin1Char('0')).arg(e.line.speed)
                   .arg(e.line.rtsCts ? 2 : e.line.xonXoff ? 1 : 0);
    }
    return out;
}

// After a detection, a configuration read and a programming run, the program's record
// holds exactly what the chip received and sent, byte for byte, with the line speeds.
void TestTrafficMonitor::recordMatchesTheChipsTranscript()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 19200);
    QVERIFY(rig.connect(1, u"19200"_s));
    rig.click("checkConfigurationButton");  // Software, User "KT 610-ST", the chip's own configuration
    rig.click("configureChipsetButton");
    QTRY_VERIFY(chip.received().bytes().endsWith(bytes({27, 64, 27, 73})));
    const TrafficRecord &record = rig.context.traffic();
    QTRY_COMPARE(crossings(eventsOf(record, TrafficEvent::Kind::Received)), crossings(chip.sent().entries()));
    QCOMPARE(crossings(sentEvents(record)), crossings(chip.received().entries()));
    QCOMPARE(sentEvents(record).size(), 4 + 1 + 4 + 1 + 3 + 10 + 2);  // settings 6-8, then 9-18
}

// Opens once; shows what went before, fills while an action runs; Clear, Pause and Save
// as... do what they say; the file holds the record's text form.
void TestTrafficMonitor::followsTheLine()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    QVERIFY(rig.connect(1, u"115200"_s));
    const TrafficRecord &record = rig.context.traffic();
    Monitor monitor(rig);
    QVERIFY(monitor.window->isVisible() && !monitor.window->isModal());
    rig.trigger("trafficMonitorAction");
    QCOMPARE(rig.window().trafficWindow(), monitor.window);
    QCOMPARE(monitor.view->textInteractionFlags() & Qt::TextEditable, 0);
    QCOMPARE(monitor.text() + u'\n', TrafficText::format(record.events(), record.originNs()));
    QVERIFY(monitor.text().contains(u"  COM1 115200  -> 1B 49 "_s));

    // While "Check configuration" waits for the silence after the configuration, its
    // request and answer are on show.
    QString during;
    const int before = chip.received().size();
    rig.whenReceived(chip, before + 11, [&] {
        QTimer::singleShot(300, &rig.window(), [&] { during = monitor.text() + rig.state(); });
    });
    rig.click("checkConfigurationButton");
    QVERIFY2(during.contains(u"-> 1D 53 43  "_s) && during.contains(u"<- FC 20  "_s) && during.endsWith(u", busy, port open"_s),
             qPrintable(during));

    monitor.button("clearButton")->click();
    QCOMPARE(monitor.text(), QString());
    monitor.button("pauseButton")->click();
    rig.click("resetButton");
    QTRY_VERIFY(record.events().last().kind == TrafficEvent::Kind::Closed);
    QTest::qWait(3 * TrafficWindow::BatchMs);  // batches would have come meanwhile
    QCOMPARE(monitor.text(), QString());
    monitor.button("pauseButton")->click();  // what came meanwhile, at once
    const QString reset = monitor.text();
    const QString line = uR"( +\d+\.\d{3}  COM1 115200  )"_s;
    const QRegularExpression shape(u"^%1opened %2, DSR/DTR Mode\n%1-> 1B 40 {42}  \\.@\n%1closed$"_s
                                       .arg(line, QRegularExpression::escape(chip.devicePath())));
    QVERIFY2(shape.match(reset).hasMatch(), qPrintable(reset));

    const QString path = rig.path(u"traffic.txt"_s);
    rig.prompter.expectFile(textFile(u"Save traffic record as..."_s), path);
    monitor.button("saveButton")->click();
    QCOMPARE(contents(path), (reset + u'\n').toUtf8());
    // A file that can't be written says so and stays as it was.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    rig.prompter.expectFile(textFile(u"Save traffic record as..."_s), path);
    rig.prompter.expectMessage(u"Couldn't write file <%1> !\nThe file is read-only."_s.arg(path));
    monitor.button("saveButton")->click();
    QCOMPARE(contents(path), (reset + u'\n').toUtf8());
    // Nor is a FIFO replaced by a file.
    const QString fifo = rig.path(u"traffic-fifo"_s);
    QVERIFY(makeFifo(fifo));
    rig.prompter.expectFile(textFile(u"Save traffic record as..."_s), fifo);
    rig.prompter.expectMessage(u"Couldn't write file <%1> !\nit is a FIFO, not a regular file"_s.arg(fifo));
    monitor.button("saveButton")->click();
    QCOMPARE(fileType(fifo), mode_t(S_IFIFO));

    // Closing the main window closes the monitor.
    QPointer<TrafficWindow> open = monitor.window;
    QVERIFY(rig.window().close());
    QTRY_VERIFY(open.isNull());
}

// 8000 bytes at the line's full rate: the window appends in batches, and a click posted
// in the middle of it is handled within 100 ms. Scrolled up, the view stays where it is.
void TestTrafficMonitor::answersDuringFlood()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 115200);
    Monitor monitor(rig);
    QPushButton *pause = monitor.button("pauseButton");
    QElapsedTimer clock;
    clock.start();
    qint64 postedAt = -1;
    QList<qint64> latencies;
    connect(pause, &QPushButton::clicked, this, [&] {
        latencies.append(clock.elapsed() - postedAt);
        postedAt = -1;
    });
    QTimer clicks;
    clicks.setInterval(50);
    connect(&clicks, &QTimer::timeout, this, [&] {
        if (postedAt < 0) {
            postedAt = clock.elapsed();
            postClick(pause);
        }
    });

    // The flood read on the window's chip worker, as its jobs read; the clicks begin once
    // the request is out.
    chip.setFaults({.endlessStream = true});
    const QByteArray flood = rig.runJob([&clicks](SerialLink &link, const JobChannel &channel) {
        link.setReplyBounds(8000, 10000);
        if (!link.open(1, 115200, Handshake::DsrDtr))
            return QByteArray("not opened");
        link.send(bytes({27, 73}));
        channel.notify([&clicks] { clicks.start(); });
        const QByteArray read = link.readReply();
        link.close();
        link.setReplyBounds(SerialLink::MaxReplyBytes, SerialLink::MaxReplyMs);
        return read;
    });
    clicks.stop();
    chip.setFaults({});
    QCOMPARE(flood.size(), 8000);
    QVERIFY2(latencies.size() >= 5, qPrintable(QString::number(latencies.size())));
    QStringList handled;
    for (qint64 latency : latencies)
        handled << QString::number(latency);
    QVERIFY2(*std::max_element(latencies.begin(), latencies.end()) < 100,
             qPrintable(u"clicks handled after "_s + handled.join(u", "_s) + u" ms"_s));

    QTRY_VERIFY(postedAt < 0);  // the last click handled too
    if (pause->isChecked())
        pause->click();
    QTRY_COMPARE(monitor.text().count(u"  <- "_s), int(TrafficText::format(eventsOf(rig.context.traffic(), TrafficEvent::Kind::Received), 0).count(u'\n')));
    // Scrolled up, the view stays; at the end again, it follows.
    auto reset = [&] {
        QVERIFY(rig.runJob([](SerialLink &link, const JobChannel &) {
            if (!link.open(1, 115200, Handshake::DsrDtr))
                return false;
            link.send(bytes({27, 64}));
            link.close();
            return true;
        }));
    };
    QScrollBar *bar = monitor.view->verticalScrollBar();
    bar->setValue(0);
    const int max = bar->maximum();
    reset();
    QTRY_VERIFY(bar->maximum() > max);
    QCOMPARE(bar->value(), 0);
    bar->setValue(bar->maximum());
    reset();
    QTRY_VERIFY(monitor.text().endsWith(u"closed"_s) && monitor.text().count(u"-> 1B 40"_s) == 2);
    QCOMPARE(bar->value(), bar->maximum());
}

// The support report: versions, system, the ports, the lock files, the connection and
// identity, the traffic; nothing of the user's databases.
void TestTrafficMonitor::supportReport()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(2, 9600);
    QVERIFY(rig.connect(2, u"9600"_s));
    const QString path = rig.path(u"report.txt"_s);
    rig.prompter.expectFile(textFile(u"Save support report as..."_s), path);
    rig.trigger("supportReportAction");
    QCOMPARE(rig.status(), u"Support report saved"_s);
    const QString report = QString::fromUtf8(contents(path));
    const TrafficRecord &record = rig.context.traffic();
    const QString expected = uR"(^QV12 Configurator support report

Written:      \d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ
Program:      qv12-configurator 2\.4
Qt:           6\.\d+\.\d+ \(built with 6\.\d+\.\d+\)
System:       .+, .+, \w+
Lock files:   /.+

Serial ports
  COM1  -
  COM2  %1  present
  COM3  -
  COM4  -
  COM5  -
  COM6  -

Connection
  COM2 at 9600 bauds, DSR/DTR Mode, chip found
  Identity: KT 610-ST       QV12 FW 2\.07

Traffic: the last %2 events, times in ms since the program started
)"_s.arg(QRegularExpression::escape(chip.devicePath())).arg(record.events().size());
    const QRegularExpressionMatch head = QRegularExpression(expected).match(report);
    QVERIFY2(head.hasMatch(), qPrintable(report));
    QCOMPARE(report.mid(head.capturedEnd()), TrafficText::format(record.events(), record.originNs()));
    QVERIFY(!report.contains(u"TAV 7110"_s) && !report.contains(u"KLVPRINTERSCDB0"_s));
}

// The port buttons' tooltips name the device and what else is known of it: here, the
// program whose lock file holds it.
void TestTrafficMonitor::portTooltips()
{
    ChipRig rig;
    const QString device = rig.addChip(1, 9600).devicePath();
    QFile lock(SerialLocks::lockFilePath(device));
    QVERIFY2(lock.open(QIODevice::WriteOnly | QIODevice::NewOnly), qPrintable(lock.fileName()));
    const qint64 holder = ::getppid();  // alive while this test runs
    lock.write(QByteArray::number(holder) + "\nsome-program\nhost\n");
    lock.close();
    PortSelectionDialog dialog(rig.context, &rig.window());
    dialog.runLoadSteps();
    lock.remove();
    QCOMPARE(dialog.findChild<QRadioButton *>(u"COM1"_s)->toolTip(), u"%1\nheld by process %2"_s.arg(device).arg(holder));
    QCOMPARE(dialog.findChild<QRadioButton *>(u"COM2"_s)->toolTip(), u"No serial device on COM2"_s);
}

// DEL is a control character like the others: hex, and a "." beside it.
void TestTrafficMonitor::deleteShownInHex()
{
    ChipRig rig;
    SimulatedChip &chip = rig.addChip(1, 9600);
    chip.setFaults({.identityReply = QByteArray("KT\x7f 610")});
    QVERIFY(rig.connect(1, u"9600"_s));
    Monitor monitor(rig);
    QVERIFY2(monitor.text().contains(u"  <- 4B 54 7F 20 36 31 30                             KT. 610\n"_s),
             qPrintable(monitor.text()));
    QVERIFY(!monitor.text().contains(u'\x7f'));
}

QTEST_MAIN(TestTrafficMonitor)
#include "tst_trafficmonitor.moc"
