#include "serial/portmap.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPortMap final : public QObject
{
    Q_OBJECT

private slots:
    void parseAssignment_data();
    void parseAssignment();
    void defaultNumbering();
    void numbersStayForTheRun();
    void vanishedDeviceLeavesNumberEmpty();
    void pinnedNumbersAreNotReused();
    void pinningMovesASystemPort();
    void clearingAPin();
    void moreDevicesThanNumbers();
    void existsOpensNothing();
    void outOfRange();
};

void TestPortMap::parseAssignment_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("error");

    QTest::newRow("plain") << u"2=/dev/ttyUSB0"_s << 2 << u"/dev/ttyUSB0"_s << QString();
    QTest::newRow("COM prefix") << u"COM6=/dev/ttyS1"_s << 6 << u"/dev/ttyS1"_s << QString();
    QTest::newRow("short device name") << u"1=ttyACM0"_s << 1 << u"/dev/ttyACM0"_s << QString();
    QTest::newRow("link path") << u"3=/tmp/qv12"_s << 3 << u"/tmp/qv12"_s << QString();
    QTest::newRow("device with =") << u"4=/tmp/a=b"_s << 4 << u"/tmp/a=b"_s << QString();
    QTest::newRow("port 0") << u"0=/dev/ttyUSB0"_s << 0 << QString()
                            << u"the port number in \"0=/dev/ttyUSB0\" must be 1 to 6"_s;
    QTest::newRow("port 7") << u"7=/dev/ttyUSB0"_s << 0 << QString()
                            << u"the port number in \"7=/dev/ttyUSB0\" must be 1 to 6"_s;
    QTest::newRow("not a number") << u"x=/dev/ttyUSB0"_s << 0 << QString()
                                  << u"the port number in \"x=/dev/ttyUSB0\" must be 1 to 6"_s;
    QTest::newRow("empty device") << u"2="_s << 0 << QString()
                                  << u"no device given for COM2 in \"2=\""_s;
    QTest::newRow("missing =") << u"/dev/ttyUSB0"_s << 0 << QString()
                               << u"\"/dev/ttyUSB0\" is not of the form N=DEVICE, for example 2=/dev/ttyUSB0"_s;
}

void TestPortMap::parseAssignment()
{
    QFETCH(QString, value);
    QFETCH(int, port);
    QFETCH(QString, device);
    QFETCH(QString, error);
    QString reason = u"stale"_s;
    const auto parsed = parsePortAssignment(value, &reason);
    if (error.isEmpty()) {
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->port, port);
        QCOMPARE(parsed->device, device);
        QVERIFY(reason.isEmpty());
    } else {
        QVERIFY(!parsed.has_value());
        QCOMPARE(reason, error);
    }
}

void TestPortMap::defaultNumbering()
{
    PortMap map;
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyS10"_s, u"/dev/ttyS2"_s, u"/dev/ttyACM0"_s});
    // Stable order by system location, digits compared as numbers.
    QCOMPARE(map.device(1), u"/dev/ttyACM0"_s);
    QCOMPARE(map.device(2), u"/dev/ttyS2"_s);
    QCOMPARE(map.device(3), u"/dev/ttyS10"_s);
    QCOMPARE(map.device(4), u"/dev/ttyUSB0"_s);
    QCOMPARE(map.device(5), QString());
    QVERIFY(!map.isPinned(1));
}

void TestPortMap::numbersStayForTheRun()
{
    PortMap map;
    map.refreshFrom({u"/dev/ttyUSB1"_s});
    QCOMPARE(map.device(1), u"/dev/ttyUSB1"_s);
    // A device that sorts first but comes later does not push the others along.
    map.refreshFrom({u"/dev/ttyUSB1"_s, u"/dev/ttyUSB0"_s});
    QCOMPARE(map.device(1), u"/dev/ttyUSB1"_s);
    QCOMPARE(map.device(2), u"/dev/ttyUSB0"_s);
}

