// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// What the parser makes of each command line; when it ends the program at once, the
// program itself prints the same and exits with the same status.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");  // -1: the program runs
        // When it runs, the ports, "simulate" and "system ports" (when the system's ports
        // take the free numbers) taken in; otherwise how the output begins, or the error.
        QTest::addColumn<QString>("expected");
        QTest::newRow("ports, both forms") << u"--port=1=/dev/ttyS0 --port 6=/dev/pts/7"_s << -1
                                           << u"1=/dev/ttyS0 6=/dev/pts/7 system ports"_s;
        QTest::newRow("simulate, a port") << u"--simulate --port 3=/dev/ttyS3"_s << -1 << u"3=/dev/ttyS3 simulate"_s;
        QTest::newRow("nothing") << QString() << -1 << u"system ports"_s;
        QTest::newRow("Qt's own options") << u"-platform offscreen --simulate -style Fusion"_s << -1 << u"simulate"_s;
        QTest::newRow("version") << u"--version"_s << 0 << u"qv12-configurator 2.4\n"_s;
        QTest::newRow("help") << u"--help"_s << 0 << u"Usage: qv12-configurator [options]\n"_s;
        QTest::newRow("unknown option") << u"--colour"_s << 2 << u"Unknown option 'colour'."_s;
        QTest::newRow("port 0") << u"--port 0=/dev/ttyS0"_s << 2
                                << u"--port 0=/dev/ttyS0: the port number in \"0=/dev/ttyS0\" must be 1 to 6"_s;
        QTest::newRow("port given twice") << u"--port 2=/dev/a --port 2=/dev/b"_s << 2
                                          << u"--port 2=/dev/b: COM2 is given twice."_s;
        QTest::newRow("COM1 and simulate") << u"--simulate --port 1=/dev/ttyS0"_s << 2
                                           << u"--port 1=/dev/ttyS0: COM1 is taken by --simulate."_s;
        QTest::newRow("simulated line, production") << u"--simulate-line 3 --production --port 5=/dev/ttyS4"_s << -1
                                                    << u"5=/dev/ttyS4 line 3 production"_s;
        QTest::newRow("simulated line of 7") << u"--simulate-line 7"_s << 2
                                             << u"--simulate-line 7: give the number of stations, 1 to 6."_s;
        QTest::newRow("simulated line and simulate") << u"--simulate-line 2 --simulate"_s << 2
                                                     << u"--simulate and --simulate-line both want COM1; give one "
                                                        "of them."_s;
        QTest::newRow("port on the simulated line") << u"--simulate-line 2 --port 2=/dev/ttyS0"_s << 2
                                                    << u"--port 2=/dev/ttyS0: COM2 is taken by --simulate-line."_s;
        QTest::newRow("stray argument") << u"file.cdb"_s << 2 << u"Unexpected argument 'file.cdb'."_s;
    }

    void parse()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        const QStringList split = arguments.split(u' ', Qt::SkipEmptyParts);
        if (exitCode < 0) {
            const CommandLine result = parseCommandLine(QStringList{u"qv12-configurator"_s} + split);
            QStringList taken;
            for (const PortAssignment &assignment : result.ports)
                taken.append(u"%1=%2"_s.arg(assignment.port).arg(assignment.device));
            if (result.simulate)
                taken.append(u"simulate"_s);
            if (result.simulateLine)
                taken.append(u"line %1"_s.arg(result.simulateLine));
            if (result.production)
                taken.append(u"production"_s);
            if (result.systemPorts)
                taken.append(u"system ports"_s);
            QCOMPARE(taken.join(u' '), expected);
            QVERIFY(result.action == CommandLine::Action::Run && result.output.isEmpty() && result.error.isEmpty());
            return;
        }
        QProcess program;
        program.start(QStringLiteral(QV12_CONFIGURATOR), split);
        QVERIFY(program.waitForFinished(20000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        // An unexpected end (a crash, a sanitizer's report) is explained on stderr.
        if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != exitCode)
            qWarning("qv12-configurator wrote on stderr:\n%s", qPrintable(err));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        if (exitCode == 0) {
            QVERIFY2(out.startsWith(expected) && err.isEmpty(), qPrintable(out + err));
        } else {
            QCOMPARE(err, u"qv12-configurator: "_s + expected
                              + u"\nTry 'qv12-configurator --help' for more information.\n"_s);
            QVERIFY(out.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
