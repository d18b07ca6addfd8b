// Parameter writes through the device service, end to end: the built-in water medium written with
// read-back and taken over, byte for byte in the simulated device's memory.

#include "communication/ParameterServiceSupport.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using namespace ParameterService;

class TestServiceParameterWrite : public QObject {
    Q_OBJECT
private slots:
    void waterMedium_landsByteForByte_data();
    void waterMedium_landsByteForByte();
    void withoutReadBack_onlyWritesAndTakesOver();
    void nothingToWrite_warnsAndSucceedsWithoutSending();
    void refusedTakeOver_failsTheWriteAndClosesThePort();
};

void TestServiceParameterWrite::waterMedium_landsByteForByte_data()
{
    QTest::addColumn<bool>("singleWire");
    QTest::addColumn<bool>("byName");
    QTest::newRow("two wires") << false << false;
    QTest::newRow("single wire, called by name with three arguments") << true << true;
}

void TestServiceParameterWrite::waterMedium_landsByteForByte()
{
    QFETCH(bool, singleWire);
    QFETCH(bool, byName);
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.singleWire = singleWire;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    if (byName) {
        // The interface's default: with read-back.
        QVERIFY(QMetaObject::invokeMethod(h.service(), "write", Qt::QueuedConnection,
                                          Q_ARG(Thg::Tilo::Communication::Device, *found),
                                          Q_ARG(std::vector<Thg::Tilo::Device::Parameter>, medium.device),
                                          Q_ARG(std::vector<Thg::Tilo::Device::Parameter>, medium.subdevice)));
    } else {
        h.call([dev = *found, medium](ParLinkDeviceService *s) { s->write(dev, medium.device, medium.subdevice); });
    }
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successWriting"});
    QCOMPARE(commandsAfter(*h.device(), identification), WaterWriteCommands);

    ZebSim::ParameterMemory &memory = h.device()->memory();
    QCOMPARE(memory.read(Space::Device, 16, 16), std::optional<QByteArray>(WaterName));
    QCOMPARE(memory.read(Space::DeviceAndSubDevice, 434, 178), std::optional<QByteArray>(WaterCurve));
    QCOMPARE(memory.read(Space::DeviceAndSubDevice, 1070, 2), std::optional<QByteArray>(WaterPair11));
    QCOMPARE(memory.read(Space::DeviceAndSubDevice, 1074, 2), std::optional<QByteArray>(WaterPair12));
    // The gap between the two settings is not touched; each part was taken over once.
    QCOMPARE(memory.read(Space::DeviceAndSubDevice, 1072, 2), std::optional<QByteArray>(QByteArray(2, '\0')));
    QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 434, 178), std::optional<QByteArray>(WaterCurve));
    QCOMPARE(memory.takeOverCount(Space::Device), 1);
    QCOMPARE(memory.takeOverCount(Space::DeviceAndSubDevice), 1);

    // 0, 10 at the start, then 10 + 90 x k / 16 per reply, 100 at the end.
    QCOMPARE(h.recorder().progress(),
             (QList<int>{0, 10, 15, 21, 26, 32, 38, 43, 49, 55, 60, 66, 71, 77, 83, 88, 94, 100, 100}));
    QVERIFY(h.recorder().logEntries().contains(
        "Device responded to command 130: Read value corresponds to sent value: 303031205a4542205741544552000000 to NVM "
        "address: 16"));
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{});
}

void TestServiceParameterWrite::withoutReadBack_onlyWritesAndTakesOver()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    h.call([dev = *found, medium](ParLinkDeviceService *s) { s->write(dev, medium.device, medium.subdevice, false); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successWriting"});
    QCOMPARE(commandsAfter(*h.device(), identification), (QList<int>{131, 132, 131, 131, 131, 131, 131, 131, 132}));
    QCOMPARE(h.device()->memory().read(Space::DeviceAndSubDevice, 434, 178), std::optional<QByteArray>(WaterCurve));
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100}));
}

void TestServiceParameterWrite::nothingToWrite_warnsAndSucceedsWithoutSending()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    h.call([dev = *found](ParLinkDeviceService *s) { s->write(dev, {}, {}); });
    QVERIFY(h.recorder().waitFor("successWriting"));
    QCOMPARE(h.recorder().outcomes(), (QStringList{"warning", "successWriting"}));
    QCOMPARE(h.recorder().warnings(), QStringList{"The parameters are empty."});
    QCOMPARE(h.recorder().progress(), QList<int>{100});
    h.recorder().quietFor(600);
    QCOMPARE(commandsAfter(*h.device(), identification), QList<int>{});
}

// The device answers the take-over of the device's values (132) with "Status Low" 1.
void TestServiceParameterWrite::refusedTakeOver_failsTheWriteAndClosesThePort()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.faults.statusLowFor.insert(132, 1);
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    QVERIFY(h.writeAndWait(*found, medium.device, medium.subdevice));
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.recorder().errors(), QStringList{"Device didn`t acknowledge command 132"});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{"Device didn`t acknowledge command 132"});
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress().last(), 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);
    // Nothing after the refused take-over: the sub-device's chunks are never sent.
    h.recorder().quietFor(500);
    QCOMPARE(h.recorder().count("successWriting"), 0);
    QCOMPARE(commandsAfter(*h.device(), identification), (QList<int>{131, 130, 132}));
    QCOMPARE(h.device()->memory().takeOverCount(Space::Device), 0);
}

QTEST_GUILESS_MAIN(TestServiceParameterWrite)
#include "tst_service_parameterwrite.moc"
