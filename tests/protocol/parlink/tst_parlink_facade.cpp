#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_LinkLayer.h"
#include "protocol/parlink/PARLINK_MASTER_AppLayer.h"
#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"
#include "tests/support/PtyPeer.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Session = PARLINK_Session;

namespace {

constexpr int TimeoutMs = 3000;
const QByteArray Address = QByteArray::fromHex("1300040001");

// Preamble, body and checksum, as a master puts a request on the line.
QByteArray onTheLine(const QByteArray &body)
{
    return LinkLayerTest::preambles(5) + LinkLayerTest::withChecksum(body);
}

std::unique_ptr<PARLINK_Session> masterSession(const QList<int> &commands)
{
    auto session = std::make_unique<PARLINK_Session>();
    session->setType(Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    session->setAddress(Address);
    for (int command : commands)
        session->appendCommandToQueue(Session::PARLINK_ENUM_SESSION_COMMAND(command));
    return session;
}

} // namespace

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
    if (!master.isOpen())
        QSKIP(qPrintable("No pseudo-terminal: " + master.errorString()));

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

QTEST_GUILESS_MAIN(TestParlinkFacade)
#include "tst_parlink_facade.moc"
