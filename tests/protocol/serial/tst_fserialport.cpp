#include "protocol/serial/FSerialPort.h"

#include "tests/support/PtyPeer.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QSerialPort::SerialPortError)

namespace {
constexpr int WaitMs = 5000;

// Waits without running events: bytes the port has not read yet stay unread, and only bytes the port
// has already handed to the system reach the peer.
template<typename Condition>
bool waitWithoutEvents(Condition condition)
{
    QDeadlineTimer deadline(WaitMs);
    while (!deadline.hasExpired()) {
        if (condition())
            return true;
        QThread::msleep(2);
    }
    return false;
}

bool waitPendingForProgram(const PtyPeer &peer, int bytes)
{
    return waitWithoutEvents([&] { return peer.bytesPendingForProgram() >= bytes; });
}

bool waitReceivedWithoutEvents(const PtyPeer &peer, qsizetype bytes)
{
    return waitWithoutEvents([&] { return peer.receivedSize() >= bytes; });
}

QByteArray joined(const QSignalSpy &spy)
{
    QByteArray all;
    for (const auto &arguments : spy)
        all += arguments.at(0).toByteArray();
    return all;
}

// Re-emits on the test's thread, through queued connections, what a port on another thread emits.
// A QSignalSpy appends on the thread that emits, without a lock, so a spy that the test reads while
// the port runs must hear this relay rather than the port.
class PortRelay : public QObject {
    Q_OBJECT
public:
    explicit PortRelay(FSerialPort *port)
    {
        connect(port, &FSerialPort::finishedOpenPort, this, &PortRelay::finishedOpenPort, Qt::QueuedConnection);
        connect(port, &FSerialPort::newDataReadyFromPort, this, &PortRelay::newDataReadyFromPort,
                Qt::QueuedConnection);
    }
signals:
    void finishedOpenPort(bool open);
    void newDataReadyFromPort(QByteArray data);
};

// The port as the link layer runs it, on a thread of its own that ends with the test.
struct PortOnItsThread {
    QThread thread;
    FSerialPort *port = new FSerialPort;
    PortRelay relay{port};

    PortOnItsThread()
    {
        port->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, port, &QObject::deleteLater);
        thread.start();
    }
    ~PortOnItsThread() { stop(); }
    PortOnItsThread(const PortOnItsThread &) = delete;
    PortOnItsThread &operator=(const PortOnItsThread &) = delete;

    bool open(const QString &name, int baud)
    {
        QSignalSpy opened(&relay, &PortRelay::finishedOpenPort);
        QMetaObject::invokeMethod(port, "openPort", Qt::QueuedConnection, Q_ARG(QString, name), Q_ARG(int, baud),
                                  Q_ARG(FSerialPort::DataBits, FSerialPort::Data8),
                                  Q_ARG(FSerialPort::Parity, FSerialPort::OddParity),
                                  Q_ARG(FSerialPort::StopBits, FSerialPort::OneStop),
                                  Q_ARG(FSerialPort::FlowControl, FSerialPort::NoFlowControl));
        return opened.wait(WaitMs) && opened.at(0).at(0).toBool();
    }
    // False when the thread did not end in time.
    bool stop()
    {
        thread.quit();
        return thread.wait(WaitMs);
    }
};

QList<QSerialPort::SerialPortError> errors(const QSignalSpy &spy)
{
    QList<QSerialPort::SerialPortError> list;
    for (const auto &arguments : spy)
        list.append(arguments.at(0).value<QSerialPort::SerialPortError>());
    return list;
}
} // namespace

class TestFSerialPort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void bitsPerCharacter_countsLineBits_data();
    void bitsPerCharacter_countsLineBits();
    void transmissionTime_isMicrosecondsWithMargin_data();
    void transmissionTime_isMicrosecondsWithMargin();
    void portLists_areComparedRegardlessOfOrder_data();
    void portLists_areComparedRegardlessOfOrder();

    void open_setsLineSpeedAndClose_reportsClosed();
    void openMissingPort_reportsOneErrorAndNoCloseError();
    void closeNeverOpened_reportsNoError();
    void openWithUnusableSetting_reportsAndCloses();
    void openAfterClose_opensAgainAtTheRequestedRate_data();
    void openAfterClose_opensAgainAtTheRequestedRate();
    void data_travelsBothWays();
    void singleWireWrite_waitsLineTimeAndDropsEcho();
    void twoWireWrite_isConfirmedOnceItsLineTimeHasPassed_data();
    void twoWireWrite_isConfirmedOnceItsLineTimeHasPassed();
    void echo_isRemovedAcrossSplitReads();
    void dtrAndRts_failOnPty_withTextsAndNoConfirmation();
    void echoesOfBackToBackWrites_areAllRemoved();
    void singleWireWrite_afterAnAnswerArrived_leavesTheAnswerWhole();
    void inputTakenByAQueuedCall_isNoReadError_data();
    void inputTakenByAQueuedCall_isNoReadError();
    void newBaudrate_isSeenByPeer();
    void newBaudrate_fromOtherThread_throughBlockingCall();
    void newBaudrate_onClosedPort_failsWithoutTouchingAnything();
    void newBaudrate_withBlockedOutput_returnsAndKeepsOutput();
    void newBaudrate_discardsStaleInput();
    void newBaudrate_rightAfterASingleWireWrite_discardsItsEchoWithTheInput();
    void portErrors_areForwardedOnceInARow();
    void writeOnClosedPort_reportsOneWriteError();
    void writeToAPortThatLostItsDevice_isNotConfirmed_data();
    void writeToAPortThatLostItsDevice_isNotConfirmed();
    void changeSettings_whileOpen_andClosed();
    void repeatSending_startsAndStops();

