#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_LinkLayer.h"
#include "protocol/parlink/PARLINK_MASTER_AppLayer.h"
#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"
#include "tests/protocol/parlink/FacadeTestSupport.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"
#include "tests/support/PtyPeer.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Session = PARLINK_Session;

using namespace FacadeTest;

class TestParlinkFacade : public QObject {
    Q_OBJECT
private slots:
    void portScan_reportsOnlyChanges_data();
    void portScan_reportsOnlyChanges();
    void versionGetInformation_appendsVersionAndDate();
    void portOpen_passesSettingsAndStartsAt1200();
    void portClose_setsCloseLevelsBeforeClosing();
    void sessionStart_stopsTheRunningSessionFirst();
    void sessionStop_withoutSession_addressesTheSlaveLayer();
    void deletedCallerSession_isLetGoByTheLinkLayer();
    void bluetooth_withoutConnection_isHarmless();
    void slaveRole_afterA137_checksTheNextRequestsAddress();
    void reopen_runsSessionsBeforeAndAfter_data();
    void reopen_runsSessionsBeforeAndAfter();
    void stopInReplyHandler_sendsNothingMore_data();
    void stopInReplyHandler_sendsNothingMore();
    void powerCycleOpen_afterAnEarlierSession_reportsNoLinkError_data();
    void powerCycleOpen_afterAnEarlierSession_reportsNoLinkError();
    void wakeUpWhileAReplyArrives_replyIsDelivered();
};

void TestParlinkFacade::portScan_reportsOnlyChanges_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QStringList>("report");
    QTest::addColumn<QStringList>("storedAfter");

    QTest::newRow("nothing stored, nothing found") << QStringList{} << QStringList{} << true << QStringList{}
                                                   << QStringList{};
    QTest::newRow("first ports") << QStringList{} << QStringList{"COM3"} << true << QStringList{"COM3"}
                                 << QStringList{"COM3"};
    QTest::newRow("same ports, other order") << QStringList{"COM3", "COM4"} << QStringList{"COM4", "COM3"} << false
                                             << QStringList{} << QStringList{"COM3", "COM4"};
    QTest::newRow("one port gone") << QStringList{"COM3", "COM4"} << QStringList{"COM3"} << true << QStringList{"COM3"}
                                   << QStringList{"COM3"};
    QTest::newRow("all ports gone") << QStringList{"COM3"} << QStringList{} << true << QStringList{} << QStringList{};
    QTest::newRow("one port swapped") << QStringList{"COM4", "COM3"} << QStringList{"COM5", "COM3"} << true
                                      << QStringList{"COM3", "COM5"} << QStringList{"COM3", "COM5"};
}

void TestParlinkFacade::portScan_reportsOnlyChanges()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, found);
    QFETCH(bool, reported);
    QFETCH(QStringList, report);
    QFETCH(QStringList, storedAfter);

    const auto result = PARLINK::comparePortLists(stored, found);
    QCOMPARE(result.has_value(), reported);
    if (reported)
        QCOMPARE(*result, report);
    QCOMPARE(stored, storedAfter);
}

void TestParlinkFacade::versionGetInformation_appendsVersionAndDate()
{
    PARLINK stack;
    QStringList info{"ZEB-Conduit"};
    stack.versionGetInformation(&info);
    QCOMPARE(info, (QStringList{"ZEB-Conduit", "1.00", "230821"}));
    stack.versionGetInformation(nullptr);
}

void TestParlinkFacade::portOpen_passesSettingsAndStartsAt1200()
{
    // Declared before the stack, which still reports while it is torn down.
    QList<quint32> baudrates;
    PARLINK stack;
    QSignalSpy open(stack.linkLayer(), &PARLINK_LinkLayer::portOpen);
    connect(&stack, &PARLINK::sessionNewInfo, this, [&](PARLINK_SessionInfo *info) { baudrates.append(info->getBaudrate()); });

    PARLINK_Session::InterfaceSettings settings;
    settings.portName = "/dev/does-not-exist";
    settings.baudRate = 1200;
    settings.dataBits = FSerialPort::Data8;
    settings.parity = FSerialPort::OddParity;
    settings.stopBits = FSerialPort::OneStop;
    settings.singleWire = true;
    stack.portOpen(true, settings);

    QCOMPARE(open.size(), 1);
    QCOMPARE(open[0][0].toString(), QString("/dev/does-not-exist"));
    QCOMPARE(open[0][1].toInt(), 1200);
    QCOMPARE(open[0][3].value<FSerialPort::Parity>(), FSerialPort::OddParity);
    QCOMPARE(stack.linkLayer()->interfaceSettings(), settings);
    QVERIFY(!baudrates.isEmpty());
    QCOMPARE(baudrates.last(), 1200u);
}

