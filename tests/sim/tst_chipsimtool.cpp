// The qv12-chipsim tool as a separate process, talked to by a plain POSIX client: no
// QSerialPort, no code of the configurator.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray b(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

// A serial client on bare termios.
class PosixClient final
{
public:
    explicit PosixClient(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY))
    {
    }
    ~PosixClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    bool setSpeed(speed_t speed)
    {
        termios tio{};
        if (::tcgetattr(m_fd, &tio) != 0)
            return false;
        ::cfmakeraw(&tio);  // 8 data bits, no parity
        tio.c_cflag &= ~(CSTOPB | CRTSCTS);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF);
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        return ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    // Sends the bytes and collects the answer until 300 ms pass without a byte.
    QByteArray exchange(const QByteArray &bytes)
    {
        if (::write(m_fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
            return "write failed";
        QByteArray reply;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, 300) > 0) {
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
        return reply;
    }

private:
    int m_fd = -1;
};

} // namespace

class TestChipSimTool final : public QObject
{
    Q_OBJECT

private slots:
    void independentClient();
    void stateKeepsSettings();
    void badArguments_data();
    void badArguments();

private:
    // Starts the tool and waits for its ready line.
    bool start(QProcess &tool, const QStringList &arguments, QByteArray *readyLine);
};

bool TestChipSimTool::start(QProcess &tool, const QStringList &arguments, QByteArray *readyLine)
{
    tool.start(QStringLiteral(QV12_CHIPSIM), arguments);
    if (!tool.waitForStarted(5000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!tool.canReadLine() && clock.elapsed() < 10000 && tool.state() == QProcess::Running)
        tool.waitForReadyRead(200);
    *readyLine = tool.readLine().trimmed();
    return !readyLine->isEmpty();
}

void TestChipSimTool::independentClient()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"qv12"_s);
    QProcess tool;
    QByteArray ready;
    QVERIFY(start(tool, {u"--speed"_s, u"9600"_s, u"--link"_s, link}, &ready));
    QVERIFY2(ready.startsWith("qv12-chipsim: COM link " + QFile::encodeName(link) + " -> /dev/pts/"), ready);
    QVERIFY(ready.endsWith(" at 9600 bauds"));
    QVERIFY(QFileInfo(link).isSymLink());

    {
        PosixClient client(link);
        QVERIFY(client.isOpen());
        QVERIFY(client.setSpeed(B9600));
        const QByteArray identity = client.exchange(b({27, 'I'}));
        QVERIFY2(identity.startsWith("KT 610-ST"), identity.constData());
        QCOMPARE(identity.size(), 28);
        QCOMPARE(client.exchange(b({29, 'S', 'F', 9, 65})), b({65}));
        QCOMPARE(client.exchange(b({29, 'S', 'f', 9})), b({65}));

        QVERIFY(client.setSpeed(B19200));
        QCOMPARE(client.exchange(b({27, 'I'})), QByteArray());
        QCOMPARE(client.exchange(b({29, 'S', 'F', 9, 65})), QByteArray());
        QCOMPARE(client.exchange(b({29, 'S', 'f', 9})), QByteArray());
    }

    tool.terminate();
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestChipSimTool::stateKeepsSettings()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"qv12"_s);
    const QString state = dir.filePath(u"chip.state"_s);
    {
        QProcess tool;
        QByteArray ready;
        QVERIFY(start(tool, {u"--speed"_s, u"19200"_s, u"--handshake"_s, u"xon"_s, u"--link"_s, link,
                             u"--state"_s, state}, &ready));
        QVERIFY2(ready.endsWith(" at 19200 bauds"), ready);
        PosixClient client(link);
        QVERIFY(client.setSpeed(B19200));
        QCOMPARE(client.exchange(b({29, 'S', 'f', 28})), b({0x04}));  // 19200, XON/XOFF
        QCOMPARE(client.exchange(b({29, 'S', 'F', 9, 'Z'})), b({'Z'}));
        QCOMPARE(client.exchange(b({29, 'S', 'F', 10, 0})), b({0}));
        tool.terminate();
        QVERIFY(tool.waitForFinished(5000));
    }
    QFile file(state);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QCOMPARE(saved.size(), 256);
    QCOMPARE(saved.at(9), 'Z');
    file.close();

    // No --speed: the saved serial setting decides, and the identity is the new one.
    QProcess tool;
    QByteArray ready;
    QVERIFY(start(tool, {u"--link"_s, link, u"--state"_s, state}, &ready));
    QVERIFY2(ready.endsWith(" at 19200 bauds"), ready);
    PosixClient client(link);
    QVERIFY(client.setSpeed(B19200));
    QCOMPARE(client.exchange(b({29, 'S', 'f', 9})), b({'Z'}));
    QVERIFY(client.exchange(b({27, 'I'})).startsWith("Z               QV12"));
    tool.kill();
    tool.waitForFinished(5000);
}

void TestChipSimTool::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("handshake") << QStringList{u"--handshake"_s, u"rts"_s} << QByteArray("--handshake is xon or dtr");
    QTest::newRow("speed") << QStringList{u"--speed"_s, u"fast"_s} << QByteArray("--speed wants a positive number");
}

void TestChipSimTool::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    QProcess tool;
    tool.start(QStringLiteral(QV12_CHIPSIM), arguments);
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitCode(), 2);
    QVERIFY(tool.readAllStandardError().contains(message));
}

QTEST_GUILESS_MAIN(TestChipSimTool)
#include "tst_chipsimtool.moc"