private:
    std::unique_ptr<PtyPeer> mPeer;
    std::unique_ptr<FSerialPort> mPort;
    bool openPty(int baud = 1200);
};

void TestFSerialPort::initTestCase()
{
    FSerialPort::registerMetaTypes();
}

void TestFSerialPort::init()
{
    mPeer = std::make_unique<PtyPeer>();
    mPort = std::make_unique<FSerialPort>();
}

void TestFSerialPort::cleanup()
{
    mPort.reset();
    mPeer.reset();
}

bool TestFSerialPort::openPty(int baud)
{
    if (!mPeer->isOpen())
        return false;
    QSignalSpy opened(mPort.get(), &FSerialPort::finishedOpenPort);
    mPort->openPort(mPeer->portName(), baud, FSerialPort::Data8, FSerialPort::OddParity, FSerialPort::OneStop,
                    FSerialPort::NoFlowControl);
    return opened.size() == 1 && opened.at(0).at(0).toBool();
}

#define REQUIRE_PTY(baud)                                                                                   \
    do {                                                                                                    \
        if (!mPeer->isOpen())                                                                               \
            QSKIP(qPrintable("no pseudo-terminal: " + mPeer->errorString()));                               \
        QVERIFY(openPty(baud));                                                                             \
    } while (false)

void TestFSerialPort::bitsPerCharacter_countsLineBits_data()
{
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("bits");
    QTest::newRow("8O1") << 8 << int(QSerialPort::OddParity) << int(QSerialPort::OneStop) << 11;
    QTest::newRow("8N1") << 8 << int(QSerialPort::NoParity) << int(QSerialPort::OneStop) << 10;
    QTest::newRow("8E2") << 8 << int(QSerialPort::EvenParity) << int(QSerialPort::TwoStop) << 12;
    QTest::newRow("7M1") << 7 << int(QSerialPort::MarkParity) << int(QSerialPort::OneStop) << 10;
    QTest::newRow("5N1.5 rounds up to two stop bits") << 5 << int(QSerialPort::NoParity) << int(QSerialPort::OneAndHalfStop)
                                                      << 8;
}

void TestFSerialPort::bitsPerCharacter_countsLineBits()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(int, bits);
    QCOMPARE(FSerialPort::bitsPerCharacter(QSerialPort::DataBits(dataBits), QSerialPort::Parity(parity),
                                           QSerialPort::StopBits(stopBits)),
             bits);
}

void TestFSerialPort::transmissionTime_isMicrosecondsWithMargin_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("bits");
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<qint64>("us");
    // 12 x 11 / 1200 x 1.05 = 0.1155 s
    QTest::newRow("12 bytes 8O1 at 1200") << qint64(12) << 11 << quint32(1200) << qint64(115500);
    // Less than a millisecond: whole seconds or milliseconds would make it 0.
    QTest::newRow("1 byte 8N1 at 115200") << qint64(1) << 10 << quint32(115200) << qint64(92);
    QTest::newRow("4 bytes 8O1 at 9600") << qint64(4) << 11 << quint32(9600) << qint64(4813);
    QTest::newRow("no baud rate, no wait") << qint64(12) << 11 << quint32(0) << qint64(0);
    QTest::newRow("nothing written") << qint64(0) << 11 << quint32(1200) << qint64(0);
}

void TestFSerialPort::transmissionTime_isMicrosecondsWithMargin()
{
    QFETCH(qint64, bytes);
    QFETCH(int, bits);
    QFETCH(quint32, baud);
    QFETCH(qint64, us);
    QCOMPARE(FSerialPort::transmissionTimeUs(bytes, bits, baud), us);
}