void TestParlinkFacade::portClose_setsCloseLevelsBeforeClosing()
{
    QStringList events;
    PARLINK stack;
    PARLINK_LinkLayer *link = stack.linkLayer();
    connect(link, &PARLINK_LinkLayer::portSetDTRPin, this, [&](bool high) { events.append(QString("DTR %1").arg(high)); });
    connect(link, &PARLINK_LinkLayer::portSetRTSPin, this, [&](bool high) { events.append(QString("RTS %1").arg(high)); });
    connect(link, &PARLINK_LinkLayer::portClose, this, [&] { events.append("close"); });

    PARLINK_Session::InterfaceSettings settings;
    settings.dtrClose = true;
    settings.rtsClose = false;
    stack.portOpen(false, settings);
    QCOMPARE(events, (QStringList{"DTR 1", "RTS 0", "close"}));
}

void TestParlinkFacade::sessionStart_stopsTheRunningSessionFirst()
{
    auto first = masterSession({128});
    auto second = masterSession({135});
    PARLINK_Session device;
    QStringList events;
    PARLINK stack;
    connect(stack.masterLayer(), &PARLINK_MASTER_AppLayer::sessionStart, this, [&] { events.append("master start"); });
    connect(stack.masterLayer(), &PARLINK_MASTER_AppLayer::sessionStop, this, [&] { events.append("master stop"); });
    connect(stack.slaveLayer(), &PARLINK_SLAVE_AppLayer::sessionStart, this, [&] { events.append("slave start"); });
    connect(stack.slaveLayer(), &PARLINK_SLAVE_AppLayer::sessionStop, this, [&] { events.append("slave stop"); });

    stack.sessionStart(first.get());
    stack.sessionStart(second.get());
    QCOMPARE(stack.linkLayer()->session(), second.get());
    stack.sessionStart(&device);
    QCOMPARE(stack.linkLayer()->session(), &device);
    QCOMPARE(events, (QStringList{"master start", "master stop", "master start", "master stop", "slave start"}));
    QVERIFY(stack.slaveLayer()->isActive());
    QVERIFY(!stack.masterLayer()->isActive());
}

void TestParlinkFacade::sessionStop_withoutSession_addressesTheSlaveLayer()
{
    PARLINK stack;
    QSignalSpy slaveStop(stack.slaveLayer(), &PARLINK_SLAVE_AppLayer::sessionStop);
    QSignalSpy masterStop(stack.masterLayer(), &PARLINK_MASTER_AppLayer::sessionStop);
    stack.sessionStop();
    QCOMPARE(slaveStop.size(), 1);
    QCOMPARE(masterStop.size(), 0);
    QVERIFY(!stack.isSessionActive());
}

void TestParlinkFacade::deletedCallerSession_isLetGoByTheLinkLayer()
{
    auto stack = std::make_unique<PARLINK>();
    auto session = masterSession({128, 135});
    PARLINK_Session *gone = session.get();
    stack->sessionStart(gone);
    session.reset();
    QVERIFY(stack->linkLayer()->session() != gone);
    QVERIFY(!stack->isSessionActive());
    // Its pending request fires into a stack that no longer knows the session.
    QTest::qWait(250);
    stack->sessionStop();
    // And a stack torn down with a running caller session.
    auto running = masterSession({128});
    stack->sessionStart(running.get());
    stack.reset();
    QCOMPARE(running->getQueueLength(), 0);
}

void TestParlinkFacade::bluetooth_withoutConnection_isHarmless()
{
    PARLINK stack;
    stack.btleStartScan();
    stack.btleStopScan();
    stack.btleConnectTo("00:11:22:33:44:55");
    stack.btleDisconnect();
    const QVariant devices = stack.btleGetDevices();
    QVERIFY(!devices.isValid() || devices.toList().isEmpty() || devices.canConvert<QVariantList>());
}

