#include "app/commandline.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpNamesTheOptions();
    void programExitsWithTheParsersVerdict_data();
    void programExitsWithTheParsersVerdict();
};

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("ports");  // "N=DEVICE" joined by blanks
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("nothing") << QStringList{} << true << 0 << u""_s << false << u""_s << u""_s;
    QTest::newRow("simulate") << QStringList{u"--simulate"_s} << true << 0 << u""_s << true
                              << u""_s << u""_s;
    QTest::newRow("one port") << QStringList{u"--port"_s, u"2=/dev/ttyUSB0"_s} << true << 0
                              << u"2=/dev/ttyUSB0"_s << false << u""_s << u""_s;
    QTest::newRow("ports, = form, repeated")
        << QStringList{u"--port=1=/dev/ttyS0"_s, u"--port"_s, u"6=/dev/pts/7"_s} << true << 0
        << u"1=/dev/ttyS0 6=/dev/pts/7"_s << false << u""_s << u""_s;
    QTest::newRow("simulate with other ports")
        << QStringList{u"--simulate"_s, u"--port"_s, u"3=/dev/ttyACM0"_s} << true << 0
        << u"3=/dev/ttyACM0"_s << true << u""_s << u""_s;
    QTest::newRow("version") << QStringList{u"--version"_s} << false << 0 << u""_s << false
                             << u"qv12-configurator 2.4\n"_s << u""_s;
    QTest::newRow("unknown option") << QStringList{u"--colour"_s} << false << 2 << u""_s << false
                                    << u""_s << u"Unknown option 'colour'"_s;
    QTest::newRow("port without value") << QStringList{u"--port"_s} << false << 2 << u""_s
                                        << false << u""_s << u"Missing value after '--port'"_s;
    QTest::newRow("port 0") << QStringList{u"--port"_s, u"0=/dev/ttyS0"_s} << false << 2 << u""_s
                            << false << u""_s << u"--port 0=/dev/ttyS0: "_s;
    QTest::newRow("port 7") << QStringList{u"--port"_s, u"7=/dev/ttyS0"_s} << false << 2 << u""_s
                            << false << u""_s << u"--port 7=/dev/ttyS0: "_s;
    QTest::newRow("port without device") << QStringList{u"--port"_s, u"2="_s} << false << 2
                                         << u""_s << false << u""_s << u"--port 2=: "_s;
    QTest::newRow("port given twice")
        << QStringList{u"--port"_s, u"2=/dev/a"_s, u"--port"_s, u"2=/dev/b"_s} << false << 2
        << u""_s << false << u""_s << u"COM2 is given twice"_s;
    QTest::newRow("COM1 taken by the simulator")
        << QStringList{u"--simulate"_s, u"--port"_s, u"1=/dev/ttyS0"_s} << false << 2 << u""_s
        << false << u""_s << u"COM1 is taken by --simulate"_s;
    QTest::newRow("Qt's own options")
        << QStringList{u"-platform"_s, u"offscreen"_s, u"--simulate"_s, u"-reverse"_s,
                       u"-style"_s, u"Fusion"_s}
        << true << 0 << u""_s << true << u""_s << u""_s;
    QTest::newRow("stray argument") << QStringList{u"file.cdb"_s} << false << 2 << u""_s << false
                                    << u""_s << u"Unexpected argument 'file.cdb'"_s;
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, runs);
    QFETCH(int, exitCode);
    QFETCH(QString, ports);
    QFETCH(bool, simulate);
    QFETCH(QString, output);
    QFETCH(QString, errorPart);

    const CommandLine result = parseCommandLine(QStringList{u"qv12-configurator"_s} + arguments);
    QCOMPARE(result.action == CommandLine::Action::Run, runs);
    QCOMPARE(result.exitCode, exitCode);
    QStringList given;
    for (const PortAssignment &assignment : result.ports)
        given.append(u"%1=%2"_s.arg(assignment.port).arg(assignment.device));
    QCOMPARE(given.join(u' '), ports);
    QCOMPARE(result.simulate, simulate);
    QCOMPARE(result.output, output);
    if (errorPart.isEmpty()) {
        QVERIFY(result.error.isEmpty());
    } else {
        QVERIFY2(result.error.contains(errorPart), qPrintable(result.error));
        QVERIFY(result.error.startsWith(u"qv12-configurator: "_s));
        QVERIFY(result.error.endsWith(u"Try 'qv12-configurator --help' for more information.\n"_s));
    }
}

void tst_CommandLine::helpNamesTheOptions()
{
    const CommandLine result = parseCommandLine({u"qv12-configurator"_s, u"--help"_s});
    QCOMPARE(result.action, CommandLine::Action::Exit);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.error.isEmpty());
    QVERIFY(result.output.startsWith(u"Usage: qv12-configurator [options]\n"_s));
    for (const QString &option : {u"--port <N=DEVICE>"_s, u"--simulate"_s, u"--help"_s,
                                  u"--version"_s})
        QVERIFY2(result.output.contains(option), qPrintable(option));
    QVERIFY(!result.output.contains(u"platform"_s));
}

void tst_CommandLine::programExitsWithTheParsersVerdict_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("errStart");
    QTest::newRow("version") << QStringList{u"--version"_s} << 0
                             << QByteArray("qv12-configurator 2.4\n") << QByteArray();
    QTest::newRow("bad option") << QStringList{u"--bogus"_s} << 2 << QByteArray()
                                << QByteArray("qv12-configurator: Unknown option 'bogus'.");
    QTest::newRow("help") << QStringList{u"--help"_s} << 0
                          << QByteArray("Usage: qv12-configurator [options]\n") << QByteArray();
    QTest::newRow("bad port") << QStringList{u"--port"_s, u"9=/dev/null"_s} << 2 << QByteArray()
                              << QByteArray("qv12-configurator: --port 9=/dev/null: ");
}

void tst_CommandLine::programExitsWithTheParsersVerdict()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, errStart);

    QProcess program;
    program.start(QStringLiteral(QV12_CONFIGURATOR), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY(program.readAllStandardOutput().startsWith(out));
    const QByteArray err = program.readAllStandardError();
    if (errStart.isEmpty())
        QVERIFY2(err.isEmpty(), err.constData());
    else
        QVERIFY2(err.startsWith(errStart), err.constData());
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