void TestFSerialPort::portLists_areComparedRegardlessOfOrder_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("scanned");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("first scan") << QStringList{} << QStringList{"COM3", "COM1"} << QStringList{"COM3", "COM1"} << true
                                << QStringList{"COM3", "COM1"};
    QTest::newRow("first scan empty") << QStringList{} << QStringList{} << QStringList{} << true << QStringList{};
    QTest::newRow("same ports other order") << QStringList{"COM3", "COM1"} << QStringList{"COM1", "COM3"}
                                            << QStringList{"COM1", "COM3"} << false << QStringList{"COM1", "COM3"};
    QTest::newRow("same length other port") << QStringList{"COM1", "COM3"} << QStringList{"COM4", "COM1"}
                                            << QStringList{"COM1", "COM4"} << true << QStringList{"COM1", "COM4"};
    QTest::newRow("case matters") << QStringList{"ttyusb0"} << QStringList{"ttyUSB0"} << QStringList{"ttyUSB0"} << true
                                  << QStringList{"ttyUSB0"};
    QTest::newRow("port added") << QStringList{"COM1"} << QStringList{"COM5", "COM1"} << QStringList{"COM5", "COM1"} << true
                                << QStringList{"COM5", "COM1"};
    QTest::newRow("all ports gone") << QStringList{"COM1"} << QStringList{} << QStringList{} << true << QStringList{};
}

void TestFSerialPort::portLists_areComparedRegardlessOfOrder()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, scanned);
    QFETCH(QStringList, reported);
    QFETCH(bool, changed);
    QFETCH(QStringList, kept);
    const FSerialPort::PortListComparison result = FSerialPort::comparePortLists(stored, scanned);
    QCOMPARE(result.ports, reported);
    QCOMPARE(result.changed, changed);
    QCOMPARE(result.stored, kept);
}

void TestFSerialPort::open_setsLineSpeedAndClose_reportsClosed()
{
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    REQUIRE_PTY(1200);
    quint32 baud = 0;
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 1200u);
    QCOMPARE(mPeer->lineSpeed(), 1200);

    QSignalSpy closed(mPort.get(), &FSerialPort::finishedOpenPort);
    mPort->closePort();
    QCOMPARE(closed.size(), 1);
    QCOMPARE(closed.at(0).at(0).toBool(), false);
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 0u);
    QVERIFY(!errors(portErrors).contains(QSerialPort::NotOpenError));

    // Closing again closes nothing and reports no error.
    mPort->closePort();
    QCOMPARE(closed.size(), 2);
    QVERIFY(!errors(portErrors).contains(QSerialPort::NotOpenError));
}

void TestFSerialPort::openMissingPort_reportsOneErrorAndNoCloseError()
{
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    QSignalSpy opened(mPort.get(), &FSerialPort::finishedOpenPort);
    QSignalSpy logs(mPort.get(), &FSerialPort::log);
    // Qt locks a port by a file named after it; a name of our own keeps parallel runs apart.
    const QString missing = QString("/dev/zeb-conduit-no-such-port-%1").arg(QCoreApplication::applicationPid());
    mPort->openPort(missing, 1200, FSerialPort::Data8, FSerialPort::OddParity, FSerialPort::OneStop,
                    FSerialPort::NoFlowControl);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).at(0).toBool(), false);
    QCOMPARE(logs.size(), 1);
    QVERIFY2(logs.at(0).at(0).toString().startsWith("Could not open port: "), qPrintable(logs.at(0).at(0).toString()));
    QCOMPARE(errors(portErrors), QList<QSerialPort::SerialPortError>{QSerialPort::DeviceNotFoundError});
    quint32 baud = 99;
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 0u);
}

void TestFSerialPort::openWithUnusableSetting_reportsAndCloses()
{
    if (!mPeer->isOpen())
        QSKIP(qPrintable("no pseudo-terminal: " + mPeer->errorString()));
    QSignalSpy opened(mPort.get(), &FSerialPort::finishedOpenPort);
    QSignalSpy logs(mPort.get(), &FSerialPort::log);
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    mPort->openPort(mPeer->portName(), -5, FSerialPort::Data8, FSerialPort::OddParity, FSerialPort::OneStop,
                    FSerialPort::NoFlowControl);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).at(0).toBool(), false);
    QCOMPARE(logs.size(), 1);
    QVERIFY2(logs.at(0).at(0).toString().startsWith("Could not set baudrate: "), qPrintable(logs.at(0).at(0).toString()));
    QVERIFY(!errors(portErrors).contains(QSerialPort::NotOpenError));
    quint32 baud = 99;
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 0u);
    // The port was closed again, so it opens normally now.
    QVERIFY(openPty(1200));
}

