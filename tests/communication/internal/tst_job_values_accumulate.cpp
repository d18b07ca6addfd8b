// The measured-value job's accumulating reads against the simulated device: the settling replies
// left out, the highest and lowest samples trimmed, volumes summed, and samples the device sends in
// another layout or without a number.

#include "tests/communication/internal/JobTestSupport.h"
#include "tests/communication/internal/ValuesRig.h"

#include <cmath>

using namespace Thg::Tilo::Communication;
using Kind = ValuesRig::Kind;
using State = Internal::Values::State;

namespace {

// The two replies an accumulating read leaves out, with values that would show in any average.
const QStringList Settling{"17:1000,32:1000", "17:-1000,32:-1000"};

} // namespace

class TestJobValuesAccumulate : public QObject {
    Q_OBJECT
private slots:
    void accumulate_averagesWhatIsLeftAfterTrimming_data();
    void accumulate_averagesWhatIsLeftAfterTrimming();
    void volumeSlot_carriesTheRunningSum_data();
    void volumeSlot_carriesTheRunningSum();
    void allRepliesSkipped_reportNoDataAndNoResult();
};

void TestJobValuesAccumulate::accumulate_averagesWhatIsLeftAfterTrimming_data()
{
    QTest::addColumn<QStringList>("samples");
    QTest::addColumn<int>("trim");
    QTest::addColumn<int>("leading");
    QTest::addColumn<QList<float>>("average");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("warnings");

    // Sorted 14, 12, 11, 10, 8: the 14 and the 8 go, and the first remaining sample (12) gives the
    // status byte.
    QTest::newRow("five samples, one trimmed each way")
        << QStringList{"1/17:10,32:20", "2/17:14,32:21", "3/17:12,32:22", "4/17:8,32:23", "5/17:11,32:24"} << 1 << 0
        << QList<float>{11, 22} << 3 << QStringList{};
    // Equal leading values compare equal: the samples keep their order, and the middle one is left.
    QTest::newRow("equal leading values") << QStringList{"1/17:7,32:1", "2/17:7,32:2", "3/17:7,32:3"} << 1 << 0
                                          << QList<float>{7, 2} << 2 << QStringList{};
    QTest::newRow("two samples, nothing trimmed") << QStringList{"1/17:10,32:20", "2/17:14,32:22"} << 1 << 0
                                                  << QList<float>{12, 21} << 1 << QStringList{};
    QTest::newRow("sorted by the second slot") << QStringList{"1/17:1,32:20", "2/17:2,32:30", "3/17:3,32:10"} << 1 << 1
                                               << QList<float>{1, 20} << 1 << QStringList{};
    // Sorted 9, 5, 3, 1, NaN: the NaN counts as the lowest.
    QTest::newRow("NaN leading values")
        << QStringList{"17:5,32:1", "17:nan,32:2", "17:3,32:3", "17:9,32:4", "17:1,32:5"} << 1 << 0
        << QList<float>{3, 3} << 0 << QStringList{};
    // Only the three samples of the first one's layout take part: 10, 12, 8 sorted, the 10 is left.
    QTest::newRow("samples of another slot count are left out")
        << QStringList{"17:10,32:20", "17:14,32:24,7:1", "17:12,32:22", "17:11", "17:8,32:18"} << 1 << 0
        << QList<float>{10, 20} << 0
        << QStringList{"Sample 2 has 3 values instead of 2 and is left out of the average",
                       "Sample 4 has 1 values instead of 2 and is left out of the average"};
    // Counted over all five, one trimmed each way could take both samples of the first layout.
    QTest::newRow("left-out samples do not count towards trimming")
        << QStringList{"17:10,32:20", "17:14,32:24", "17:1", "17:2", "17:3"} << 1 << 0 << QList<float>{12, 22} << 0
        << QStringList{"Sample 3 has 1 values instead of 2 and is left out of the average",
                       "Sample 4 has 1 values instead of 2 and is left out of the average",
                       "Sample 5 has 1 values instead of 2 and is left out of the average"};
    QTest::newRow("no slot at the leading index")
        << QStringList{"17:10,32:20", "17:14,32:24", "17:12,32:22"} << 1 << 7 << QList<float>{12, 22} << 0
        << QStringList{"The samples have no value 8 to sort by; none is left out"};
}

