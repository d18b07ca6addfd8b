#include "protocol/parlink/PARLINK_LinkLayer.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <spdlog/logger.h>
#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>

#include <memory>

using S = PARLINK_Session;

using namespace LinkLayerTest;

class TestParlinkLinkLayer : public QObject {
    Q_OBJECT

private slots:
    void transmit_framesWithPreambleAndChecksum_data();
    void transmit_framesWithPreambleAndChecksum();
    void response_isDeliveredWithoutPreambleAndChecksum_data();
    void response_isDeliveredWithoutPreambleAndChecksum();
    void receiveError_isReportedOnceAndCounted_data();
    void receiveError_isReportedOnceAndCounted();
    void errorCount_risesPerErrorAndRestartsWithSession();
    void responseTimeout_dependsOnSubslave_data();
    void responseTimeout_dependsOnSubslave();
    void strayByteAfterResponse_endsInTimeout();
    void bytesOutsideSession_areDropped();
    void portError_mapsToSessionError_data();
    void portError_mapsToSessionError();
    void burstAcknowledge_delayDependsOnBaudrate_data();
    void burstAcknowledge_delayDependsOnBaudrate();
    void burstWatchdog_endsBurstModeWithTimeout();
    void masterBurst_receivesFrameAfterFrame();
    void slaveBurst_sendsUntilAcknowledgeIsWrong();
    void writeConfirmation_countsOnlyForTheRunningSession_data();
    void writeConfirmation_countsOnlyForTheRunningSession();
    void wakeUpConfirmation_neverTimesOrMovesTheSession_data();
    void wakeUpConfirmation_neverTimesOrMovesTheSession();
    void baudrateChange_onClosedPortFails();
    void serialPortSignals_connectOnlyOnce();
    void twoLinkLayers_receiveIndependently();
};

void TestParlinkLinkLayer::transmit_framesWithPreambleAndChecksum_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("137 to the zero address") << 137 << hex("8200000000008900")
                                             << hex("FFFFFFFFFF 8200000000008900 0B");
    QTest::newRow("135") << 135 << hex("8201020300008700") << hex("FFFFFFFFFF 8201020300008700 05");
    QTest::newRow("130 with data") << 130 << hex("8201020300008203001004")
                                   << hex("FFFFFFFFFF 8201020300008203001004 17");
}

void TestParlinkLinkLayer::transmit_framesWithPreambleAndChecksum()
{
    QFETCH(int, command);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, wire);

    auto [link, master] = startedLink();
    QSignalSpy writes(link.get(), &PARLINK_LinkLayer::portWriteData);

    link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND(command), request);
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.at(0).at(0).toByteArray().toHex(' '), wire.toHex(' '));
    QCOMPARE(writes.at(0).at(1).toBool(), true); // single-wire until the facade says otherwise
    QCOMPARE(int(master->getCommand()), command);
    QCOMPARE(int(master->getState()), int(S::PARLINK_ENUM_SESSION_STATE_SENDING));
}

void TestParlinkLinkLayer::response_isDeliveredWithoutPreambleAndChecksum_data()
{
    QTest::addColumn<bool>("byteByByte");
    QTest::newRow("in one read") << false;
    QTest::newRow("byte by byte") << true;
}

void TestParlinkLinkLayer::response_isDeliveredWithoutPreambleAndChecksum()
{
    QFETCH(bool, byteByByte);

    auto [link, master] = startedLink();
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    QSignalSpy done(link.get(), &PARLINK_LinkLayer::sessionDataTxDone);
    sendRequest135(*link);
    QCOMPARE(done.size(), 1);
    QCOMPARE(int(master->getState()), int(S::PARLINK_ENUM_SESSION_STATE_INACTIVE));
    QVERIFY(timer(*link, "responseTimer")->isActive());

    if (byteByByte) {
        for (const char byte : Response135)
            feed(*link, QByteArray(1, byte));
    } else {
        feed(*link, Response135);
    }
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.at(0).at(0).toByteArray().toHex(' '), Response135Frame.toHex(' '));
    QCOMPARE(int(master->getState()), int(S::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY));
    QVERIFY(!timer(*link, "responseTimer")->isActive());
}

