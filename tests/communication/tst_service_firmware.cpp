// Firmware updates through the device service, end to end: the simulated ZEB device answers 133,
// plays the chosen boot loader until its reset and speaks PARLINK again; the service on its own
// thread. Also the refusals of upload, which need no device.

#include "tests/communication/FirmwareTestSupport.h"

#include "tools/boot-sim/Msp432Target.h"
#include "tools/boot-sim/TivaTarget.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using namespace FirmwareTest;

Q_DECLARE_METATYPE(ZebSim::BootLoaderPlan::Family)

class TestServiceFirmware : public QObject {
    Q_OBJECT
private slots:
    void upload_isRefused_data();
    void upload_isRefused();
    void upload_whileAnUpdateRuns_isRefusedAndTheFirstGoesOn();
    void fullUpdate_flashesTheImageAndTheDeviceIsFoundAgain_data();
    void fullUpdate_flashesTheImageAndTheDeviceIsFoundAgain();

private:
    BootloaderTest::FirmwareFiles mFiles;
};

void TestServiceFirmware::upload_isRefused_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("error");
    const QString noFile = "given Filename is empty!";
    const QString undefinedLog = "given bootloader type is undefined!";
    const QString undefined = "given Bootloadertype is undefined!";
    QTest::newRow("no file name, and Undefined") << 0 << "" << noFile << noFile;
    QTest::newRow("Undefined") << 0 << "firmware.txt" << undefinedLog << undefined;
    QTest::newRow("type 3") << 3 << "firmware.txt" << undefinedLog << undefined;
    QTest::newRow("type 200") << 200 << "firmware.txt" << undefinedLog << undefined;
}

void TestServiceFirmware::upload_isRefused()
{
    QFETCH(int, type);
    QFETCH(QString, fileName);
    QFETCH(QString, logged);
    QFETCH(QString, error);
    ServiceHarness h;
    QVERIFY(upload(h, Device(), BootloaderType(type), fileName));
    QCOMPARE(h.recorder().errors(), QStringList{error});
    QCOMPARE(h.recorder().logEntries(), QStringList{logged});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{logged});
    QCOMPARE(h.recorder().progress(), QList<int>{});
    // Nothing waits for a hand-over behind the refusal.
    h.recorder().quietFor(Internal::Bootloader::HandOverMs + 300);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
}

void TestServiceFirmware::upload_whileAnUpdateRuns_isRefusedAndTheFirstGoesOn()
{
    QVERIFY(mFiles.isValid());
    const QString first = writeImage(mFiles, Family::Tiva);
    const QString second = writeImage(mFiles, Family::Msp432);
    ServiceHarness h;
    h.call([first, second](ParLinkDeviceService *s) {
        s->upload(Address::Type::Device, Device(), BootloaderType::TIVA, first, true, false);
        s->upload(Address::Type::Device, Device(), BootloaderType::MSP432, second, false, false);
    });
    QVERIFY(h.recorder().waitFor("error", 2, UpdateWaitMs));
    // No port was opened: the first update's client hears that from the port after the hand-over.
    QCOMPARE(h.recorder().errors(),
             (QStringList{"Current operation not finished!", "Bootloader: Interface is not open"}));
    QCOMPARE(h.recorder().logEntries(LogLevel::Error),
             (QStringList{"Current operation not finished!", "Bootloader: Interface is not open"}));
}