void TestJobValuesAccumulate::accumulate_averagesWhatIsLeftAfterTrimming()
{
    QFETCH(QStringList, samples);
    QFETCH(int, trim);
    QFETCH(int, leading);
    QFETCH(QList<float>, average);
    QFETCH(int, status);
    QFETCH(QStringList, warnings);
    ValuesRig rig;
    START_RIG(rig, withSamples(Settling + samples));

    QVERIFY(rig.read(State::Accumulate, Kind::DeviceValues, unsigned(samples.size()), 2));
    rig.job->setLeadingSlotIndex(std::uint8_t(leading));
    rig.job->setSamplesToTrim(std::uint16_t(trim));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{});
    QCOMPARE(rig.device->commandsReceived().mid(1),
             QList<int>{140} + QList<int>(samples.size() + 2, 138));
    QCOMPARE(rig.newValue->size(), samples.size());
    QCOMPARE(rig.fixed->size(), 0);
    QCOMPARE(rig.accumulated->first().at(0).value<Kind>(), Kind::DeviceValues);
    QCOMPARE(valuesOf({rig.average()}, 0).first(), average.at(0));
    QCOMPARE(valuesOf({rig.average()}, 1).first(), average.at(1));
    QCOMPARE(rig.average().status, quint8(status));
    QCOMPARE(JobTest::entries(*rig.log, int(LogLevel::Warning)), warnings);
    QVERIFY(!rig.job->isBusy());
}

void TestJobValuesAccumulate::volumeSlot_carriesTheRunningSum_data()
{
    QTest::addColumn<bool>("accumulate");
    QTest::newRow("fixed") << false;
    QTest::newRow("accumulate") << true;
}

// A slot in litres reports the volume summed over the run, with extremes of 0; an average takes the
// last sample's volume and extremes and averages the other slots.
void TestJobValuesAccumulate::volumeSlot_carriesTheRunningSum()
{
    QFETCH(bool, accumulate);
    ValuesRig rig;
    const QStringList samples{"17:10,41:1.5", "17:14,41:1.5", "17:12,41:1.5"};
    START_RIG(rig, withSamples(accumulate ? Settling + samples : samples));

    QVERIFY(rig.read(accumulate ? State::Accumulate : State::FixedSamples, Kind::BurstValues, 3, accumulate ? 2 : 0));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{});
    const QList<Slots> sampled = rig.newValues();
    QCOMPARE(valuesOf(sampled, 1), (QList<float>{1.5f, 3.0f, 4.5f}));
    for (const Slots &sample : sampled) {
        QCOMPARE(sample.slotList.at(1).min, 0.0f);
        QCOMPARE(sample.slotList.at(1).max, 0.0f);
    }
    if (!accumulate) {
        QCOMPARE(valuesOf(rig.fixedSamples(), 1), (QList<float>{1.5f, 3.0f, 4.5f}));
        return;
    }
    const Slots average = rig.average();
    QCOMPARE(average.slotList.size(), 2);
    QCOMPARE(average.slotList.at(0).value, 12.0f);
    QCOMPARE(average.slotList.at(0).min, 10.0f);
    QCOMPARE(average.slotList.at(0).max, 14.0f);
    QCOMPARE(average.slotList.at(1).value, 4.5f);
    QCOMPARE(average.slotList.at(1).unit, quint8(41));
}

void TestJobValuesAccumulate::allRepliesSkipped_reportNoDataAndNoResult()
{
    ValuesRig rig;
    START_RIG(rig);
    QVERIFY(rig.read(State::Accumulate, Kind::DeviceValues, 0, 2));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{"Didn`t find any data points in device value read out!"});
    QCOMPARE(JobTest::entries(*rig.log, int(LogLevel::Error)),
             QStringList{"Didn`t find any data points in device value read out!"});
    QCOMPARE(rig.device->commandsReceived().mid(1), (QList<int>{140, 138, 138}));
    QCOMPARE(rig.newValue->size(), 0);
    QCOMPARE(rig.accumulated->size(), 0);
    QCOMPARE(rig.progressValues().last(), 100);
    QVERIFY(!rig.job->isBusy());
}

QTEST_GUILESS_MAIN(TestJobValuesAccumulate)
#include "tst_job_values_accumulate.moc"