void TestParlinkLinkLayer::receiveError_isReportedOnceAndCounted_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");

    QTest::newRow("wrong checksum") << preambles(5) + hex("86010203000087040000020B0D")
                                    << int(S::PARLINK_ENUM_SESSION_ERROR_WRONG_CHECKSUM);
    QTest::newRow("too many preambles") << preambles(21) << int(S::PARLINK_ENUM_SESSION_ERROR_TOO_MANY_PREAMBELS);
    QTest::newRow("byte count past the buffer") << preambles(5) + hex("860102030000 87FC 0000") + QByteArray(250, 'x')
                                                << int(S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN);
    QTest::newRow("byte count without status") << preambles(5) + hex("860102030000 8701 00")
                                               << int(S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN);
}

void TestParlinkLinkLayer::receiveError_isReportedOnceAndCounted()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);

    auto [link, master] = startedLink();
    sendRequest135(*link);
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    InfoRecorder recorder(*link);
    int sessionErrorDuringReport = -1;
    QObject context;
    connect(link.get(), &PARLINK_LinkLayer::sessionNewInfo, &context, [&](PARLINK_SessionInfo *info) {
        if (info->getError() != 0)
            sessionErrorDuringReport = master->getError();
    });

    feed(*link, bytes);
    QVERIFY(frames.isEmpty());
    QCOMPARE(recorder.errors, QList<int>{error});
    QCOMPARE(sessionErrorDuringReport, error);
    QCOMPARE(int(link->sessionInfo()->getError()), 0);
    QCOMPARE(int(master->getError()), 0);
    QCOMPARE(link->sessionInfo()->getErrorCount(), 1);

    // The next good frame is received as if nothing had happened.
    feed(*link, Response135);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.at(0).at(0).toByteArray().toHex(' '), Response135Frame.toHex(' '));
    QCOMPARE(link->sessionInfo()->getErrorCount(), 1);
}

void TestParlinkLinkLayer::errorCount_risesPerErrorAndRestartsWithSession()
{
    auto [link, master] = startedLink();
    sendRequest135(*link);
    feed(*link, preambles(5) + hex("86010203000087040000020B0D"));
    feed(*link, preambles(5) + hex("86010203000087040000020B0D"));
    QCOMPARE(link->sessionInfo()->getErrorCount(), 2);

    link->sessionStart(master.get());
    QCOMPARE(link->sessionInfo()->getErrorCount(), 0);
}

void TestParlinkLinkLayer::responseTimeout_dependsOnSubslave_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<int>("timeoutMs");

    QTest::newRow("subslave 0") << hex("0102030000") << 300;
    QTest::newRow("subslave 0x0001") << hex("0102030001") << 600;
    QTest::newRow("subslave 0x0100") << hex("0102030100") << 600;
}

void TestParlinkLinkLayer::responseTimeout_dependsOnSubslave()
{
    QFETCH(QByteArray, address);
    QFETCH(int, timeoutMs);

    auto [link, master] = startedLink(S::PARLINK_ENUM_SESSION_TYPE_MASTER, address);
    InfoRecorder recorder(*link);
    QElapsedTimer elapsed;
    elapsed.start();
    QByteArray request = hex("8201020300008700");
    link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_135, request);
    written(*link);
    QCOMPARE(timer(*link, "responseTimer")->interval(), timeoutMs);

    QTRY_COMPARE_WITH_TIMEOUT(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_TIMEOUT}, 5000);
    QVERIFY2(elapsed.elapsed() >= timeoutMs - 5, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(link->sessionInfo()->getErrorCount(), 1);
}

void TestParlinkLinkLayer::strayByteAfterResponse_endsInTimeout()
{
    auto [link, master] = startedLink();
    sendRequest135(*link);
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    InfoRecorder recorder(*link);
    feed(*link, Response135);
    QCOMPARE(frames.size(), 1);
    QVERIFY(!timer(*link, "responseTimer")->isActive());

    feed(*link, hex("00"));
    QVERIFY(timer(*link, "responseTimer")->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_TIMEOUT}, 5000);
    QCOMPARE(frames.size(), 1);
}

