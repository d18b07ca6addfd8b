// What follows a failed firmware update through the device service, end to end: a retry over the
// port left open goes straight to the boot loader, and a device that refused 133 is still heard over
// PARLINK.

#include "tests/communication/FirmwareTestSupport.h"

#include <QtTest>

#include <algorithm>

using namespace Thg::Tilo::Communication;
using namespace FirmwareTest;

namespace {

// The link errors of the stack, as the jobs log them.
const QStringList LinkErrors{"no preambel received", "too few preambel received", "too many preambel received",
                             "wrong address", "wrong checksum", "reading command", "data overrun",
                             "normal timeout of 300ms elapsed", "wrong parity", "wrong command"};

bool anyLinkError(const QStringList &entries)
{
    return std::any_of(entries.cbegin(), entries.cend(), [](const QString &entry) { return LinkErrors.contains(entry); });
}

} // namespace

class TestServiceFirmwareRetries : public QObject {
    Q_OBJECT
private slots:
    void failedTransfer_portLeftOpen_retryGoesStraightToTheBootLoader_data();
    void failedTransfer_portLeftOpen_retryGoesStraightToTheBootLoader();
    void refused133_givesThePortBackAndPARLINKGoesOn_data();
    void refused133_givesThePortBackAndPARLINKGoesOn();

private:
    BootloaderTest::FirmwareFiles mFiles;
};

void TestServiceFirmwareRetries::failedTransfer_portLeftOpen_retryGoesStraightToTheBootLoader_data()
{
    QTest::addColumn<ZebSim::BootLoaderPlan>("plan");
    QTest::addColumn<QString>("error");
    ZebSim::BootLoaderPlan plan;
    plan.family = Family::Tiva;
    plan.tivaFaults.nakOnPacket = 4;
    QTest::newRow("Tiva refuses the first data") << plan << "Bootloader: No response from device";
    plan = {};
    plan.family = Family::Msp432;
    plan.msp432Faults.corruptWriteOnBlock = 1;
    QTest::newRow("MSP432 block check differs") << plan << "Bootloader: No response from device";
}

void TestServiceFirmwareRetries::failedTransfer_portLeftOpen_retryGoesStraightToTheBootLoader()
{
    QFETCH(ZebSim::BootLoaderPlan, plan);
    QFETCH(QString, error);
    QVERIFY(mFiles.isValid());
    const QString file = writeImage(mFiles, plan.family);
    ServiceHarness h(ResponseTimeoutMs);
    ZebSim::SimConfig config;
    config.bootLoader = plan;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    QVERIFY(upload(h, *found, typeOf(plan.family), file, false, true));
    QCOMPARE(h.recorder().errors(), QStringList{error});
    h.recorder().quietFor(500);
    QVERIFY(!h.recorder().logEntries().contains("Com port will be closed"));
    QVERIFY(h.device()->inBootLoader());
    QCOMPARE(requestsFor133(h), 1);

    // The target is still in its boot loader: 133 is not sent again, and the port is the open one.
    h.recorder().clear();
    QVERIFY(upload(h, *found, typeOf(plan.family), file, false, true));
    QVERIFY2(h.recorder().errors().isEmpty(), qPrintable(h.recorder().errors().join("|") + " // " + h.recorder().logEntries().join("\n")));
    QCOMPARE(h.recorder().outcomes(), QStringList{"success"});
    QCOMPARE(h.recorder().progress().first(), 0);
    QCOMPARE(h.recorder().progress().last(), 100);
    QCOMPARE(requestsFor133(h), 1);
    const QStringList logged = h.recorder().logEntries();
    QVERIFY(std::none_of(logged.cbegin(), logged.cend(),
                         [](const QString &entry) { return entry.startsWith("Starting single command"); }));
    QVERIFY(!logged.contains("Trying to open com port"));
    // The restart is the client's last word; the device may take it after the client has reported.
    BootSim::BootTarget *target = h.device()->bootTarget();
    QTRY_COMPARE_WITH_TIMEOUT(target->resets(), 1, 5000);
    QCOMPARE(target->flash(addressOf(plan.family), imageOf(plan.family).size()), imageOf(plan.family));
    QCOMPARE(target->resets(), 1);
    QVERIFY(!h.device()->inBootLoader());
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);
}

void TestServiceFirmwareRetries::refused133_givesThePortBackAndPARLINKGoesOn_data()
{
    QTest::addColumn<bool>("leavePortOpen");
    QTest::newRow("port closed") << false;
    QTest::newRow("port left open") << true;
}

// The link layer never let go of its port, and is given it again all the same; PARLINK goes on over
// the open port, or after the port has been opened again, without a link error.
void TestServiceFirmwareRetries::refused133_givesThePortBackAndPARLINKGoesOn()
{
    QFETCH(bool, leavePortOpen);
    ServiceHarness h(ResponseTimeoutMs);
    ZebSim::SimConfig config;
    config.bootLoader.family = Family::Tiva;
    config.faults.statusLowFor.insert(133, 3);
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    QVERIFY(mFiles.isValid());
    QVERIFY(upload(h, *found, BootloaderType::TIVA, writeImage(mFiles, Family::Tiva), false, leavePortOpen));
    QCOMPARE(h.recorder().errors(), QStringList{"Device didn`t acknowledge command 133"});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{"Device didn`t acknowledge command 133"});
    // The progress goes back to 0 right after the error.
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress(), (QList<int>{0, 1, 0}), 5000);
    QVERIFY(!h.device()->inBootLoader());
    if (!leavePortOpen)
        QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);
    h.recorder().quietFor(Internal::Bootloader::HandOverMs + 200);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.recorder().logEntries().contains("Com port will be closed"), !leavePortOpen);

    h.recorder().clear();
    if (leavePortOpen) {
        // Over the open port at once.
        h.call([dev = *found](ParLinkDeviceService *s) { s->restartDevice(Address::Type::Device, dev); });
        QVERIFY(h.recorder().waitForAnyAfter(0, {"successRestartDevice", "error"}));
        QCOMPARE(h.recorder().outcomes(), QStringList{"successRestartDevice"});
        QCOMPARE(h.device()->restarts(), 1);
    } else {
        const std::optional<Device> again = h.connectDevice();
        QVERIFY(again);
        QCOMPARE(h.recorder().outcomes(), QStringList{"foundDevice"});
    }
    QVERIFY2(!anyLinkError(h.recorder().logEntries(LogLevel::Error)),
             qPrintable(h.recorder().logEntries(LogLevel::Error).join(", ")));
    QCOMPARE(h.recorder().errors(), QStringList{});
    QCOMPARE(requestsFor133(h), 1);
}

QTEST_GUILESS_MAIN(TestServiceFirmwareRetries)
#include "tst_service_firmware_retries.moc"
