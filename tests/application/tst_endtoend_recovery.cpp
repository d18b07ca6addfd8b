#include "tests/application/ApplicationRoad.h"

#include <QTest>
#include <QThread>

using Space = ZebSim::ParameterMemory::Space;

class TestEndToEndRecovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
    }

    void failedRun_thenSuccessfulRun()
    {
        ServiceHarness harness;
        ZebSim::SimConfig config;
        config.singleWire = true;
        // Every chunk's read-back differs four times: the first chunk fails the write.
        config.faults.wrongReadBacks = 4;
        ZEB_START_SIM(harness, config);
        ApplicationRoad road(harness);

        QCOMPARE(road.connect(), ApplicationRoad::Connection::Connected);
        QVERIFY(!road.parameterize());
        QVERIFY2(road.lastError.startsWith(QStringLiteral(
                     "Exceeded max retries: Device responded to command 130: Sent value didn't correspond to read "
                     "value: NVM address: 16 ")),
                 qPrintable(road.lastError));
        QVERIFY(road.lastErrorDisconnected);
        // Nothing differing was taken over, stored or restarted, and no device stays recorded.
        ZebSim::ParameterMemory &memory = harness.device()->memory();
        QCOMPARE(memory.takeOverCount(Space::Device), 0);
        QVERIFY(!harness.device()->commandsReceived().contains(143));
        QVERIFY(!road.connector.isTargetConnected());
        QVERIFY(harness.recorder().waitFor(QStringLiteral("successDisconnecting")));
        QVERIFY(road.waitUntilPortClosed());

        // The same program, the line healthy again: the next run connects and succeeds.
        harness.device()->setFaults({});
        QCOMPARE(road.connect(), ApplicationRoad::Connection::Connected);
        QVERIFY2(road.parameterize(), qPrintable(road.lastError));
        QCOMPARE(memory.readWorking(Space::Device, 16, 16).value_or(QByteArray()),
                 QByteArray("001 ZEB WATER\0\0\0", 16));
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 434, 2).value_or(QByteArray()), QByteArray("\x09\x00", 2));
        QCOMPARE(harness.device()->restarts(), 1);
        QVERIFY(!road.connector.isTargetConnected());
    }
};

QTEST_GUILESS_MAIN(TestEndToEndRecovery)
#include "tst_endtoend_recovery.moc"
