// Measured values through the device service, end to end: the device status warning before every
// result, the settings of an accumulating read, and an abort in the middle of a read.

#include "communication/internal/Values.h"
#include "tests/support/ServiceHarness.h"
#include "tests/support/SimulatedSamples.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::Values;

namespace {

ZebSim::SimConfig withStatusTexts(const QStringList &samples)
{
    ZebSim::SimConfig config = withSamples(samples);
    config.measured.statusTexts = {{1, "3Overflow"}, {2, "2Air bubble"}, {3, "2Low flow"},
                                   {4, "1Sensor fault"}, {6, "1Cable break"}, {8, "3Service due"}};
    return config;
}

QList<float> firstValues(const QList<Slots> &samples)
{
    QList<float> values;
    for (const Slots &sample : samples)
        values.append(sample.slotList.value(0).value);
    return values;
}

// The job's accumulate settings, read on the service's thread.
std::pair<int, int> settingsOf(ServiceHarness &h)
{
    Values *job = h.service()->findChild<Values *>();
    std::pair<int, int> settings{-1, -1};
    QMetaObject::invokeMethod(
        job, [&] { settings = {job->leadingSlotIndex(), job->samplesToTrim()}; }, Qt::BlockingQueuedConnection);
    return settings;
}

} // namespace

class TestServiceValues : public QObject {
    Q_OBJECT
private slots:
    void fixedRead_warnsOfTheDeviceStatusBeforeEachResult_data();
    void fixedRead_warnsOfTheDeviceStatusBeforeEachResult();
    void accumulatingRead_deliversTheTrimmedAverage();
    void accumulateSettings_areStoredForAnAcceptedStartOnly_data();
    void accumulateSettings_areStoredForAnAcceptedStartOnly();
    void abort_endsARunningRead();
};

void TestServiceValues::fixedRead_warnsOfTheDeviceStatusBeforeEachResult_data()
{
    QTest::addColumn<QStringList>("samples");
    QTest::addColumn<QStringList>("warnings");

    // The last warning is that of the first sample with an active status.
    QTest::newRow("statuses 0, 0x05, 0x2a, 0x80")
        << QStringList{"0/17:1", "0x05/17:2", "0x2a/17:3", "0x80/17:4"}
        << QStringList{"", "Device status: 0x5 (Low flow, Overflow)",
                       "Device status: 0x2a (Cable break, Sensor fault, Air bubble)", "Device status: 0x80 (Service due)",
                       "Device status: 0x5 (Low flow, Overflow)"};
    QTest::newRow("no status") << QStringList{"0/17:1", "0/17:2"} << QStringList{"", "", ""};
    // Bit 4 has no text: nothing to warn of.
    QTest::newRow("a status without a text") << QStringList{"0x10/17:1"} << QStringList{"", ""};
}

void TestServiceValues::fixedRead_warnsOfTheDeviceStatusBeforeEachResult()
{
    QFETCH(QStringList, samples);
    QFETCH(QStringList, warnings);
    ServiceHarness h;
    ZEB_START_SIM(h, withStatusTexts(samples));
    const std::optional<Device> dev = h.connectDevice();
    QVERIFY(dev);
    h.recorder().clear();

    const auto count = std::uint32_t(samples.size());
    h.call([dev, count](ParLinkDeviceService *s) { s->readFixedDeviceValues(Address::Type::Device, *dev, count); });
    QVERIFY(h.recorder().waitFor("finishedFixedSamples"));
    QCOMPARE(h.recorder().errors(), QStringList{});
    QStringList outcomes;
    for (qsizetype i = 0; i < samples.size(); ++i)
        outcomes << "warning" << "sampleReceived";
    QCOMPARE(h.recorder().outcomes(), outcomes + QStringList({"warning", "finishedFixedSamples"}));
    QCOMPARE(h.recorder().warnings(), warnings);
    const QList<Slots> delivered = h.recorder().first("finishedFixedSamples")->args.first().value<QList<Slots>>();
    QCOMPARE(firstValues(delivered).size(), samples.size());
    QCOMPARE(firstValues(delivered).last(), float(samples.size()));
}

