// Identification through the device service, end to end: the service on its own thread against the
// simulated ZEB device on a pseudo-terminal.

#include "tests/support/ServiceHarness.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;

namespace {

Device simulatedDevice(const Address::Bytes &address = {19, 0, 4, 0, 1})
{
    Device dev;
    dev.Name = "M7Q4-ZEB";
    dev.Version = "V02.11";
    dev.Revision = "240307";
    dev.address.bytes = address;
    dev.SubName = "ZEB-SENSOR";
    dev.SubVersion = "V02.00";
    dev.SubRevision = "230915";
    return dev;
}

} // namespace

class TestServiceIdentification : public QObject {
    Q_OBJECT
private slots:
    void start_identifiesTheDeviceAtTheFastestRate_data();
    void start_identifiesTheDeviceAtTheFastestRate();
    void start_withIdsAbove255_addressesEveryRequestRight();
    void start_whileIdentifying_isIgnored();
    void start_again_keepsTheOpenPortAndIdentifiesAgain();
};

void TestServiceIdentification::start_identifiesTheDeviceAtTheFastestRate_data()
{
    QTest::addColumn<bool>("singleWire");
    QTest::addColumn<int>("baudMask");
    QTest::addColumn<int>("rate");
    QTest::newRow("two wires, up to 115200") << false << 0x00FF << 115200;
    QTest::newRow("single wire, echoing device") << true << 0x00FF << 115200;
    QTest::newRow("only 1200 offered") << false << 0x0001 << 1200;
}

void TestServiceIdentification::start_identifiesTheDeviceAtTheFastestRate()
{
    QFETCH(bool, singleWire);
    QFETCH(int, baudMask);
    QFETCH(int, rate);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.singleWire = singleWire;
    config.baudRateMask = std::uint16_t(baudMask);
    ZEB_START_SIM(h, config);

    const std::optional<Device> found = h.connectDevice();
    QCOMPARE(h.recorder().errors(), QStringList{});
    QVERIFY(found);
    QCOMPARE(*found, simulatedDevice());
    QCOMPARE(found->Vendor, QString("-"));
    QCOMPARE(h.device()->commandsReceived(), (QList<int>{137, 128, 129, 135, 136, 141, 135, 136, 141}));
    QCOMPARE(h.device()->programLineSpeed(), rate);
    QTRY_COMPARE_WITH_TIMEOUT(h.device()->deviceBaudrate(), quint32(rate), 2000);
    // Reset, start, the 137 reply, eight replies of ten each, done.
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"foundDevice"});
    QVERIFY(h.recorder().logEntries().contains("Device responded to command 137: address: 190401 Typ: 2"));
    QVERIFY(h.recorder().logEntries().contains("Device responded to command 135: Version V02.11"));
}

void TestServiceIdentification::start_withIdsAbove255_addressesEveryRequestRight()
{
    ServiceHarness h;
    ZebSim::SimConfig config;
    // Device id 300 (0x012C), sub-device id 600 (0x0258).
    config.address = QByteArray::fromHex("13012C0258");
    ZEB_START_SIM(h, config);

    const std::optional<Device> found = h.connectDevice();
    QCOMPARE(h.recorder().errors(), QStringList{});
    QVERIFY(found);
    QCOMPARE(*found, simulatedDevice({19, 0x01, 0x2C, 0x02, 0x58}));
    QCOMPARE(h.device()->commandsReceived(), (QList<int>{137, 128, 129, 135, 136, 141, 135, 136, 141}));
}

void TestServiceIdentification::start_whileIdentifying_isIgnored()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const Comport port = h.comport();
    h.call([port](ParLinkDeviceService *s) { s->start(port, true); });
    QVERIFY(h.recorder().waitFor("log"));
    h.call([port](ParLinkDeviceService *s) { s->start(port, true); });
    QVERIFY(h.recorder().waitFor("foundDevice"));

    h.recorder().quietFor(500);
    QCOMPARE(h.recorder().outcomes(), QStringList{"foundDevice"});
    QCOMPARE(h.recorder().foundDevices(), QList<Device>{simulatedDevice()});
    QCOMPARE(h.device()->commandsReceived(), (QList<int>{137, 128, 129, 135, 136, 141, 135, 136, 141}));
}

void TestServiceIdentification::start_again_keepsTheOpenPortAndIdentifiesAgain()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    QVERIFY(h.connectDevice());
    h.recorder().clear();

    const std::optional<Device> again = h.connectDevice();
    QCOMPARE(h.recorder().errors(), QStringList{});
    QVERIFY(again);
    QCOMPARE(*again, simulatedDevice());
    QVERIFY(h.recorder().logEntries().contains("same com port already open"));
    QVERIFY(!h.recorder().logEntries().contains("Trying to open com port"));
}

QTEST_GUILESS_MAIN(TestServiceIdentification)
#include "tst_service_identification.moc"