void TestParlinkFacade::slaveRole_afterA137_checksTheNextRequestsAddress()
{
    PtyPeer master;
    SKIP_WITHOUT_PTY(master);

    QList<int> errors;
    PARLINK_Session device;
    device.setType(Session::PARLINK_ENUM_SESSION_TYPE_SLAVE);
    device.setAddress(Address);
    PARLINK stack;
    connect(&stack, &PARLINK::sessionNewInfo, this, [&](PARLINK_SessionInfo *info) {
        if (info->getError() != Session::PARLINK_ENUM_SESSION_NO_ERROR)
            errors.append(int(info->getError()));
    });
    stack.sessionStart(&device);

    PARLINK_Session::InterfaceSettings settings;
    settings.portName = master.portName();
    settings.baudRate = 1200;
    settings.dataBits = FSerialPort::Data8;
    settings.parity = FSerialPort::OddParity;
    settings.stopBits = FSerialPort::OneStop;
    QSignalSpy opened(&stack, &PARLINK::portNewState);
    stack.portOpen(true, settings);
    QVERIFY(opened.wait(TimeoutMs));
    QVERIFY(opened.first().first().toBool());

    const QByteArray answer137 = onTheLine(QByteArray::fromHex("86130004000189""02""0000"));
    QVERIFY(master.write(onTheLine(QByteArray::fromHex("82000000000089""00"))));
    QVERIFY(master.waitForReceived(answer137.size(), TimeoutMs));
    QCOMPARE(master.takeReceived().toHex(), answer137.toHex());

    // A request for another device is not answered...
    QVERIFY(master.write(onTheLine(QByteArray::fromHex("82130004000280""00"))));
    QTRY_COMPARE_WITH_TIMEOUT(errors, QList<int>{Session::PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS}, TimeoutMs);
    QTest::qWait(300);
    QCOMPARE(master.receivedSize(), 0);

    // ...one for this device is.
    const QByteArray answer128 = onTheLine(QByteArray::fromHex("86130004000180""04""0000""0000"));
    QVERIFY(master.write(onTheLine(QByteArray::fromHex("82130004000180""00"))));
    QVERIFY(master.waitForReceived(answer128.size(), TimeoutMs));
    QCOMPARE(master.takeReceived().toHex(), answer128.toHex());
}

void TestParlinkFacade::reopen_runsSessionsBeforeAndAfter_data()
{
    QTest::addColumn<bool>("switchTo115200");
    QTest::newRow("at 1200 baud") << false;
    QTest::newRow("switched to 115200 before the close") << true;
}

// Every parameterization closes the port; the next one opens it again at 1200 baud.
void TestParlinkFacade::reopen_runsSessionsBeforeAndAfter()
{
    QFETCH(bool, switchTo115200);
    PtyPeer device;
    SKIP_WITHOUT_PTY(device);
    ServiceSide service;
    const auto settings = lineSettings(device.portName(), false);
    const QByteArray request135 = QByteArray::fromHex("ffffffffff""82130004000187""00""13");
    const QByteArray reply135 = onTheLine(QByteArray::fromHex("86130004000187""04""0000""020b"));

    QVERIFY(service.setPort(true, settings));
    QCOMPARE(device.lineSpeed(), 1200);
    auto before = masterSession({135});
    service.stack.sessionStart(before.get());
    QVERIFY(exchange(device, request135, reply135));
    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{135}, TimeoutMs);

    if (switchTo115200) {
        auto change = masterSession({129});
        setFields(*change, 129, {{"Baudrate", 115200}});
        service.stack.sessionStart(change.get());
        QVERIFY(exchange(device, QByteArray::fromHex("ffffffffff""82130004000181""03""01c200""d5"),
                         onTheLine(QByteArray::fromHex("86130004000181""02""0000"))));
        QTRY_COMPARE_WITH_TIMEOUT(service.replies, (QList<int>{135, 129}), TimeoutMs);
        QCOMPARE(device.lineSpeed(), 115200);
    }

    QVERIFY(service.setPort(false, settings));
    QVERIFY(service.setPort(true, settings));
    QCOMPARE(device.lineSpeed(), 1200);
    QCOMPARE(service.stack.linkLayer()->sessionInfo()->getBaudrate(), 1200u);
    service.replies.clear();
    auto after = masterSession({135});
    service.stack.sessionStart(after.get());
    QVERIFY(exchange(device, request135, reply135));
    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{135}, TimeoutMs);
    QCOMPARE(service.linkErrors, QList<int>{});
}

void TestParlinkFacade::stopInReplyHandler_sendsNothingMore_data()
{
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("128, then 135 not sent") << QList<int>{128, 135}
                                            << QByteArray::fromHex("ffffffffff""82130004000180""00""14")
                                            << QByteArray::fromHex("86130004000180""04""0000""00ff");
    QTest::newRow("129, then 135 not sent after the baud-rate pause")
        << QList<int>{129, 135} << QByteArray::fromHex("ffffffffff""82130004000181""03""01c200""d5")
        << QByteArray::fromHex("86130004000181""02""0000");
    QTest::newRow("refused 131, then 130 not sent")
        << QList<int>{131, 130} << QByteArray::fromHex("ffffffffff""82130004000183""04""0010""aabb""12")
        << QByteArray::fromHex("86130004000183""02""0001");
}

