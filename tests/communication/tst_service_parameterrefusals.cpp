// Parameter transfers the device service refuses before anything is sent, and in which order it
// tests: nothing to send, the job busy, a block without bytes, sub-device parameters for a device
// without a sub-device.

#include "communication/ParameterServiceSupport.h"

#include "device/DeviceTestValues.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using namespace ParameterService;
using Parameters = std::vector<Thg::Tilo::Device::Parameter>;

namespace {

// A parameter whose type has no size: its block holds no bytes.
Thg::Tilo::Device::Parameter withoutBytes()
{
    return TestValues::parameter("Unknown", Thg::Tilo::Device::DataType::UNKNOWN, 2, 200);
}

Device deviceAt(const Address::Bytes &address)
{
    Device dev;
    dev.address.bytes = address;
    return dev;
}

ParameterRefs refsOf(const Parameters &parameters)
{
    return ParameterRefs(parameters.begin(), parameters.end());
}

} // namespace

class TestServiceParameterRefusals : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void deviceWithoutSubdevice_getsNothing_data();
    void deviceWithoutSubdevice_getsNothing();
    void blockWithoutBytes_isRefused_data();
    void blockWithoutBytes_isRefused();
    void secondWrite_whileTheFirstRuns_isRefused();

private:
    BuiltinMedium::Parameters mWater;
};

void TestServiceParameterRefusals::initTestCase()
{
    ZEB_LOAD_WATER(mWater);
}

void TestServiceParameterRefusals::deviceWithoutSubdevice_getsNothing_data()
{
    QTest::addColumn<bool>("reading");
    QTest::addColumn<Address::Bytes>("address");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("write, device id only") << false << Address::Bytes{19, 0, 4, 0, 0}
                                           << "Write: the device has no sub-device";
    QTest::newRow("write, no id") << false << Address::Bytes{19, 0, 0, 0, 0} << "Write: the device has no sub-device";
    QTest::newRow("read, device id only") << true << Address::Bytes{19, 0, 4, 0, 0} << "Read: the device has no sub-device";
}

void TestServiceParameterRefusals::deviceWithoutSubdevice_getsNothing()
{
    QFETCH(bool, reading);
    QFETCH(Address::Bytes, address);
    QFETCH(QString, refusal);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.address = QByteArray::fromHex("1300040000");
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    QCOMPARE(found->address.getType(), Address::Type::Device);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    const Device dev = deviceAt(address);
    if (reading)
        h.call([dev, this](ParLinkDeviceService *s) { s->read(dev, refsOf(mWater.device), refsOf(mWater.subdevice)); });
    else
        h.call([dev, this](ParLinkDeviceService *s) { s->write(dev, mWater.device, mWater.subdevice); });
    QVERIFY(h.recorder().waitFor("error"));
    QCOMPARE(h.recorder().errors(), QStringList{refusal});
    QCOMPARE(h.recorder().logEntries(), QStringList{refusal});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{refusal});
    h.recorder().quietFor(800);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.recorder().progress(), QList<int>{});
    QCOMPARE(commandsAfter(*h.device(), identification), QList<int>{});

    // The job is untouched and the port still open: the device's own parameters go as usual.
    h.recorder().clear();
    h.call([dev = *found, this](ParLinkDeviceService *s) { s->write(dev, mWater.device, {}); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successWriting"});
    QCOMPARE(commandsAfter(*h.device(), identification), (QList<int>{131, 130, 132}));
    // Without a sub-device id the device has one address: the simulated device files it as its full one.
    QCOMPARE(h.device()->memory().read(Space::DeviceAndSubDevice, 16, 16), std::optional<QByteArray>(WaterName));
}

void TestServiceParameterRefusals::blockWithoutBytes_isRefused_data()
{
    QTest::addColumn<bool>("reading");
    QTest::addColumn<Address::Bytes>("address");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("write") << false << Address::Bytes{19, 0, 4, 0, 1}
                           << "Write: the amount of addresses is different than the amount of parameters";
    QTest::newRow("read") << true << Address::Bytes{19, 0, 4, 0, 1}
                          << "Read: the amount of addresses is different than the amount of parameters";
    // Tested before the missing sub-device.
    QTest::newRow("write to a device without sub-device")
        << false << Address::Bytes{19, 0, 4, 0, 0}
        << "Write: the amount of addresses is different than the amount of parameters";
}

void TestServiceParameterRefusals::blockWithoutBytes_isRefused()
{
    QFETCH(bool, reading);
    QFETCH(Address::Bytes, address);
    QFETCH(QString, refusal);
    ServiceHarness h;
    const Device dev = deviceAt(address);
    const Parameters subdevice{mWater.subdevice.front(), withoutBytes()};
    if (reading)
        h.call([dev, this, &subdevice](ParLinkDeviceService *s) { s->read(dev, refsOf(mWater.device), refsOf(subdevice)); });
    else
        h.call([dev, this, subdevice](ParLinkDeviceService *s) { s->write(dev, mWater.device, subdevice); });
    QVERIFY(h.recorder().waitFor("error"));
    QCOMPARE(h.recorder().errors(), QStringList{refusal});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{refusal});
    h.recorder().quietFor(400);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.recorder().progress(), QList<int>{});
}

void TestServiceParameterRefusals::secondWrite_whileTheFirstRuns_isRefused()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    const Parameters other{mWater.subdevice.back()};
    h.call([dev = *found, other, this](ParLinkDeviceService *s) {
        s->write(dev, mWater.device, {});
        s->write(dev, {}, other);
        // Nothing to send comes before busy: an empty transfer succeeds whatever runs.
        s->write(dev, {}, {});
    });
    QVERIFY(h.recorder().waitFor("successWriting", 2));
    QCOMPARE(h.recorder().errors(), QStringList{"Current operation not finished!"});
    QCOMPARE(h.recorder().warnings(), QStringList{"The parameters are empty."});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), QStringList{"Current operation not finished!"});
    QCOMPARE(h.recorder().outcomes(), (QStringList{"error", "warning", "successWriting", "successWriting"}));
    // Only the first write went out.
    QCOMPARE(commandsAfter(*h.device(), identification), (QList<int>{131, 130, 132}));
    QCOMPARE(h.device()->memory().read(Space::DeviceAndSubDevice, 1074, 2), std::optional<QByteArray>(QByteArray(2, '\0')));
}

QTEST_GUILESS_MAIN(TestServiceParameterRefusals)
#include "tst_service_parameterrefusals.moc"