void TestFSerialPort::openAfterClose_opensAgainAtTheRequestedRate_data()
{
    QTest::addColumn<uint>("switchTo");
    QTest::addColumn<int>("opens");
    QTest::newRow("open, close, open") << 0u << 2;
    QTest::newRow("five times in a row") << 0u << 5;
    QTest::newRow("switched to 115200 before the close") << 115200u << 2;
    QTest::newRow("switched to 9600 before each close") << 9600u << 3;
}

// Every parameterization closes the port and the next one opens it again at 1200 baud, odd parity.
// A pseudo-terminal drops the parity flag, so a port that keeps what it set at its first open finds
// the line changed under it.
void TestFSerialPort::openAfterClose_opensAgainAtTheRequestedRate()
{
    QFETCH(uint, switchTo);
    QFETCH(int, opens);
    if (!mPeer->isOpen())
        QSKIP(qPrintable("no pseudo-terminal: " + mPeer->errorString()));
    QSignalSpy logs(mPort.get(), &FSerialPort::log);
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);

    for (int open = 1; open <= opens; ++open) {
        QVERIFY2(openPty(1200), qPrintable(QString("open %1").arg(open)));
        QCOMPARE(mPeer->lineSpeed(), 1200);
        quint32 baud = 0;
        mPort->getCurrentBaudrate(&baud);
        QCOMPARE(baud, 1200u);

        // The reopened port carries data both ways.
        const QByteArray request = "request " + QByteArray::number(open);
        mPort->writeDataToPort(request);
        QVERIFY(mPeer->waitForReceived(request.size(), WaitMs));
        QCOMPARE(mPeer->takeReceived(), request);
        const QByteArray answer = "answer " + QByteArray::number(open);
        received.clear();
        QVERIFY(mPeer->write(answer));
        QTRY_COMPARE_WITH_TIMEOUT(joined(received), answer, WaitMs);

        if (switchTo != 0) {
            bool ok = false;
            mPort->setNewBaudrate(switchTo, &ok);
            QVERIFY(ok);
            QCOMPARE(mPeer->lineSpeed(), int(switchTo));
        }
        mPort->closePort();
    }
    for (const auto &arguments : logs)
        QVERIFY2(!arguments.at(0).toString().startsWith("Could not"), qPrintable(arguments.at(0).toString()));
    QVERIFY(!errors(portErrors).contains(QSerialPort::NotOpenError));
    QVERIFY(!errors(portErrors).contains(QSerialPort::OpenError));
}

void TestFSerialPort::closeNeverOpened_reportsNoError()
{
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    QSignalSpy closed(mPort.get(), &FSerialPort::finishedOpenPort);
    mPort->closePort();
    QCOMPARE(closed.size(), 1);
    QCOMPARE(portErrors.size(), 0);
}

void TestFSerialPort::data_travelsBothWays()
{
    REQUIRE_PTY(115200);
    QSignalSpy written(mPort.get(), &FSerialPort::dataWrittenToPort);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    mPort->writeDataToPort(QByteArray::fromHex("ffffffffff8200000000008900"));
    QCOMPARE(written.size(), 1);
    QVERIFY(mPeer->waitForReceived(13, WaitMs));
    QCOMPARE(mPeer->received().toHex(' '), QByteArray("ff ff ff ff ff 82 00 00 00 00 00 89 00"));

    QVERIFY(mPeer->write("reply"));
    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("reply"), WaitMs);
}

void TestFSerialPort::singleWireWrite_waitsLineTimeAndDropsEcho()
{
    REQUIRE_PTY(1200);
    mPeer->setEcho(true);
    QSignalSpy written(mPort.get(), &FSerialPort::dataWrittenToPort);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    const QByteArray request = QByteArray::fromHex("ffffffffff82010203040587");
    QElapsedTimer elapsed;
    elapsed.start();
    mPort->writeDataToPort(request, true);
    const qint64 blockedUs = elapsed.nsecsElapsed() / 1000;
    // 12 characters of 11 bits at 1200 baud with 5 % margin: 115500 us, after the bytes left.
    QVERIFY2(blockedUs >= 115500, qPrintable(QString::number(blockedUs)));
    QCOMPARE(written.size(), 1);
    // The wait covered bytes that had left: they reached the line before any event ran.
    QVERIFY(waitReceivedWithoutEvents(*mPeer, 12));
    QCOMPARE(mPeer->received(), request);

    QVERIFY(mPeer->write("OK"));
    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("OK"), WaitMs);
}

