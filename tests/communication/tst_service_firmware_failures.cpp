// Firmware updates through the device service that fail in the boot loader, end to end: the error,
// the port given back to the link layer and closed, and the target left in its boot loader.

#include "tests/communication/FirmwareTestSupport.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using namespace FirmwareTest;

class TestServiceFirmwareFailures : public QObject {
    Q_OBJECT
private slots:
    void bootLoaderFailure_givesThePortBackAndClosesIt_data();
    void bootLoaderFailure_givesThePortBackAndClosesIt();

private:
    BootloaderTest::FirmwareFiles mFiles;
};

void TestServiceFirmwareFailures::bootLoaderFailure_givesThePortBackAndClosesIt_data()
{
    QTest::addColumn<ZebSim::BootLoaderPlan>("plan");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("packets");
    // The image's range in the target's flash once the client has stopped.
    QTest::addColumn<QByteArray>("flash");
    const QByteArray erasedTiva(tivaImage().size(), char(0xFF));
    const QByteArray firstChunk = tivaImage().left(72) + QByteArray(tivaImage().size() - 72, char(0xFF));

    ZebSim::BootLoaderPlan plan;
    plan.family = Family::Tiva;
    plan.tivaFaults.silentOnPacket = 1;
    QTest::newRow("Tiva silent") << plan << "Bootloader: Device did not answer in time" << 1 << erasedTiva;
    plan = {};
    plan.family = Family::Tiva;
    plan.tivaFaults.nakOnPacket = 1;
    QTest::newRow("Tiva refuses the ping") << plan << "Bootloader: No response from device" << 1 << erasedTiva;
    // Ping, Download and the GetStatus that reports the refusal or the failed write; nothing after it.
    for (const bool statusPackets : {false, true}) {
        const char *form = statusPackets ? ", status packets" : "";
        plan = {};
        plan.family = Family::Tiva;
        plan.tivaStatusPackets = statusPackets;
        plan.tivaFaults.refuseDownload = true;
        QTest::addRow("Tiva refuses the download%s", form) << plan << "Bootloader: No response from device" << 3
                                                           << erasedTiva;
        plan.tivaFaults = {};
        plan.tivaFaults.flashFailsOnData = 2;
        QTest::addRow("Tiva fails to write the second chunk%s", form) << plan << "Bootloader: No response from device"
                                                                      << 7 << firstChunk;
    }
    plan = {};
    plan.family = Family::Msp432;
    plan.msp432Faults.silentOnPacket = 3;
    QTest::newRow("MSP432 leaves the erase unanswered") << plan << "Bootloader: Device did not answer in time"
                                                        << 3 << QByteArray(msp432Image().size(), char(0xFF));
}

void TestServiceFirmwareFailures::bootLoaderFailure_givesThePortBackAndClosesIt()
{
    QFETCH(ZebSim::BootLoaderPlan, plan);
    QFETCH(QString, error);
    QFETCH(int, packets);
    QFETCH(QByteArray, flash);
    QVERIFY(mFiles.isValid());
    const QString fileName = writeImage(mFiles, plan.family);
    ServiceHarness h(ResponseTimeoutMs);
    ZebSim::SimConfig config;
    config.bootLoader = plan;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    QVERIFY(upload(h, *found, typeOf(plan.family), fileName));
    QCOMPARE(h.recorder().errors(), QStringList{error});
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QVERIFY(h.recorder().logEntries(LogLevel::Error).contains(error));
    // The progress goes back to 0 right after the error.
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress().last(), 0, 5000);

    // Closed through the link layer, which therefore holds the port again.
    QTRY_VERIFY_WITH_TIMEOUT(logFrom(h.recorder(), error).contains("Com port is closed"), 5000);
    QVERIFY(logFrom(h.recorder(), error).contains("Com port will be closed"));
    h.recorder().quietFor(300);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.device()->bootTarget()->commandsReceived(), packets);
    QCOMPARE(h.device()->bootTarget()->flash(addressOf(plan.family), imageOf(plan.family).size()), flash);
    QCOMPARE(h.device()->bootTarget()->resets(), 0);
    QVERIFY(h.device()->inBootLoader());

    // A start without identification opens the port again: the link layer hears it open.
    h.recorder().clear();
    const Comport port = h.comport();
    h.call([port](ParLinkDeviceService *s) { s->start(port, false); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"foundDevice", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"foundDevice"});
    QCOMPARE(h.recorder().foundDevices().first().Name, bootloaderDeviceName);
    QVERIFY(h.recorder().logEntries().contains("Com port is open"));
}

QTEST_GUILESS_MAIN(TestServiceFirmwareFailures)
#include "tst_service_firmware_failures.moc"