// A job that finds a reply wrong stops its session inside its reply handler.
void TestParlinkFacade::stopInReplyHandler_sendsNothingMore()
{
    QFETCH(QList<int>, commands);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    PtyPeer device;
    SKIP_WITHOUT_PTY(device);
    ServiceSide service;
    connect(&service.stack, &PARLINK::sessionNewData, this, [&] { service.stack.sessionStop(); });
    QVERIFY(service.setPort(true, lineSettings(device.portName(), false)));

    auto session = masterSession(commands);
    setFields(*session, 129, {{"Baudrate", 115200}});
    setFields(*session, 131, {{"Address", 16}, {"BytesToWrite", 2}, {"Bytes", QByteArray::fromHex("aabb")}});
    service.stack.sessionStart(session.get());
    QVERIFY(exchange(device, request, onTheLine(reply)));
    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{commands.first()}, TimeoutMs);

    QTest::qWait(1000);
    QCOMPARE(device.receivedSize(), 0);
    QCOMPARE(service.linkErrors, QList<int>{});
}

void TestParlinkFacade::powerCycleOpen_afterAnEarlierSession_reportsNoLinkError_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("device address, 300 ms time-out")
        << QByteArray::fromHex("1300040000") << QByteArray::fromHex("ffffffffff""82130004000087""00""12")
        << QByteArray::fromHex("86130004000087""04""0000""020b");
    QTest::newRow("sub-device address, 600 ms time-out")
        << Address << QByteArray::fromHex("ffffffffff""82130004000187""00""13")
        << QByteArray::fromHex("86130004000187""04""0000""020b");
}

void TestParlinkFacade::powerCycleOpen_afterAnEarlierSession_reportsNoLinkError()
{
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    PtyPeer device;
    SKIP_WITHOUT_PTY(device);
    ServiceSide service;
    const auto settings = lineSettings(device.portName(), true, 50, 50);

    QVERIFY(service.setPort(true, settings));
    QVERIFY(exchange(device, "PARL", {}));
    auto earlier = masterSession({135}, address);
    service.stack.sessionStart(earlier.get());
    QVERIFY(exchange(device, request, onTheLine(reply)));
    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{135}, TimeoutMs);

    // The next parameterization: the port closes and opens again, and no session runs yet.
    QVERIFY(service.setPort(false, settings));
    QVERIFY(service.setPort(true, settings));
    QVERIFY(exchange(device, "PARL", {}));
    // Longer than the response time-out.
    QTest::qWait(1000);
    QCOMPARE(service.linkErrors, QList<int>{});
    QCOMPARE(device.receivedSize(), 0);
}

// On a pseudo-terminal the power cycle's waits run out, so the wake-up string leaves after the first
// request, here while the device is already answering it.
void TestParlinkFacade::wakeUpWhileAReplyArrives_replyIsDelivered()
{
    PtyPeer device;
    SKIP_WITHOUT_PTY(device);
    ServiceSide service;
    auto session = masterSession({135});
    // The request leaves 150 ms after the start, the wake-up string 500 ms after the open.
    service.stack.sessionStart(session.get());
    QVERIFY(service.setPort(true, lineSettings(device.portName(), true, 0, 300)));
    QVERIFY(exchange(device, QByteArray::fromHex("ffffffffff""82130004000187""00""13"), LinkLayerTest::preambles(5)));

    // More preamble bytes keep the reply under way until the wake-up string has been written.
    int preambles = 5;
    while (!device.waitForReceived(4, 100)) {
        QVERIFY2(preambles < 20, "no wake-up string");
        QVERIFY(device.write(LinkLayerTest::preambles(1)));
        ++preambles;
    }
    QCOMPARE(device.takeReceived(), QByteArray("PARL"));
    // Let the port's confirmation of the wake-up string reach the link layer.
    QTest::qWait(50);
    QVERIFY(device.write(LinkLayerTest::withChecksum(QByteArray::fromHex("86130004000187""04""0000""020b"))));
    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{135}, TimeoutMs);
    QCOMPARE(service.linkErrors, QList<int>{});
}

QTEST_GUILESS_MAIN(TestParlinkFacade)
#include "tst_parlink_facade.moc"