void TestServiceValues::accumulatingRead_deliversTheTrimmedAverage()
{
    ServiceHarness h;
    ZEB_START_SIM(h, withStatusTexts({"17:1000", "17:1000", "17:10", "17:14", "0x01/17:12"}));
    const std::optional<Device> dev = h.connectDevice();
    QVERIFY(dev);
    h.recorder().clear();

    h.call([dev](ParLinkDeviceService *s) { s->accumulateBurstValues(Address::Type::Device, *dev, 3, 0, 1); });
    QVERIFY(h.recorder().waitFor("finishedAccumulate"));
    QCOMPARE(h.recorder().errors(), QStringList{});
    QCOMPARE(h.device()->commandsReceived().mid(9), (QList<int>{140, 139, 139, 139, 139, 139}));
    QCOMPARE(h.recorder().outcomes(), (QStringList{"warning", "sampleReceived", "warning", "sampleReceived", "warning",
                                                   "sampleReceived", "warning", "finishedAccumulate"}));
    QCOMPARE(h.recorder().warnings(), (QStringList{"", "", "Device status: 0x1 (Overflow)",
                                                   "Device status: 0x1 (Overflow)"}));
    const Slots average = h.recorder().first("finishedAccumulate")->args.first().value<Slots>();
    QCOMPARE(firstValues({average}), QList<float>{12});
    QCOMPARE(average.slotList.first().min, 10.0f);
    QCOMPARE(average.slotList.first().max, 14.0f);
    QCOMPARE(h.recorder().progress().last(), 100);
}

void TestServiceValues::accumulateSettings_areStoredForAnAcceptedStartOnly_data()
{
    QTest::addColumn<int>("leading"); // -1: called by name without the two settings
    QTest::addColumn<int>("trim");
    QTest::addColumn<int>("storedLeading");
    QTest::newRow("leading index 5") << 5 << 2 << 5;
    QTest::newRow("leading index 9") << 9 << 1 << 7;
    QTest::newRow("leading index 200") << 200 << 3 << 7;
    QTest::newRow("by name, the defaults") << -1 << 0 << 0;
}

// No device is needed: the settings are stored when the run starts, and the runs are aborted.
void TestServiceValues::accumulateSettings_areStoredForAnAcceptedStartOnly()
{
    QFETCH(int, leading);
    QFETCH(int, trim);
    QFETCH(int, storedLeading);
    ServiceHarness h;
    const Device dev;
    if (leading < 0) {
        QVERIFY(QMetaObject::invokeMethod(h.service(), "accumulateDeviceValues", Qt::QueuedConnection,
                                          Q_ARG(Thg::Tilo::Communication::Address::Type, Address::Type::Device),
                                          Q_ARG(Thg::Tilo::Communication::Device, dev), Q_ARG(std::uint32_t, 10u)));
    } else {
        h.call([dev, leading, trim](ParLinkDeviceService *s) {
            s->accumulateDeviceValues(Address::Type::Device, dev, 10, std::uint8_t(leading), std::uint16_t(trim));
        });
    }
    QCOMPARE(settingsOf(h), (std::pair{storedLeading, trim}));

    h.call([dev](ParLinkDeviceService *s) { s->accumulateBurstValues(Address::Type::Device, dev, 4, 1, 9); });
    QVERIFY(h.recorder().waitFor("error"));
    QCOMPARE(h.recorder().errors(), QStringList{"Current operation not finished!"});
    QCOMPARE(settingsOf(h), (std::pair{storedLeading, trim}));
    h.call([](ParLinkDeviceService *s) { s->abort(); });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
}

void TestServiceValues::abort_endsARunningRead()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    const std::optional<Device> dev = h.connectDevice();
    QVERIFY(dev);
    h.recorder().clear();

    h.call([dev](ParLinkDeviceService *s) { s->readFixedDeviceAndBurstValues(Address::Type::Device, *dev, 50); });
    QVERIFY(h.recorder().waitFor("sampleReceived"));
    h.call([](ParLinkDeviceService *s) { s->abort(); });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    const qsizetype samples = h.recorder().count("sampleReceived");
    h.recorder().quietFor(500);
    QCOMPARE(h.recorder().count("sampleReceived"), samples);
    QCOMPARE(h.recorder().count("finishedFixedSamples"), 0);
    QCOMPARE(h.recorder().errors(), QStringList{});
    QVERIFY(h.recorder().logEntries(LogLevel::Trace).contains("Operation was aborted and com port was closed!"));
    QVERIFY(h.recorder().logEntries().contains("Com port is closed"));
    QCOMPARE(h.recorder().progress().mid(h.recorder().progress().size() - 2), (QList<int>{5, 100}));
}

QTEST_GUILESS_MAIN(TestServiceValues)
#include "tst_service_values.moc"
