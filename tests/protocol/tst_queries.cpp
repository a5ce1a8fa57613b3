#include "protocol/queries.h"
#include "serial/seriallink.h"
#include "serial/timerout.h"
#include "sim/simulatedchip.h"

#include <QElapsedTimer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// The query operations against a simulated chip on a pseudo-terminal.
class TestQueries final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opto();
    void ad();
    void valueTakesTheFirstByte();
    void valueTimesOut();
    void stringEndsWithTheZeroPiece();
    void stringWithoutData();
    void stringEndsAtTheSilence();
    void stringStopsAnEndlessStream();

private:
    // Makes the chip send text (as its identity) by asking for it.
    void chipSends(const QByteArray &text, int burstSize = 0, int burstGapMs = 0);

    std::unique_ptr<SimulatedChip> m_chip;
    PortMap m_ports;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<TimerOut> m_timer;
};

void TestQueries::init()
{
    m_chip = std::make_unique<SimulatedChip>(115200);
    QVERIFY(m_chip->isValid());
    m_ports.assign(1, m_chip->devicePath());
    m_link = std::make_unique<SerialLink>(m_ports);
    m_timer = std::make_unique<TimerOut>(*m_link);
    QVERIFY(m_link->OpenPort(1, u"115200"_s, 2));
}

void TestQueries::cleanup()
{
    m_link->ClosePort();
    m_timer.reset();
    m_link.reset();
    m_chip.reset();
}

void TestQueries::chipSends(const QByteArray &text, int burstSize, int burstGapMs)
{
    ChipFaults faults;
    faults.identityReply = text;
    faults.burstSize = burstSize;
    faults.burstGapMs = burstGapMs;
    m_chip->setFaults(faults);
    m_link->SendText(QByteArray("\x1bI"));
}

void TestQueries::opto()
{
    QCOMPARE(Queries::get_opto(*m_link, *m_timer), ChipEmulator::OptoReply);
    const auto entries = m_chip->received().entries();
    QCOMPARE(m_chip->received().bytes(), QByteArray("\x1b\x1dO"));
    // One write: the three bytes arrive together.
    QCOMPARE(entries[0].timeNs, entries[2].timeNs);
}

void TestQueries::ad()
{
    QCOMPARE(Queries::get_ad(*m_link, *m_timer), ChipEmulator::AdReply);
    QCOMPARE(m_chip->received().bytes(), QByteArray("\x1b\x1d" "A"));
}

void TestQueries::valueTakesTheFirstByte()
{
    chipSends("XYZ");
    QVERIFY(m_chip->waitForSent(3));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Queries::get_value(*m_link, *m_timer), quint8('X'));
    QVERIFY(clock.elapsed() < 100);
    QCOMPARE(m_link->bytesWaiting(), 0);  // the rest of that read is gone
}

void TestQueries::valueTimesOut()
{
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Queries::get_value(*m_link, *m_timer), quint8(0));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 499 && elapsed < 900, qPrintable(QString::number(elapsed)));
}

void TestQueries::stringEndsWithTheZeroPiece()
{
    // One byte at a time, 100 ms apart: the piece that is the 0 ends the text, and what
    // comes after it is left for the next read.
    chipSends(QByteArray("HEL") + QByteArray(1, '\0') + QByteArray("XY"), 1, 100);
    QCOMPARE(Queries::get_string(*m_link, *m_timer), QByteArray("HEL") + QByteArray(1, '\0'));
    QVERIFY(m_chip->waitForSent(6));
    QTRY_COMPARE(m_link->bytesWaiting(), 2);
}

void TestQueries::stringWithoutData()
{
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Queries::get_string(*m_link, *m_timer), QByteArray(1, '\0'));
    QVERIFY(clock.elapsed() >= 499);
}

void TestQueries::stringEndsAtTheSilence()
{
    // No piece begins with 0: the wait after the last one ends the text, which is what
    // came, once (repeating the last piece would never end).
    chipSends("HELLO WORLD", 4, 200);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Queries::get_string(*m_link, *m_timer), QByteArray("HELLO WORLD"));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 400 + 499 && elapsed < 2500, qPrintable(QString::number(elapsed)));
}

void TestQueries::stringStopsAnEndlessStream()
{
    ChipFaults faults;
    faults.endlessStream = true;
    m_chip->setFaults(faults);
    m_link->SendText(QByteArray("\x1bI"));
    QElapsedTimer clock;
    clock.start();
    const QByteArray text = Queries::get_string(*m_link, *m_timer);
    QVERIFY2(text.size() >= SerialLink::MaxReplyBytes
                 && text.size() < SerialLink::MaxReplyBytes + SerialLink::ReadLimit,
             qPrintable(QString::number(text.size())));
    QVERIFY(clock.elapsed() < SerialLink::MaxReplyMs);
    faults.endlessStream = false;
    m_chip->setFaults(faults);
}

QTEST_GUILESS_MAIN(TestQueries)
#include "tst_queries.moc"
