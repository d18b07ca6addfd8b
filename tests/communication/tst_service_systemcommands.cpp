// System commands through the device service, end to end: restart, store and restore factory defaults
// against the simulated ZEB device, the service on its own thread.

#include "tests/support/ServiceHarness.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Space = ZebSim::ParameterMemory::Space;

class TestServiceSystemCommands : public QObject {
    Q_OBJECT
private slots:
    void restart_afterIdentification_data();
    void restart_afterIdentification();
    void storeThenRestore_bringsTheStoredValuesBack();
    void secondStore_whileTheFirstRuns_isRefused();
    void refused143_closesThePortAndAStartOpensItAgain();
    void bootloaderDevice_getsNoCommandAtAll();
};

void TestServiceSystemCommands::restart_afterIdentification_data()
{
    QTest::addColumn<bool>("singleWire");
    QTest::newRow("two wires") << false;
    QTest::newRow("single wire, echoing device") << true;
}

void TestServiceSystemCommands::restart_afterIdentification()
{
    QFETCH(bool, singleWire);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.singleWire = singleWire;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    const Device dev = *found;
    h.call([dev](ParLinkDeviceService *s) { s->restartDevice(Address::Type::Device, dev); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successRestartDevice", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successRestartDevice"});
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 10, 100, 100}));
    QCOMPARE(h.device()->restarts(), 1);
    QCOMPARE(h.device()->commandsReceived().last(), 143);
    QVERIFY(h.recorder().logEntries().contains("Device responded to command 143: Device restarted"));
}

void TestServiceSystemCommands::storeThenRestore_bringsTheStoredValuesBack()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const QByteArray medium = QByteArray::fromHex("aabbcc");
    QVERIFY(h.device()->memory().write(Space::Device, 16, medium));
    h.recorder().clear();

    const Device dev = *found;
    h.call([dev](ParLinkDeviceService *s) { s->setCurrentAsFactoryDefaults(Address::Type::Device, dev); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successSetCurrentAsFactoryDefaults", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successSetCurrentAsFactoryDefaults"});
    // The device writes its memory after the reply: the service waits before it reports.
    const auto reply = h.recorder().first("log", "Command 143 received");
    const auto stored = h.recorder().first("successSetCurrentAsFactoryDefaults");
    QVERIFY(reply && stored);
    QVERIFY2(stored->emittedMs - reply->emittedMs >= 500, qPrintable(QString::number(stored->emittedMs - reply->emittedMs)));
    const auto written = h.recorder().first("log", "Device responded to command 143: values were written");
    QVERIFY(written && written->emittedMs - reply->emittedMs >= 500);

    QVERIFY(h.device()->memory().write(Space::Device, 16, QByteArray(3, '\0')));
    h.recorder().clear();
    h.call([dev](ParLinkDeviceService *s) { s->resetToFactoryDefaults(Address::Type::Device, dev); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successResetToFactoryDefaults", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successResetToFactoryDefaults"});
    QCOMPARE(h.device()->memory().read(Space::Device, 16, 3), std::optional<QByteArray>(medium));
    QVERIFY(h.recorder().logEntries().contains("Device responded to command 143: values were reset to factory defaults"));
}

void TestServiceSystemCommands::secondStore_whileTheFirstRuns_isRefused()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    const Device dev = *found;
    h.call([dev](ParLinkDeviceService *s) {
        s->setCurrentAsFactoryDefaults(Address::Type::Device, dev);
        s->setCurrentAsFactoryDefaults(Address::Type::Device, dev);
    });
    QVERIFY(h.recorder().waitFor("successSetCurrentAsFactoryDefaults"));
    h.recorder().quietFor(300);
    QCOMPARE(h.recorder().outcomes(), (QStringList{"error", "successSetCurrentAsFactoryDefaults"}));
    QCOMPARE(h.recorder().errors(), QStringList{"Current operation not finished!"});
    QCOMPARE(h.device()->commandsReceived().count(143), 1);
}

void TestServiceSystemCommands::refused143_closesThePortAndAStartOpensItAgain()
{
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.faults.statusLowFor.insert(143, 1);
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    h.recorder().clear();

    const Device dev = *found;
    h.call([dev](ParLinkDeviceService *s) { s->restartDevice(Address::Type::Device, dev); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successRestartDevice", "error"}));
    QCOMPARE(h.recorder().errors(), QStringList{"Device didn`t acknowledge command 143"});
    QVERIFY(h.recorder().logEntries(LogLevel::Error).contains("Device didn`t acknowledge command 143"));
    // The job's reset, and its progress back to 0, follow its error.
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress().last(), 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);
    QCOMPARE(h.device()->restarts(), 0);

    // The port closed by the failure opens again for the next connection.
    h.recorder().clear();
    const std::optional<Device> again = h.connectDevice();
    QCOMPARE(h.recorder().errors(), QStringList{});
    QVERIFY(again);
    QCOMPARE(*again, *found);
    QVERIFY(h.recorder().logEntries().contains("Trying to open com port"));
}

void TestServiceSystemCommands::bootloaderDevice_getsNoCommandAtAll()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const Comport port = h.comport();
    h.call([port](ParLinkDeviceService *s) { s->start(port, false); });
    QVERIFY(h.recorder().waitFor("foundDevice"));
    const Device bootloader = h.recorder().foundDevices().first();
    QCOMPARE(bootloader.Name, QString("Bootloader"));
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 10, 100}));

    h.call([bootloader](ParLinkDeviceService *s) {
        s->setCurrentAsFactoryDefaults(Address::Type::Device, bootloader);
        s->restartDevice(Address::Type::Device, bootloader);
    });
    QVERIFY(h.recorder().waitFor("successRestartDevice"));
    h.recorder().quietFor(800);
    QCOMPARE(h.recorder().outcomes(),
             (QStringList{"foundDevice", "successSetCurrentAsFactoryDefaults", "successRestartDevice"}));
    QCOMPARE(h.device()->commandsReceived(), QList<int>{});
}

QTEST_GUILESS_MAIN(TestServiceSystemCommands)
#include "tst_service_systemcommands.moc"