void TestFSerialPort::twoWireWrite_isConfirmedOnceItsLineTimeHasPassed_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<qint64>("lineUs");
    // 12 x 11 / 1200 x 1.05 s
    QTest::newRow("12 bytes at 1200 baud") << 1200 << 12 << qint64(115500);
    // A 131 with 50 bytes to a sub-device address: 66 characters.
    QTest::newRow("66 bytes at 1200 baud") << 1200 << 66 << qint64(635250);
    QTest::newRow("66 bytes at 115200 baud") << 115200 << 66 << qint64(6619);
}

// The response time-out runs from the end of the request's transmission, so the confirmation waits for
// it on two wires as well. Nothing is echoed there, and nothing is taken for an echo.
void TestFSerialPort::twoWireWrite_isConfirmedOnceItsLineTimeHasPassed()
{
    QFETCH(int, baud);
    QFETCH(int, bytes);
    QFETCH(qint64, lineUs);
    REQUIRE_PTY(baud);
    QStringList events;
    connect(mPort.get(), &FSerialPort::dataWrittenToPort, this, [&] { events.append("written"); });
    connect(mPort.get(), &FSerialPort::newDataReadyFromPort, this,
            [&](const QByteArray &data) { events.append("data " + QString::number(data.size())); });
    // The far end sends every byte straight back: what arrives while the request is still on the line
    // follows its confirmation.
    mPeer->setEcho(true);
    const QByteArray request(bytes, 'q');
    QElapsedTimer elapsed;
    elapsed.start();
    mPort->writeDataToPort(request, false);
    const qint64 blockedUs = elapsed.nsecsElapsed() / 1000;
    QVERIFY2(blockedUs >= lineUs, qPrintable(QString::number(blockedUs)));
    QCOMPARE(events, QStringList{"written"});
    QVERIFY(waitReceivedWithoutEvents(*mPeer, bytes));
    QCOMPARE(mPeer->received(), request);

    QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{"written", "data " + QString::number(bytes)}), WaitMs);
}

void TestFSerialPort::echo_isRemovedAcrossSplitReads()
{
    REQUIRE_PTY(115200);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    mPort->writeDataToPort(QByteArray("0123456789AB"), true);
    QVERIFY(mPeer->waitForReceived(12, WaitMs));

    // 8 of the 12 echo bytes: nothing for the link layer.
    QVERIFY(mPeer->write("01234567"));
    QVERIFY(waitPendingForProgram(*mPeer, 8));
    QTest::qWait(100);
    QCOMPARE(received.size(), 0);

    // The last 4 echo bytes and 2 of the answer.
    QVERIFY(mPeer->write("89ABxy"));
    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("xy"), WaitMs);
}

void TestFSerialPort::dtrAndRts_failOnPty_withTextsAndNoConfirmation()
{
    REQUIRE_PTY(1200);
    QSignalSpy logs(mPort.get(), &FSerialPort::log);
    QSignalSpy dtr(mPort.get(), &FSerialPort::dtrSet);
    QSignalSpy rts(mPort.get(), &FSerialPort::rtsSet);
    QSignalSpy errors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    QTest::ignoreMessage(QtDebugMsg, "FSerialPort: Couldn`t set DTR!");
    mPort->setDTRPin(true);
    QTest::ignoreMessage(QtDebugMsg, "FSerialPort: Couldn`t set RTS!");
    mPort->setRTSPin(false);
    QTest::qWait(50);
    QCOMPARE(dtr.size(), 0);
    QCOMPARE(rts.size(), 0);
    QCOMPARE(logs.size(), 2);
    QCOMPARE(logs.at(0).at(0).toString(), QString("Could not set DTR"));
    QCOMPARE(logs.at(1).at(0).toString(), QString("Could not set RTS"));
    // A line that cannot be driven is no port error: data still flows.
    QCOMPARE(errors.size(), 0);
}

void TestFSerialPort::echoesOfBackToBackWrites_areAllRemoved()
{
    REQUIRE_PTY(115200);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    // The second write follows before the echo of the first has been read.
    mPort->writeDataToPort(QByteArray("request"), true);
    mPort->writeDataToPort(QByteArray("PARL"), true);
    QVERIFY(mPeer->waitForReceived(11, WaitMs));

    QVERIFY(mPeer->write("requestPARLanswer"));
    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("answer"), WaitMs);
}

void TestFSerialPort::singleWireWrite_afterAnAnswerArrived_leavesTheAnswerWhole()
{
    REQUIRE_PTY(115200);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    QSignalSpy errors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    mPort->writeDataToPort(QByteArray("request"), true);
    QVERIFY(mPeer->waitForReceived(7, WaitMs));
    // The echo and the answer arrive before the port has read anything; a second write follows.
    QVERIFY(mPeer->write("requestanswer"));
    QVERIFY(waitPendingForProgram(*mPeer, 13));
    mPort->writeDataToPort(QByteArray("PARL"), true);
    QVERIFY(mPeer->waitForReceived(11, WaitMs));
    QVERIFY(mPeer->write("PARL"));

    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("answer"), WaitMs);
    QTest::qWait(50);
    QCOMPARE(joined(received), QByteArray("answer"));
    QCOMPARE(errors.size(), 0);
}