void TestParlinkLinkLayer::bytesOutsideSession_areDropped()
{
    auto link = detachedLink();
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    auto master = session(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device);
    link->sessionStart(master.get());
    sendRequest135(*link);
    link->sessionStop();

    feed(*link, Response135);
    QVERIFY(frames.isEmpty());
    QVERIFY(!timer(*link, "responseTimer")->isActive());
    QVERIFY(!link->sessionInfo()->isRunning());
}

void TestParlinkLinkLayer::portError_mapsToSessionError_data()
{
    QTest::addColumn<int>("portError");
    QTest::addColumn<int>("error");

    QTest::newRow("DeviceNotFoundError") << int(QSerialPort::DeviceNotFoundError) << 14;
    QTest::newRow("PermissionError") << int(QSerialPort::PermissionError) << 14;
    QTest::newRow("OpenError") << int(QSerialPort::OpenError) << 14;
    QTest::newRow("NotOpenError") << int(QSerialPort::NotOpenError) << 14;
    QTest::newRow("WriteError") << int(QSerialPort::WriteError) << 15;
    QTest::newRow("ReadError") << int(QSerialPort::ReadError) << 15;
    QTest::newRow("ResourceError") << int(QSerialPort::ResourceError) << 15;
    QTest::newRow("UnsupportedOperationError") << int(QSerialPort::UnsupportedOperationError) << 15;
    QTest::newRow("TimeoutError") << int(QSerialPort::TimeoutError) << 8;
    QTest::newRow("UnknownError") << int(QSerialPort::UnknownError) << 255;
    QTest::newRow("NoError is no error") << int(QSerialPort::NoError) << 0;
}

void TestParlinkLinkLayer::portError_mapsToSessionError()
{
    QFETCH(int, portError);
    QFETCH(int, error);

    auto [link, master] = startedLink();
    sendRequest135(*link);
    InfoRecorder recorder(*link);

    QVERIFY(QMetaObject::invokeMethod(link.get(), "portErrorOccured", Qt::DirectConnection,
                                      Q_ARG(QSerialPort::SerialPortError, QSerialPort::SerialPortError(portError))));
    if (error == 0) {
        QVERIFY(recorder.reports == 0);
        QCOMPARE(link->sessionInfo()->getErrorCount(), 0);
        QVERIFY(timer(*link, "responseTimer")->isActive());
    } else {
        QCOMPARE(recorder.errors, QList<int>{error});
        QCOMPARE(link->sessionInfo()->getErrorCount(), 1);
    }
}

void TestParlinkLinkLayer::burstAcknowledge_delayDependsOnBaudrate_data()
{
    QTest::addColumn<uint>("baud");
    QTest::addColumn<int>("delayMs");

    QTest::newRow("1200") << 1200u << 10;
    QTest::newRow("4800") << 4800u << 10;
    QTest::newRow("9600") << 9600u << 1;
    QTest::newRow("38400") << 38400u << 1;
    QTest::newRow("57600") << 57600u << 0;
    QTest::newRow("115200") << 115200u << 0;
}

void TestParlinkLinkLayer::burstAcknowledge_delayDependsOnBaudrate()
{
    QFETCH(uint, baud);
    QFETCH(int, delayMs);

    auto [link, master] = startedLink();
    QVERIFY(QMetaObject::invokeMethod(link.get(), "sessionSetBaudrate", Qt::DirectConnection, Q_ARG(uint, baud)));
    link->sessionBurstModeSetActivate();
    QSignalSpy writes(link.get(), &PARLINK_LinkLayer::portWriteData);

    link->sessionBurstModeSetAcknowledge();
    QTimer *delay = timer(*link, "burstAckDelay");
    if (delayMs == 0) {
        QCOMPARE(writes.size(), 1);
        QVERIFY(!delay->isActive());
    } else {
        QCOMPARE(writes.size(), 0);
        QVERIFY(delay->isActive());
        QCOMPARE(delay->interval(), delayMs);
        QTRY_COMPARE_WITH_TIMEOUT(writes.size(), 1, 2000);
    }
    QCOMPARE(writes.at(0).at(0).toByteArray(), hex("0F"));
    QTimer *watchdog = timer(*link, "burstWatchdog");
    QVERIFY(watchdog->isActive());
    QCOMPARE(watchdog->interval(), 2000);
}

