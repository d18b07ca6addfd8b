#include "protocol/ble/BTLE_Connection.h"
#include "protocol/parlink/PARLINK_LinkLayer.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using S = PARLINK_Session;
using namespace LinkLayerTest;

// The link layer's Bluetooth LE hooks: dormant without a connection, the serial road with one.
class TestParlinkLinkLayerBtle : public QObject {
    Q_OBJECT

private slots:
    void btleHooks_withoutConnection_doNothing();
    void btleTransport_withoutConnection_reportsBtleError();
    void btleConnection_carriesFramesAndErrors();
};

void TestParlinkLinkLayerBtle::btleHooks_withoutConnection_doNothing()
{
    for (const auto hw : {S::PARLINK_HW_UART, S::PARLINK_HW_BTLE}) {
        auto [link, master] = startedLink(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device, hw);
        QSignalSpy states(link.get(), &PARLINK_LinkLayer::btleStateChanged);
        QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
        QSignalSpy done(link.get(), &PARLINK_LinkLayer::sessionDataTxDone);
        InfoRecorder recorder(*link);

        link->btleStartScan();
        link->btleStopScan();
        link->btleConnectTo(QStringLiteral("00:11:22:33:44:55"));
        link->btleDisconnect();
        QCOMPARE(link->btleGetDevices().value<QObjectList>(), QObjectList());
        for (const char *hook : {"btleNewDevices", "btleServiceScanDone", "btleDataWritten", "btleDisconnected",
                                 "btleFoundSpecificDevice"})
            QVERIFY(QMetaObject::invokeMethod(link.get(), hook, Qt::DirectConnection));
        QVERIFY(QMetaObject::invokeMethod(link.get(), "btleConnectedTo", Qt::DirectConnection,
                                          Q_ARG(QString, QStringLiteral("ZEB"))));
        QVERIFY(QMetaObject::invokeMethod(link.get(), "btleError", Qt::DirectConnection,
                                          Q_ARG(QString, QStringLiteral("BT IO Error"))));
        QVERIFY(QMetaObject::invokeMethod(link.get(), "btleNewData", Qt::DirectConnection,
                                          Q_ARG(QByteArray, Response135)));
        QTest::qWait(600); // past the delayed "scanning" report of a disconnection

        QVERIFY(states.isEmpty());
        QVERIFY(frames.isEmpty());
        QVERIFY(done.isEmpty());
        QVERIFY(recorder.reports == 0);
        QVERIFY(link->sessionInfo()->isRunning());
        QVERIFY(link->btleDeviceName().isEmpty());
    }
}

void TestParlinkLinkLayerBtle::btleTransport_withoutConnection_reportsBtleError()
{
    auto [link, master] = startedLink(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device, S::PARLINK_HW_BTLE);
    QSignalSpy writes(link.get(), &PARLINK_LinkLayer::portWriteData);
    InfoRecorder recorder(*link);

    QByteArray request = hex("8201020300008700");
    link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_135, request);
    QVERIFY(writes.isEmpty());
    QCOMPARE(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_BTLE});
}

void TestParlinkLinkLayerBtle::btleConnection_carriesFramesAndErrors()
{
    auto link = detachedLink(S::PARLINK_HW_BTLE);
    auto connection = std::make_unique<BTLE_Connection>();
    link->setBtleConnection(connection.get());
    auto master = session(S::PARLINK_ENUM_SESSION_TYPE_MASTER, Device);
    link->sessionStart(master.get());
    QSignalSpy states(link.get(), &PARLINK_LinkLayer::btleStateChanged);
    QSignalSpy frames(link.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    InfoRecorder recorder(*link);

    // Not connected yet: the connection refuses the write and says so.
    QByteArray request = hex("8201020300008700");
    link->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_135, request);
    QCOMPARE(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_BTLE});
    QCOMPARE(states.size(), 1);
    QCOMPARE(states.at(0).at(0).value<S::BTLE_STATE>(), S::HW_ERROR);

    emit connection->readyToCommunicate(QStringLiteral("00:11:22:33:44:55"));
    QCOMPARE(link->btleDeviceName(), QStringLiteral("00:11:22:33:44:55"));
    QCOMPARE(link->sessionInfo()->getBaudrate(), 1200u);
    QCOMPARE(states.size(), 2);
    QCOMPARE(states.at(1).at(0).value<S::BTLE_STATE>(), S::CONNECTED);

    // Written frames and notified bytes take the same road as on the serial port.
    emit connection->dataSuccessfullyWrittenToDevice();
    QVERIFY(timer(*link, "responseTimer")->isActive());
    emit connection->newDataFromConnectedDeviceAvailable(Response135);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.at(0).at(0).toByteArray().toHex(' '), Response135Frame.toHex(' '));

    // Once the connection is gone the hooks fall silent again.
    connection.reset();
    link->btleStartScan();
    link->btleConnectTo(QStringLiteral("00:11:22:33:44:55"));
    QCOMPARE(states.size(), 2);
}

QTEST_MAIN(TestParlinkLinkLayerBtle)
#include "tst_parlink_linklayer_btle.moc"