void TestFSerialPort::inputTakenByAQueuedCall_isNoReadError_data()
{
    QTest::addColumn<bool>("baudRateChange");
    QTest::addColumn<QByteArray>("delivered");
    QTest::newRow("single-wire write reads it") << false << QByteArray("answermore");
    QTest::newRow("baud-rate change discards it") << true << QByteArray("more");
}

void TestFSerialPort::inputTakenByAQueuedCall_isNoReadError()
{
    QFETCH(bool, baudRateChange);
    QFETCH(QByteArray, delivered);
    REQUIRE_PTY(115200);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    QSignalSpy errors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    // The baud rate changes after an answer on a line without echo.
    mPort->writeDataToPort(QByteArray("request"), !baudRateChange);
    QVERIFY(mPeer->waitForReceived(7, WaitMs));
    // The call is queued, as the link layer and the boot-loader clients make it, and the input already
    // waits in the line: the event loop sees the line readable, then runs the call, which takes the
    // input before the loop reports it.
    QMetaObject::invokeMethod(
        mPort.get(),
        [port = mPort.get(), baudRateChange] {
            if (baudRateChange) {
                bool changed = false;
                port->setNewBaudrate(9600, &changed);
            } else {
                port->writeDataToPort(QByteArray("PARL"), true);
            }
        },
        Qt::QueuedConnection);
    const QByteArray waiting = baudRateChange ? QByteArray("answer") : QByteArray("requestanswer");
    QVERIFY(mPeer->write(waiting));
    QVERIFY(waitPendingForProgram(*mPeer, int(waiting.size())));
    if (baudRateChange)
        QTRY_COMPARE_WITH_TIMEOUT(mPeer->lineSpeed(), 9600, WaitMs);
    else
        QTRY_COMPARE_WITH_TIMEOUT(mPeer->receivedSize(), 11, WaitMs);
    QVERIFY(mPeer->write(baudRateChange ? "more" : "PARLmore"));

    QTRY_COMPARE_WITH_TIMEOUT(joined(received), delivered, WaitMs);
    QCOMPARE(errors.size(), 0);
}

void TestFSerialPort::newBaudrate_isSeenByPeer()
{
    REQUIRE_PTY(1200);
    QSignalSpy logs(mPort.get(), &FSerialPort::log);
    bool ok = false;
    mPort->setNewBaudrate(19200, &ok);
    QVERIFY(ok);
    QCOMPARE(mPeer->lineSpeed(), 19200);
    quint32 baud = 0;
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 19200u);
    QCOMPARE(logs.size(), 1);
    QCOMPARE(logs.at(0).at(0).toString(), QString("Changed baudrate 19200"));
}

void TestFSerialPort::newBaudrate_fromOtherThread_throughBlockingCall()
{
    if (!mPeer->isOpen())
        QSKIP(qPrintable("no pseudo-terminal: " + mPeer->errorString()));
    // As the link layer runs it: the port on its own thread, the change as a blocking queued call.
    PortOnItsThread threaded;
    FSerialPort *port = threaded.port;
    QVERIFY(threaded.open(mPeer->portName(), 1200));
    QMetaObject::invokeMethod(port, "writeDataToPort", Qt::QueuedConnection, Q_ARG(QByteArray, QByteArray(40, 'r')),
                              Q_ARG(bool, true));
    bool ok = false;
    QVERIFY(QMetaObject::invokeMethod(port, "setNewBaudrate", Qt::BlockingQueuedConnection, Q_ARG(uint, 38400u),
                                      Q_ARG(bool *, &ok)));
    QVERIFY(ok);
    QCOMPARE(mPeer->lineSpeed(), 38400);
    QVERIFY(mPeer->waitForReceived(40, WaitMs));
    QVERIFY(threaded.stop());
}

void TestFSerialPort::newBaudrate_onClosedPort_failsWithoutTouchingAnything()
{
    QSignalSpy opened(mPort.get(), &FSerialPort::finishedOpenPort);
    QSignalSpy logs(mPort.get(), &FSerialPort::log);
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    bool ok = true;
    mPort->setNewBaudrate(9600, &ok);
    QVERIFY(!ok);
    quint32 baud = 7;
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 0u);
    QCOMPARE(opened.size(), 0);
    QCOMPARE(logs.size(), 0);
    QCOMPARE(portErrors.size(), 0);
}