void TestServiceFirmware::fullUpdate_flashesTheImageAndTheDeviceIsFoundAgain_data()
{
    QTest::addColumn<ZebSim::BootLoaderPlan::Family>("family");
    QTest::addColumn<bool>("singleWire");
    QTest::addColumn<bool>("statusPackets");
    QTest::addColumn<QList<int>>("clientProgress");
    QTest::addColumn<QStringList>("states");
    // Bytes sent out of the 238 of the 200-byte image, rounded.
    const QList<int> tivaProgress{1, 6, 7, 39, 40, 71, 73, 97, 99, 100};
    const QStringList tivaStates{"Connection started", "Download started", "Download successful"};
    QTest::newRow("Tiva") << Family::Tiva << false << false << tivaProgress << tivaStates;
    QTest::newRow("Tiva, single wire") << Family::Tiva << true << false << tivaProgress << tivaStates;
    QTest::newRow("Tiva, status packets") << Family::Tiva << false << true << tivaProgress << tivaStates;
    // Three blocks, written last first.
    QTest::newRow("MSP432") << Family::Msp432 << false << false << QList<int>{66, 100, 100}
                            << QStringList{"Connection started", "Connected", "Download started",
                                           "Download successful"};
}

void TestServiceFirmware::fullUpdate_flashesTheImageAndTheDeviceIsFoundAgain()
{
    QFETCH(ZebSim::BootLoaderPlan::Family, family);
    QFETCH(bool, singleWire);
    QFETCH(bool, statusPackets);
    QFETCH(QList<int>, clientProgress);
    QFETCH(QStringList, states);
    QVERIFY(mFiles.isValid());
    const QString file = writeImage(mFiles, family);
    ServiceHarness h(ResponseTimeoutMs);
    ZebSim::SimConfig config;
    config.singleWire = singleWire;
    config.bootLoader.family = family;
    config.bootLoader.tivaStatusPackets = statusPackets;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    QVERIFY(upload(h, *found, typeOf(family), file));
    QCOMPARE(h.recorder().errors(), QStringList{});
    QCOMPARE(h.recorder().outcomes(), QStringList{"success"});
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 1, 2} + clientProgress + QList<int>{100}));

    QStringList expectedStates;
    for (const QString &state : std::as_const(states))
        expectedStates.append("New Bootloader state: " + state);
    QStringList loggedStates;
    for (const QString &entry : h.recorder().logEntries()) {
        if (entry.startsWith("New Bootloader state: "))
            loggedStates.append(entry);
    }
    QCOMPARE(loggedStates, expectedStates);

    // The device's boot loader listens a second after its answer to 133.
    const auto answered = h.recorder().first("log", "Device responded to command 133: Bootloader started -> closing port");
    const auto connecting = h.recorder().first("log", "New Bootloader state: Connection started");
    QVERIFY(answered && connecting);
    QVERIFY2(connecting->emittedMs - answered->emittedMs >= Internal::Bootloader::HandOverMs - 10,
             qPrintable(QString::number(connecting->emittedMs - answered->emittedMs)));

    // The link layer has its port back: it hears the port close.
    QTRY_VERIFY_WITH_TIMEOUT(logFrom(h.recorder(), "New Bootloader state: Download successful").contains("Com port is closed"),
                             5000);
    // The restart is the client's last word; the device may take it after the client has reported.
    BootSim::BootTarget *target = h.device()->bootTarget();
    QTRY_COMPARE_WITH_TIMEOUT(target->resets(), 1, 5000);
    QCOMPARE(target->flash(addressOf(family), imageOf(family).size()), imageOf(family));
    QCOMPARE(target->flashBytesWritten(), imageOf(family).size());
    QCOMPARE(target->resets(), 1);
    QCOMPARE(requestsFor133(h), 1);
    QVERIFY(!h.device()->inBootLoader());
    if (family == Family::Tiva)
        QCOMPARE(static_cast<BootSim::TivaTarget *>(target)->downloadAddress(), TivaAddress);
    else
        QCOMPARE(static_cast<BootSim::Msp432Target *>(target)->massErases(), 1);

    // The restarted device speaks PARLINK again.
    h.recorder().clear();
    const std::optional<Device> again = h.connectDevice();
    QVERIFY(again);
    QCOMPARE(again->address.bytes, found->address.bytes);
    QCOMPARE(h.recorder().errors(), QStringList{});
    QCOMPARE(h.recorder().outcomes(), QStringList{"foundDevice"});
}

QTEST_GUILESS_MAIN(TestServiceFirmware)
#include "tst_service_firmware.moc"
