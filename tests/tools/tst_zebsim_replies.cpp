// The simulated device on its line, driven from a raw program side: the paced line (no reply before
// the request and the reply have had their time on the wire) and the short memory read.

#include "tools/zeb-sim/ZebSimDevice.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

using namespace ZebSim;

namespace {

constexpr int ReadyTimeoutMs = 5000;
constexpr int ReplyTimeoutMs = 10000;

// A 130 request for 10 bytes from address 16 of the device's own memory.
const QByteArray ReadRequest = QByteArray::fromHex("ffffffffff""8213000400008203""00100a""0e");
const QByteArray Stored = "0123456789";

speed_t speedOf(int baud)
{
    return baud == 1200 ? B1200 : baud == 9600 ? B9600 : B115200;
}

// The program's side of the line, opened as a raw serial port.
class ProgramSide {
public:
    ProgramSide(const QString &path, int baud)
    {
        mFd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios settings{};
        if (mFd < 0 || ::tcgetattr(mFd, &settings) != 0)
            return;
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speedOf(baud));
        ::cfsetospeed(&settings, speedOf(baud));
        ::tcsetattr(mFd, TCSANOW, &settings);
    }
    ~ProgramSide()
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    bool isOpen() const { return mFd >= 0; }
    bool write(const QByteArray &data) { return ::write(mFd, data.constData(), size_t(data.size())) == data.size(); }

    // Reads until `count` bytes have come, letting the device's events run; the times of the first and
    // of the last byte are taken from `clock`, in milliseconds.
    QByteArray readCount(qsizetype count, const QElapsedTimer &clock, double *firstMs, double *lastMs)
    {
        QByteArray data;
        QElapsedTimer waited;
        waited.start();
        while (data.size() < count && waited.elapsed() < ReplyTimeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            char buffer[256];
            const ssize_t n = ::read(mFd, buffer, sizeof buffer);
            if (n > 0) {
                const double now = double(clock.nsecsElapsed()) / 1e6;
                if (data.isEmpty())
                    *firstMs = now;
                data.append(buffer, n);
                *lastMs = now;
            } else {
                QThread::usleep(200);
            }
        }
        return data;
    }

private:
    int mFd = -1;
};

} // namespace

class TestZebSimReplies : public QObject {
    Q_OBJECT
private slots:
    void pacedLine_replyWaitsForBothWireTimes_data();
    void pacedLine_replyWaitsForBothWireTimes();
    void shortRead_isAWellFormedFrameWithFewerBytes();

private:
    std::unique_ptr<ZebSimDevice> startDevice(const SimConfig &config);
};

std::unique_ptr<ZebSimDevice> TestZebSimReplies::startDevice(const SimConfig &config)
{
    auto device = std::make_unique<ZebSimDevice>(config);
    QSignalSpy ready(device.get(), &ZebSimDevice::ready);
    QString error;
    if (!device->start(&error)) {
        qWarning("no simulated device: %s", qPrintable(error));
        return nullptr;
    }
    if (!ready.wait(ReadyTimeoutMs))
        return nullptr;
    device->memory().write(ParameterMemory::Space::Device, 16, Stored);
    return device;
}

void TestZebSimReplies::pacedLine_replyWaitsForBothWireTimes_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("singleWire");
    // 17 characters of request and 26 of reply, 11 bits each.
    QTest::newRow("1200 baud") << 1200 << false;
    QTest::newRow("1200 baud, single wire") << 1200 << true;
    QTest::newRow("9600 baud") << 9600 << false;
}

void TestZebSimReplies::pacedLine_replyWaitsForBothWireTimes()
{
    QFETCH(int, baud);
    QFETCH(bool, singleWire);
    SimConfig config;
    config.paced = true;
    config.singleWire = singleWire;
    const auto device = startDevice(config);
    if (!device)
        QSKIP("No pseudo-terminal for the simulated device");
    ProgramSide program(device->portPath(), baud);
    QVERIFY(program.isOpen());

    QElapsedTimer clock;
    clock.start();
    QVERIFY(program.write(ReadRequest));
    const qsizetype echo = singleWire ? ReadRequest.size() : 0;
    double firstMs = -1;
    double lastMs = -1;
    const QByteArray line = program.readCount(echo + 26, clock, &firstMs, &lastMs);

    const QByteArray reply = QByteArray::fromHex("ffffffffff""861300040000820c0000") + Stored + QByteArray::fromHex("1e");
    QCOMPARE(line, (singleWire ? ReadRequest : QByteArray()) + reply);
    const double characterMs = 11 * 1000.0 / baud;
    if (singleWire)
        QVERIFY2(firstMs < 17 * characterMs, qPrintable(QString::number(firstMs))); // the echo comes first
    QVERIFY2(lastMs >= (17 + 26) * characterMs, qPrintable(QString::number(lastMs)));
}

void TestZebSimReplies::shortRead_isAWellFormedFrameWithFewerBytes()
{
    SimConfig config;
    config.faults.shortReads = 3;
    const auto device = startDevice(config);
    if (!device)
        QSKIP("No pseudo-terminal for the simulated device");
    ProgramSide program(device->portPath(), 1200);
    QVERIFY(program.isOpen());

    QElapsedTimer clock;
    clock.start();
    QVERIFY(program.write(ReadRequest));
    double firstMs = -1;
    double lastMs = -1;
    // Count 9: the two status bytes and 7 of the 10 bytes asked for, under a checksum that matches.
    QCOMPARE(program.readCount(23, clock, &firstMs, &lastMs),
             QByteArray::fromHex("ffffffffff""8613000400008209""0000""30313233343536""2d"));
    QCOMPARE(device->framesSent(), 1);
}

QTEST_GUILESS_MAIN(TestZebSimReplies)
#include "tst_zebsim_replies.moc"