void TestFSerialPort::newBaudrate_withBlockedOutput_returnsAndKeepsOutput()
{
    REQUIRE_PTY(115200);
    // Nobody reads the line: the system's buffer fills and Qt keeps the rest. Waiting for all of it
    // to be written would never end.
    mPeer->setPaused(true);
    const QByteArray bulk(1 << 20, 'b');
    // A plain write would wait out the line time of a megabyte, some 90 s. The repeat sender queues
    // its buffer without waiting; it is stopped before it sends a second time.
    QObject context;
    connect(mPort.get(), &FSerialPort::putPortOutputToLog, &context,
            [&] { mPort->writeDataToPortContinuously(bulk, true, 0); });
    mPort->writeDataToPortContinuously(bulk, false, 0);
    QTest::qWait(100);
    QElapsedTimer elapsed;
    elapsed.start();
    bool ok = false;
    mPort->setNewBaudrate(57600, &ok);
    QVERIFY(ok);
    QVERIFY2(elapsed.elapsed() < 30000, "setNewBaudrate waited for output that cannot leave");
    QCOMPARE(mPeer->lineSpeed(), 57600);

    // Output queued before the change is not discarded.
    mPeer->setPaused(false);
    QVERIFY(mPeer->waitForReceived(bulk.size(), 30000));
    QCOMPARE(mPeer->received(), bulk);
}

void TestFSerialPort::newBaudrate_discardsStaleInput()
{
    REQUIRE_PTY(1200);
    QSignalSpy received(mPort.get(), &FSerialPort::newDataReadyFromPort);
    // Bytes that wait unread when the rate changes were sent at the old rate: dropped.
    QVERIFY(mPeer->write("stale"));
    QVERIFY(waitPendingForProgram(*mPeer, 5));
    bool ok = false;
    mPort->setNewBaudrate(9600, &ok);
    QVERIFY(ok);
    QVERIFY(mPeer->write("new"));
    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("new"), WaitMs);
}

// As the link layer runs it after a 129 answer: the write and the change queued to the port's thread,
// the change discarding input that still holds the write's echo.
void TestFSerialPort::newBaudrate_rightAfterASingleWireWrite_discardsItsEchoWithTheInput()
{
    if (!mPeer->isOpen())
        QSKIP(qPrintable("no pseudo-terminal: " + mPeer->errorString()));
    mPeer->setEcho(true);
    PortOnItsThread threaded;
    FSerialPort *port = threaded.port;
    QSignalSpy received(&threaded.relay, &PortRelay::newDataReadyFromPort);
    QVERIFY(threaded.open(mPeer->portName(), 1200));

    const QByteArray request(16, 'r');
    QMetaObject::invokeMethod(port, "writeDataToPort", Qt::QueuedConnection, Q_ARG(QByteArray, request),
                              Q_ARG(bool, true));
    bool ok = false;
    QVERIFY(QMetaObject::invokeMethod(port, "setNewBaudrate", Qt::BlockingQueuedConnection, Q_ARG(uint, 9600u),
                                      Q_ARG(bool *, &ok)));
    QVERIFY(ok);
    QCOMPARE(mPeer->received(), request);
    mPeer->setEcho(false);

    QVERIFY(mPeer->write("answer!!"));
    QTRY_COMPARE_WITH_TIMEOUT(joined(received), QByteArray("answer!!"), WaitMs);
}

void TestFSerialPort::portErrors_areForwardedOnceInARow()
{
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    const auto report = [this](QSerialPort::SerialPortError error) {
        QVERIFY(QMetaObject::invokeMethod(mPort.get(), "errorOccurred", Qt::DirectConnection,
                                          Q_ARG(QSerialPort::SerialPortError, error)));
    };
    report(QSerialPort::NoError);
    report(QSerialPort::ResourceError);
    report(QSerialPort::ResourceError);
    report(QSerialPort::NoError);
    report(QSerialPort::ResourceError);
    report(QSerialPort::ReadError);
    QCOMPARE(errors(portErrors), (QList<QSerialPort::SerialPortError>{QSerialPort::ResourceError, QSerialPort::NoError,
                                                                      QSerialPort::ResourceError, QSerialPort::ReadError}));
}

void TestFSerialPort::writeOnClosedPort_reportsOneWriteError()
{
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    QSignalSpy written(mPort.get(), &FSerialPort::dataWrittenToPort);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("device not open"));
    mPort->writeDataToPort(QByteArray("lost"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("device not open"));
    mPort->writeDataToPort(QByteArray("lost"), true);
    QCOMPARE(written.size(), 0);
    QCOMPARE(errors(portErrors), QList<QSerialPort::SerialPortError>{QSerialPort::WriteError});
}

