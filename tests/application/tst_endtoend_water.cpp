#include "tests/application/ApplicationRoad.h"

#include <QTest>
#include <QThread>

using Space = ZebSim::ParameterMemory::Space;

class TestEndToEndWater : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
    }

    void water_isWrittenStoredRestartedAndDisconnected()
    {
        ServiceHarness harness;
        ZebSim::SimConfig config;
        config.singleWire = true;
        ZEB_START_SIM(harness, config);
        ApplicationRoad road(harness);

        QCOMPARE(road.connect(), ApplicationRoad::Connection::Connected);
        QCOMPARE(road.context.connectedDevice.address.bytes,
                 (Thg::Tilo::Communication::Address::Bytes{19, 0, 4, 0, 1}));
        QCOMPARE(road.context.connectedDevice.Version, QStringLiteral("V02.11"));
        QCOMPARE(road.context.connectedPort.HalfDuplex, true);
        QVERIFY2(road.parameterize(), qPrintable(road.lastError));

        ZebSim::ParameterMemory &memory = harness.device()->memory();
        // Taken over (132) for each address type written (the sub-device part goes to the full
        // address), then kept over the restart.
        QVERIFY(memory.takeOverCount(Space::Device) >= 1);
        QVERIFY(memory.takeOverCount(Space::DeviceAndSubDevice) >= 1);
        QCOMPARE(memory.readWorking(Space::Device, 16, 16).value_or(QByteArray()),
                 QByteArray("001 ZEB WATER\0\0\0", 16));
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 434, 2).value_or(QByteArray()), QByteArray("\x09\x00", 2));
        // Curve[1][0]: 0.0 and 10.0 degrees; Curve[1][1]: 1.792e-06 m2/s at 0 degrees.
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 436, 16).value_or(QByteArray()),
                 QByteArray("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x24\x40", 16));
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 524, 8).value_or(QByteArray()),
                 QByteArray("\x84\xf7\x43\xd6\x94\x10\xbe\x3e", 8));
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 1070, 2).value_or(QByteArray()), QByteArray("\x03\x00", 2));
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 1074, 2).value_or(QByteArray()), QByteArray("\x05\x00", 2));
        QCOMPARE(harness.device()->restarts(), 1);

        ServiceRecorder &recorder = harness.recorder();
        QCOMPARE(recorder.outcomes().filter(QStringLiteral("success")),
                 (QStringList{QStringLiteral("successWriting"), QStringLiteral("successSetCurrentAsFactoryDefaults"),
                              QStringLiteral("successRestartDevice"), QStringLiteral("successDisconnecting")}));
        QVERIFY(recorder.errors().isEmpty());
        QVERIFY(!road.connector.isTargetConnected());
        QCOMPARE(road.context.connectedPort.Number, QString());

        // What was written is what the device now keeps as its factory defaults.
        memory.write(Space::Device, 16, QByteArray(16, 'x'));
        memory.restoreFactoryDefaults(Space::Device);
        QCOMPARE(memory.read(Space::Device, 16, 16).value_or(QByteArray()), QByteArray("001 ZEB WATER\0\0\0", 16));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndWater)
#include "tst_endtoend_water.moc"