void TestParlinkLinkLayer::burstWatchdog_endsBurstModeWithTimeout()
{
    auto [link, master] = startedLink();
    InfoRecorder recorder(*link);
    QSignalSpy deactivated(link.get(), &PARLINK_LinkLayer::sessionBurstModeDeactive);

    link->sessionBurstModeSetActivate();
    QVERIFY(link->sessionInfo()->isBurstModeActive());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_TIMEOUT_BURSTMODE}, 6000);
    QCOMPARE(deactivated.size(), 1);
    QVERIFY(!link->sessionInfo()->isBurstModeActive());
}

void TestParlinkLinkLayer::masterBurst_receivesFrameAfterFrame()
{
    auto [link, master] = startedLink();
    QByteArray request = hex("8201020300008E00");
    link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_142, request);
    written(*link);
    // As the master application layer does on the reply to 142, while the frame is delivered.
    QObject context;
    connect(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady, &context, [&] {
        if (!link->sessionInfo()->isBurstModeActive())
            link->sessionBurstModeSetActivate();
    });
    feed(*link, preambles(5) + hex("8601020300008E0200000A"));
    QVERIFY(link->sessionInfo()->isBurstModeActive());
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);

    const QByteArray burst = preambles(5) + hex("8601020300008B08000001203F8000009B");
    feed(*link, burst);
    feed(*link, burst);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames.at(1).at(0).toByteArray().toHex(' '), hex("8601020300008B08000001203F800000").toHex(' '));
    QCOMPARE(int(master->getState()), int(S::PARLINK_ENUM_SESSION_STATE_INACTIVE));

    // The round trip runs from the burst frame's first preamble byte to the written acknowledgement.
    QVERIFY(QMetaObject::invokeMethod(link.get(), "sessionSetBaudrate", Qt::DirectConnection, Q_ARG(uint, 115200u)));
    link->sessionBurstModeSetAcknowledge();
    written(*link);
    QVERIFY(link->sessionInfo()->getBurstRoundTripLatencyNs() > 0);
    QVERIFY(link->sessionInfo()->isBurstModeActive());
}

void TestParlinkLinkLayer::slaveBurst_sendsUntilAcknowledgeIsWrong()
{
    auto [link, slave] = startedLink(S::PARLINK_ENUM_SESSION_TYPE_SLAVE, Device);
    connect(link.get(), &PARLINK_LinkLayer::sessionDataFetchTxBufferForBurst, link.get(),
            [](QByteArray &buffer) { buffer = hex("8601020300008B08000001203F800000"); });
    QSignalSpy writes(link.get(), &PARLINK_LinkLayer::portWriteData);
    InfoRecorder recorder(*link);
    QSignalSpy deactivated(link.get(), &PARLINK_LinkLayer::sessionBurstModeDeactive);
    const QByteArray wire = hex("FFFFFFFFFF 8601020300008B08000001203F800000 9B");

    link->sessionBurstModeSetActivate();
    QCOMPARE(writes.size(), 0); // the first burst frame follows 250 ms later
    QTRY_COMPARE_WITH_TIMEOUT(writes.size(), 1, 3000);
    QCOMPARE(writes.at(0).at(0).toByteArray().toHex(' '), wire.toHex(' '));
    written(*link);
    QCOMPARE(int(slave->getState()), int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_BURST_ACK));
    QVERIFY(timer(*link, "burstWatchdog")->isActive());

    feed(*link, hex("0F"));
    QTRY_COMPARE_WITH_TIMEOUT(writes.size(), 2, 3000);
    QCOMPARE(writes.at(1).at(0).toByteArray().toHex(' '), wire.toHex(' '));
    written(*link);

    feed(*link, hex("0E"));
    QCOMPARE(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_BURST_ACK});
    QCOMPARE(deactivated.size(), 1);
    QVERIFY(!link->sessionInfo()->isBurstModeActive());
    // Nothing further is sent once burst mode has ended.
    QTest::qWait(300);
    QCOMPARE(writes.size(), 2);
}