void TestPortMap::vanishedDeviceLeavesNumberEmpty()
{
    PortMap map;
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s, u"/dev/ttyUSB2"_s});
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB2"_s});
    QCOMPARE(map.device(2), QString());
    QCOMPARE(map.device(3), u"/dev/ttyUSB2"_s);
    // A new device takes the lowest free number.
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB2"_s, u"/dev/ttyACM0"_s});
    QCOMPARE(map.device(2), u"/dev/ttyACM0"_s);
    // The old one comes back: its number is taken, so it gets the lowest free one.
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s, u"/dev/ttyUSB2"_s, u"/dev/ttyACM0"_s});
    QCOMPARE(map.device(4), u"/dev/ttyUSB1"_s);
    // Replugged while its number is free, it gets that number back.
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB2"_s, u"/dev/ttyACM0"_s});
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB2"_s, u"/dev/ttyACM0"_s, u"/dev/ttyUSB1"_s});
    QCOMPARE(map.device(4), u"/dev/ttyUSB1"_s);
}

void TestPortMap::pinnedNumbersAreNotReused()
{
    PortMap map;
    map.assign(1, u"/tmp/qv12"_s);
    map.assign(3, u"/dev/pts/9"_s);
    map.refreshFrom({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s, u"/dev/ttyUSB2"_s});
    QCOMPARE(map.device(1), u"/tmp/qv12"_s);
    QCOMPARE(map.device(2), u"/dev/ttyUSB0"_s);
    QCOMPARE(map.device(3), u"/dev/pts/9"_s);
    QCOMPARE(map.device(4), u"/dev/ttyUSB1"_s);
    QCOMPARE(map.device(5), u"/dev/ttyUSB2"_s);
    QVERIFY(map.isPinned(1));
    QVERIFY(map.isPinned(3));
    // A pinned device is not a system port that can vanish from the list.
    map.refreshFrom({});
    QCOMPARE(map.device(1), u"/tmp/qv12"_s);
    QCOMPARE(map.device(2), QString());
}

void TestPortMap::pinningMovesASystemPort()
{
    PortMap map;
    map.refreshFrom({u"/dev/ttyUSB0"_s});
    map.assign(2, u"/dev/ttyUSB0"_s);
    QCOMPARE(map.device(1), QString());
    QCOMPARE(map.device(2), u"/dev/ttyUSB0"_s);
    map.refreshFrom({u"/dev/ttyUSB0"_s});
    QCOMPARE(map.device(1), QString());  // one number per device
}

void TestPortMap::clearingAPin()
{
    PortMap map;
    map.assign(1, u"/tmp/qv12"_s);
    map.assign(1, QString());
    QVERIFY(!map.isPinned(1));
    QCOMPARE(map.device(1), QString());
    map.refreshFrom({u"/dev/ttyUSB0"_s});
    QCOMPARE(map.device(1), u"/dev/ttyUSB0"_s);
}

void TestPortMap::moreDevicesThanNumbers()
{
    PortMap map;
    QStringList devices;
    for (int i = 0; i < 8; ++i)
        devices << u"/dev/ttyUSB%1"_s.arg(i);
    map.refreshFrom(devices);
    QCOMPARE(map.device(6), u"/dev/ttyUSB5"_s);
    map.refreshFrom(devices.mid(1));
    QCOMPARE(map.device(1), u"/dev/ttyUSB6"_s);
}

void TestPortMap::existsOpensNothing()
{
    QTemporaryDir dir;
    const QString node = dir.filePath(u"node"_s);
    PortMap map;
    map.assign(2, node);
    QVERIFY(!map.exists(2));
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::setPermissions(node, {}));  // no one could open it: it still exists
    QVERIFY(map.exists(2));
    const QString link = dir.filePath(u"link"_s);
    QVERIFY(QFile::link(dir.filePath(u"gone"_s), link));
    map.assign(3, link);
    QVERIFY(!map.exists(3));  // a dangling link is a vanished device
    QVERIFY(!map.exists(4));
}

void TestPortMap::outOfRange()
{
    PortMap map;
    map.assign(0, u"/dev/ttyUSB0"_s);
    map.assign(7, u"/dev/ttyUSB0"_s);
    for (int n : {-1, 0, 7, 100}) {
        QCOMPARE(map.device(n), QString());
        QVERIFY(!map.exists(n));
        QVERIFY(!map.isPinned(n));
    }
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"
