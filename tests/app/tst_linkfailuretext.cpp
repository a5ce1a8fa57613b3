// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/linkfailuretext.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Failures = QList<LinkFailure>;

// The wording of serial port failures: the port, the device, what happened and the fix.
class TestLinkFailureText final : public QObject
{
    Q_OBJECT

private slots:
    void forAction_data();
    void forAction();
    void forScan();
};

void TestLinkFailureText::forAction_data()
{
    QTest::addColumn<Failures>("failures");
    QTest::addColumn<QString>("text");

    const QString head = u"The serial port could not be used, so the chip could not answer:\n"_s;
    QTest::newRow("permission denied")
        << Failures{{LinkFailure::Kind::PermissionDenied, 2, u"/dev/ttyUSB0"_s, u"Permission denied"_s, {}}}
        << head + u"COM2 (/dev/ttyUSB0): permission denied\n\n"
                  "Your user needs read and write access to the device: add it to the dialout group "
                  "(sudo adduser $USER dialout) and log in again."_s;
    QTest::newRow("no device behind the number")
        << Failures{{LinkFailure::Kind::NoDevice, 4, QString(), QString(), {}}}
        << head + u"COM4 (no device): the device is not there\n\n"
                  "Check that the serial adapter is plugged in, then run the chipset detection again."_s;
    QTest::newRow("unplugged, then gone: said once")
        << Failures{{LinkFailure::Kind::Unplugged, 3, u"/dev/ttyUSB1"_s, QString(), {}},
                    {LinkFailure::Kind::NoDevice, 3, u"/dev/ttyUSB1"_s, QString(), {}}}
        << head + u"COM3 (/dev/ttyUSB1): the device went away during the exchange\n\n"
                  "Check the cable and the serial adapter, then run the chipset detection again."_s;
    QTest::newRow("other, in the system's words")
        << Failures{{LinkFailure::Kind::Other, 5, u"/tmp/x"_s, u"Inappropriate ioctl for device"_s, {}}}
        << head + u"COM5 (/tmp/x): Inappropriate ioctl for device\n\nCheck the serial port and its settings."_s;
}

void TestLinkFailureText::forAction()
{
    QFETCH(Failures, failures);
    QFETCH(QString, text);
    QCOMPARE(LinkFailureText::forAction(failures), text);
}

void TestLinkFailureText::forScan()
{
    const Failures failures{{LinkFailure::Kind::PermissionDenied, 1, u"/dev/ttyS0"_s, QString(), {}},
                            {LinkFailure::Kind::Busy, 3, u"/dev/ttyUSB0"_s, QString(), {}},
                            {LinkFailure::Kind::PermissionDenied, 4, u"/dev/ttyS1"_s, QString(), {}}};
    QCOMPARE(LinkFailureText::forScan(failures),
             u"The detection skipped ports that could not be opened:\n"
             "COM1 (/dev/ttyS0): permission denied\n"
             "COM3 (/dev/ttyUSB0): held by another program\n"
             "COM4 (/dev/ttyS1): permission denied\n\n"
             "Your user needs read and write access to the device: add it to the dialout group "
             "(sudo adduser $USER dialout) and log in again.\n"
             "Close the program that holds the port (a terminal program, or ModemManager, which "
             "probes new serial devices) and try again."_s);
    // Nothing failed: nothing to say, so no message box.
    QCOMPARE(LinkFailureText::forAction({}), QString());
    QCOMPARE(LinkFailureText::forScan({}), QString());
}

QTEST_GUILESS_MAIN(TestLinkFailureText)
#include "tst_linkfailuretext.moc"