void TestParlinkLinkLayer::baudrateChange_onClosedPortFails()
{
    auto link = detachedLink();
    InfoRecorder recorder(*link);
    bool ok = true;
    link->sessionBaudrateSetNew(9600, &ok);
    QVERIFY(!ok);
    QCOMPARE(link->sessionInfo()->getBaudrate(), 0u);
    QVERIFY(recorder.reports == 0);
}

void TestParlinkLinkLayer::writeConfirmation_countsOnlyForTheRunningSession_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("no session ever ran") << "none";
    QTest::newRow("write of a session stopped before the confirmation") << "stopped";
    QTest::newRow("write of an earlier session, confirmed in a later one") << "later";
}

// A confirmation that does not belong to the running session neither starts the response time-out
// (which would end in a TIMEOUT nobody asked for) nor moves the session's state.
void TestParlinkLinkLayer::writeConfirmation_countsOnlyForTheRunningSession()
{
    QFETCH(QString, scenario);
    auto link = detachedLink();
    auto first = session(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device);
    auto second = session(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device);
    if (scenario != "none") {
        link->sessionStart(first.get());
        QByteArray request = hex("8201020300008700");
        link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_135, request);
        link->sessionStop();
    }
    if (scenario == "later") {
        link->sessionStart(second.get());
        QCOMPARE(int(second->getState()), int(S::PARLINK_ENUM_SESSION_STATE_INACTIVE));
    }
    QSignalSpy done(link.get(), &PARLINK_LinkLayer::sessionDataTxDone);
    QSignalSpy info(link.get(), &PARLINK_LinkLayer::sessionNewInfo);
    InfoRecorder recorder(*link);

    written(*link);
    QCOMPARE(done.size(), 0);
    QCOMPARE(info.size(), 0);
    QVERIFY(!timer(*link, "responseTimer")->isActive());
    QCOMPARE(int(link->session()->getState()), int(S::PARLINK_ENUM_SESSION_STATE_INACTIVE));
    QTest::qWait(400);
    QCOMPARE(recorder.errors, QList<int>{});

    // The running session's own next write still counts.
    if (scenario == "later") {
        sendRequest135(*link);
        QCOMPARE(done.size(), 1);
        QVERIFY(timer(*link, "responseTimer")->isActive());
    }
}

void TestParlinkLinkLayer::wakeUpConfirmation_neverTimesOrMovesTheSession_data()
{
    QTest::addColumn<bool>("sessionRunning");
    QTest::newRow("after an earlier session, none running") << false;
    QTest::newRow("while the reply to a request is arriving") << true;
}

void TestParlinkLinkLayer::wakeUpConfirmation_neverTimesOrMovesTheSession()
{
    QFETCH(bool, sessionRunning);
    auto [link, master] = startedLink();
    S::InterfaceSettings settings = link->interfaceSettings();
    settings.powerCycle = true;
    settings.powerDownMs = 0;
    settings.startupMs = 0;
    link->setInterfaceSettings(settings);
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    InfoRecorder recorder(*link);
    // No port behind the lines either.
    QObject::disconnect(link.get(), &PARLINK_LinkLayer::portSetDTRPin, link->serialPort(), nullptr);
    QObject::disconnect(link.get(), &PARLINK_LinkLayer::portSetRTSPin, link->serialPort(), nullptr);
    // The power cycle writes from a pool thread.
    QList<QByteArray> writes;
    QObject receiver;
    connect(link.get(), &PARLINK_LinkLayer::portWriteData, &receiver,
            [&](const QByteArray &data, bool) { writes.append(data); }, Qt::QueuedConnection);

    if (!sessionRunning) {
        sendRequest135(*link);
        feed(*link, Response135);
        QCOMPARE(frames.size(), 1);
        link->sessionStop();
        QTRY_COMPARE_WITH_TIMEOUT(writes.size(), 1, 5000);
        writes.clear();
    }
    // The port is open: the power cycle runs and ends with the wake-up string.
    QVERIFY(QMetaObject::invokeMethod(link.get(), "portStateChanged", Qt::DirectConnection, Q_ARG(bool, true)));
    if (sessionRunning) {
        QByteArray request = hex("8201020300008700");
        link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_135, request);
    }
    QTRY_COMPARE_WITH_TIMEOUT(writes.size(), sessionRunning ? 2 : 1, 5000);
    QCOMPARE(writes.last(), QByteArray("PARL"));

    if (sessionRunning) {
        written(*link);  // the request
        feed(*link, Response135.left(9));
        const int receiving = int(master->getState());
        QCOMPARE(receiving, int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS));
        written(*link);  // the wake-up string, while the reply arrives
        QCOMPARE(int(master->getState()), receiving);
        feed(*link, Response135.mid(9));
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.at(0).at(0).toByteArray().toHex(' '), Response135Frame.toHex(' '));
    } else {
        written(*link);
        QVERIFY(!timer(*link, "responseTimer")->isActive());
    }
    // Longer than the response time-out.
    QTest::qWait(500);
    QCOMPARE(recorder.errors, QList<int>{});
}

