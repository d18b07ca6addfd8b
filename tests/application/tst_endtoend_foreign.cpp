#include "tests/application/ApplicationRoad.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Components::DeviceConnector;

class TestEndToEndForeign : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
    }

    void foreignDevice_isRestartedDisconnectedAndReported()
    {
        ServiceHarness harness;
        ZebSim::SimConfig config;
        config.singleWire = true;
        config.address = QByteArray("\x13\x00\x05\x00\x01", 5);
        ZEB_START_SIM(harness, config);
        ApplicationRoad road(harness);
        QSignalSpy unexpected(&road.connector, &DeviceConnector::unexpectedDeviceConnected);
        QSignalSpy disconnected(&road.connector, &DeviceConnector::targetDisconnected);
        QSignalSpy failed(&road.connector, &DeviceConnector::errorOccurred);

        QCOMPARE(road.connect(), ApplicationRoad::Connection::Unexpected);
        QCOMPARE(unexpected.first().first().value<Device>().address.bytes, (Address::Bytes{19, 0, 5, 0, 1}));
        // Busy until the device has been restarted and the port closed.
        QVERIFY(road.connector.isBusy());
        QVERIFY(QTest::qWaitFor([&] { return !road.connector.isBusy(); }, ApplicationRoad::RunMs));

        QCOMPARE(harness.device()->restarts(), 1);
        QVERIFY(harness.recorder().waitFor(QStringLiteral("successDisconnecting")));
        QCOMPARE(harness.recorder().outcomes().filter(QStringLiteral("success")),
                 (QStringList{QStringLiteral("successRestartDevice"), QStringLiteral("successDisconnecting")}));
        // Nothing was written to the foreign device.
        QVERIFY(!harness.device()->commandsReceived().contains(131));
        QVERIFY(!road.connector.isTargetConnected());
        QCOMPARE(road.context.connectedDevice, Device());
        QCOMPARE(disconnected.count(), 0);
        QCOMPARE(failed.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestEndToEndForeign)
#include "tst_endtoend_foreign.moc"