void TestFSerialPort::writeToAPortThatLostItsDevice_isNotConfirmed_data()
{
    QTest::addColumn<bool>("farEndGone");
    QTest::addColumn<bool>("singleWire");
    QTest::newRow("far end gone, two wires") << true << false;
    QTest::newRow("far end gone, single wire") << true << true;
    QTest::newRow("resource error reported, two wires") << false << false;
    QTest::newRow("resource error reported, single wire") << false << true;
}

// An adapter pulled out: the port reports a resource error, and a write after it has reached no line.
// Only opening the port again makes writes count.
void TestFSerialPort::writeToAPortThatLostItsDevice_isNotConfirmed()
{
    QFETCH(bool, farEndGone);
    QFETCH(bool, singleWire);
    REQUIRE_PTY(115200);
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    QSignalSpy written(mPort.get(), &FSerialPort::dataWrittenToPort);
    mPort->writeDataToPort(QByteArray("before"), singleWire);
    QCOMPARE(written.size(), 1);
    QVERIFY(mPeer->waitForReceived(6, WaitMs));

    if (farEndGone) {
        mPeer->hangUp();
    } else {
        QVERIFY(QMetaObject::invokeMethod(mPort.get(), "errorOccurred", Qt::DirectConnection,
                                          Q_ARG(QSerialPort::SerialPortError, QSerialPort::ResourceError)));
    }
    // A pseudo-terminal that has hung up reads as the end of a file, which Qt names a read or a
    // resource error after the errno it finds; the failed write then names a resource error.
    QTRY_VERIFY_WITH_TIMEOUT(!portErrors.isEmpty(), WaitMs);
    mPort->writeDataToPort(QByteArray("after"), singleWire);
    QTest::qWait(100);
    QCOMPARE(written.size(), 1);
    // The port's errors are forwarded as before, each once in a row.
    const QList<QSerialPort::SerialPortError> reported = errors(portErrors);
    QCOMPARE(reported.last(), QSerialPort::ResourceError);
    for (qsizetype i = 1; i < reported.size(); ++i)
        QVERIFY(reported.at(i) != reported.at(i - 1));

    if (!farEndGone) {
        mPort->closePort();
        QVERIFY(openPty(115200));
        mPort->writeDataToPort(QByteArray("again"), singleWire);
        QCOMPARE(written.size(), 2);
    }
}

void TestFSerialPort::changeSettings_whileOpen_andClosed()
{
    QSignalSpy changed(mPort.get(), &FSerialPort::settingsChanged);
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    mPort->changeSettings(9600, FSerialPort::Data8, FSerialPort::NoParity, FSerialPort::OneStop, FSerialPort::NoFlowControl);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(errors(portErrors), QList<QSerialPort::SerialPortError>{QSerialPort::NotOpenError});
    quint32 baud = 7;
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 0u);

    REQUIRE_PTY(1200);
    mPort->changeSettings(115200, FSerialPort::Data8, FSerialPort::EvenParity, FSerialPort::OneStop,
                          FSerialPort::NoFlowControl);
    QCOMPARE(changed.size(), 1);
    mPort->getCurrentBaudrate(&baud);
    QCOMPARE(baud, 115200u);
    QCOMPARE(mPeer->lineSpeed(), 115200);

    // A retry of a firmware update asks for the same settings again.
    mPort->changeSettings(115200, FSerialPort::Data8, FSerialPort::EvenParity, FSerialPort::OneStop,
                          FSerialPort::NoFlowControl);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(errors(portErrors), QList<QSerialPort::SerialPortError>{QSerialPort::NotOpenError});
}

void TestFSerialPort::repeatSending_startsAndStops()
{
    REQUIRE_PTY(115200);
    QSignalSpy logged(mPort.get(), &FSerialPort::putPortOutputToLog);
    mPort->writeDataToPortContinuously(QByteArray("AB"), false, 10);
    QVERIFY(mPeer->waitForReceived(6, WaitMs));
    QVERIFY(logged.size() >= 3);
    QCOMPARE(logged.at(0).at(0).toByteArray(), QByteArray("AB"));
    QCOMPARE(logged.at(0).at(1).toBool(), true);

    mPort->writeDataToPortContinuously(QByteArray("AB"), true, 10);
    const qsizetype sent = logged.size();
    QTest::qWait(100);
    QCOMPARE(logged.size(), sent);
    // Every repetition reached the line whole, and nothing followed the stop.
    QVERIFY(mPeer->waitForReceived(2 * sent, WaitMs));
    QCOMPARE(mPeer->received(), QByteArray("AB").repeated(sent));
}

QTEST_GUILESS_MAIN(TestFSerialPort)
#include "tst_fserialport.moc"