void TestParlinkLinkLayer::serialPortSignals_connectOnlyOnce()
{
    auto sink = std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(16);
    const auto previous = spdlog::default_logger();
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("test", sink));
    const auto restore = qScopeGuard([&] { spdlog::set_default_logger(previous); });

    PARLINK_LinkLayer link(nullptr, S::PARLINK_HW_UART);
    QObject::disconnect(&link, &PARLINK_LinkLayer::portWriteData, link.serialPort(), nullptr);
    // As the firmware update does: again and again, also without having taken the port.
    link.connectSerialPortSignals();
    link.connectSerialPortSignals();
    auto master = session(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device);
    link.sessionStart(master.get());
    sendRequest135(link);

    QSignalSpy frames(&link, &PARLINK_LinkLayer::sessionDataRxBufferReady);
    InfoRecorder recorder(link);
    FSerialPort *port = link.serialPort();
    // Handed over twice, a piece of the frame would break it.
    emit port->newDataReadyFromPort(Response135.left(9));
    emit port->newDataReadyFromPort(Response135.mid(9));
    QCOMPARE(frames.size(), 1);
    QVERIFY(recorder.errors.isEmpty());

    emit port->log(QStringLiteral("Changed baudrate 9600"));
    const auto messages = sink->last_raw();
    QCOMPARE(messages.size(), size_t(1));
    QCOMPARE(messages.front().level, spdlog::level::info);
    QCOMPARE(QString::fromStdString(std::string(messages.front().payload.begin(), messages.front().payload.end())),
             QStringLiteral("Changed baudrate 9600"));

    // Lent to a boot loader, the port no longer reaches the link layer.
    link.disconnectSerialPortSignals();
    emit port->log(QStringLiteral("Could not change baudrate"));
    emit port->newDataReadyFromPort(Response135);
    QCOMPARE(sink->last_raw().size(), size_t(1));
    QCOMPARE(frames.size(), 1);
}

void TestParlinkLinkLayer::twoLinkLayers_receiveIndependently()
{
    // A master and a simulated device in one process: their receivers must not share anything.
    auto first = detachedLink();
    auto second = detachedLink();
    auto master = session(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device);
    auto slave = session(S::PARLINK_ENUM_SESSION_TYPE_SLAVE, Device);
    first->sessionStart(master.get());
    second->sessionStart(slave.get());
    sendRequest135(*first);
    QSignalSpy firstFrames(first.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    QSignalSpy secondFrames(second.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);

    const QByteArray request = preambles(5) + hex("820102030000820300100417");
    const QByteArray response = preambles(7) + hex("86010203000087040000020B0C");
    for (qsizetype i = 0; i < std::max(request.size(), response.size()); ++i) {
        if (i < response.size())
            feed(*first, response.mid(i, 1));
        if (i < request.size())
            feed(*second, request.mid(i, 1));
    }
    QCOMPARE(firstFrames.size(), 1);
    QCOMPARE(secondFrames.size(), 1);
    QCOMPARE(firstFrames.at(0).at(0).toByteArray().toHex(' '), Response135Frame.toHex(' '));
    QCOMPARE(secondFrames.at(0).at(0).toByteArray().toHex(' '), hex("8201020300008203001004").toHex(' '));
    QCOMPARE(int(slave->getCommand()), 130);
}

QTEST_MAIN(TestParlinkLinkLayer)
#include "tst_parlink_linklayer.moc"
