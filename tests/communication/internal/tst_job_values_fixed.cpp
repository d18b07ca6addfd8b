// The measured-value job's fixed reads against the simulated device: every sample delivered, with its
// status texts, extremes and progress, and the runs that fail.

#include "tests/communication/internal/JobTestSupport.h"
#include "tests/communication/internal/ValuesRig.h"

using namespace Thg::Tilo::Communication;
using Kind = ValuesRig::Kind;
using State = Internal::Values::State;

class TestJobValuesFixed : public QObject {
    Q_OBJECT
private slots:
    void fixedRun_deliversEverySampleWithItsProgress_data();
    void fixedRun_deliversEverySampleWithItsProgress();
    void statusTexts_andStatusByte_reachEverySample();
    void variableCount_makesAtMostEightSlots_data();
    void variableCount_makesAtMostEightSlots();
    void refused138_failsResetsAndClosesThePort();
    void noReply_failsWithTheTimeOutText();
    void startWhileBusy_isRefusedAndTheRunGoesOn();
    void replyToAnotherCommand_failsTheRun();
    void stepOfAnAbortedRun_doesNotMoveTheNextRunOn();
    void longestRun_makesEachSequenceWhenItIsDue_data();
    void longestRun_makesEachSequenceWhenItIsDue();
};

void TestJobValuesFixed::fixedRun_deliversEverySampleWithItsProgress_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<unsigned>("samples");
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QList<float>>("flows");
    QTest::addColumn<QList<int>>("progress");

    // 95/4 = 23.75 per reply, the fractions dropped.
    QTest::newRow("device values") << Kind::DeviceValues << 3u << QList<int>{140, 138, 138, 138}
                                   << QList<float>{10, 14, 12} << QList<int>{0, 5, 28, 51, 74, 97, 100};
    QTest::newRow("burst values") << Kind::BurstValues << 3u << QList<int>{140, 139, 139, 139}
                                  << QList<float>{10, 14, 12} << QList<int>{0, 5, 28, 51, 74, 97, 100};
    // Two records per session, 95/3 per reply: the fifth share no longer fits below 100.
    QTest::newRow("device and burst values")
        << Kind::DeviceAndBurstValues << 2u << QList<int>{140, 138, 139, 138, 139} << QList<float>{10, 14, 12, 8}
        << QList<int>{0, 5, 36, 67, 98, 98, 98, 100};
}

void TestJobValuesFixed::fixedRun_deliversEverySampleWithItsProgress()
{
    QFETCH(Kind, kind);
    QFETCH(unsigned, samples);
    QFETCH(QList<int>, commands);
    QFETCH(QList<float>, flows);
    QFETCH(QList<int>, progress);
    ValuesRig rig;
    START_RIG(rig, withSamples({"17:10,32:20.5", "17:14,32:20.5", "17:12,32:21", "17:8,32:21"}));
    rig.progress->clear();

    QVERIFY(rig.read(State::FixedSamples, kind, samples, 0));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{});
    QCOMPARE(rig.device->commandsReceived().mid(1), commands);
    QCOMPARE(rig.progressValues(), progress);

    const QList<Slots> delivered = rig.fixedSamples();
    QCOMPARE(rig.fixed->first().at(0).value<Kind>(), kind);
    QCOMPARE(valuesOf(delivered, 0), flows);
    QCOMPARE(valuesOf(rig.newValues(), 0), flows);
    QCOMPARE(ValuesRig::column<Kind>(*rig.newValue, 0), QList<Kind>(flows.size(), kind));
    // The extremes of each index since the start of the run.
    QCOMPARE(delivered.at(1).slotList.at(0).min, 10.0f);
    QCOMPARE(delivered.at(1).slotList.at(0).max, 14.0f);
    QCOMPARE(delivered.last().slotList.at(1).min, 20.5f);
    QCOMPARE(delivered.last().slotList.at(1).max, 21.0f);
    QCOMPARE(delivered.last().slotList.at(1).unit, quint8(32));
    QVERIFY(rig.logEntries().contains("Device responded to command 140"));
    QVERIFY(!rig.job->isBusy());
    QVERIFY(rig.port->isOpen());
}

void TestJobValuesFixed::statusTexts_andStatusByte_reachEverySample()
{
    ValuesRig rig;
    ZebSim::SimConfig config = withSamples({"0/17:10", "0x2a/17:11"});
    config.measured.statusTexts = {{1, "3Overflow"}, {2, "2Air bubble"}, {4, "1Low flow"}, {6, "3Sensor fault"}};
    START_RIG(rig, config);

    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 2, 0));
    QVERIFY(rig.waitForEnd());
    const QList<Slots> delivered = rig.fixedSamples();
    QCOMPARE(delivered.size(), 2);
    QCOMPARE(rig.job->statusTexts(),
             (QList<QString>{"3Overflow", "2Air bubble", " ", "1Low flow", " ", "3Sensor fault", " ", " "}));
    QCOMPARE(delivered.at(0).status, quint8(0));
    QCOMPARE(delivered.at(0).activeStatusStrings().size(), 0);
    QCOMPARE(delivered.at(1).status, quint8(0x2a));
    QStringList active;
    for (const StatusString &entry : delivered.at(1).activeStatusStrings())
        active.append(QString::number(entry.level) + ":" + entry.text);
    QCOMPARE(active, (QStringList{"3:Sensor fault", "1:Low flow", "2:Air bubble"}));
    QCOMPARE(delivered.at(1).statusStrings.at(0).text, QString("Overflow"));
}

void TestJobValuesFixed::variableCount_makesAtMostEightSlots_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<bool>("extraVariable");
    QTest::addColumn<QList<float>>("values");
    QTest::addColumn<QStringList>("warnings");

    QTest::newRow("nine variables") << "1:1,2:2,3:3,4:4,5:5,6:6,7:7,17:8" << true
                                    << QList<float>{1, 2, 3, 4, 5, 6, 7, 8}
                                    << QStringList{"Device reported 9 values; only the first 8 are taken"};
    QTest::newRow("eight variables") << "1:1,2:2,3:3,4:4,5:5,6:6,7:7,17:8" << false
                                     << QList<float>{1, 2, 3, 4, 5, 6, 7, 8} << QStringList{};
    QTest::newRow("no variables") << "" << false << QList<float>{} << QStringList{};
    QTest::newRow("a slot without a value") << "17:1,255:2,32:3" << false << QList<float>{1, 3} << QStringList{};
}

// Nine variables would index past the eight running sums and extremes.
void TestJobValuesFixed::variableCount_makesAtMostEightSlots()
{
    QFETCH(QString, sample);
    QFETCH(bool, extraVariable);
    QFETCH(QList<float>, values);
    QFETCH(QStringList, warnings);
    ValuesRig rig;
    ZebSim::SimConfig config = withSamples({sample});
    if (extraVariable)
        config.measured.extraVariable = ZebSim::Variable{41, 99.0f};
    START_RIG(rig, config);

    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 2, 0));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{});
    const QList<Slots> delivered = rig.fixedSamples();
    QCOMPARE(delivered.size(), 2);
    QList<float> got;
    for (const Slot &slot : delivered.last().slotList)
        got.append(slot.value);
    QCOMPARE(got, values);
    QCOMPARE(JobTest::entries(*rig.log, int(LogLevel::Warning)), warnings + warnings);
}

void TestJobValuesFixed::refused138_failsResetsAndClosesThePort()
{
    ValuesRig rig;
    ZebSim::SimConfig config;
    config.faults.statusLowFor = {{138, 1}};
    START_RIG(rig, config);
    QSignalSpy closed(rig.port.get(), &Internal::Port::closed);

    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 3, 0));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{"Device didn`t acknowledge command 138"});
    QVERIFY(JobTest::entries(*rig.log, int(LogLevel::Error)).contains("Device didn`t acknowledge command 138"));
    QCOMPARE(rig.progressValues().mid(rig.progressValues().size() - 2), (QList<int>{0, 5}));
    QVERIFY(closed.wait(ValuesRig::WaitMs));
    QCOMPARE(rig.newValue->size(), 0);
    QCOMPARE(rig.fixed->size(), 0);
    QVERIFY(!rig.job->isBusy());
    QCOMPARE(rig.device->commandsReceived().mid(1), (QList<int>{140, 138}));
}

void TestJobValuesFixed::noReply_failsWithTheTimeOutText()
{
    ValuesRig rig(1000);
    ZebSim::SimConfig config;
    // The answers to 129 and 140, then nothing.
    config.faults.silentAfterFrames = 2;
    START_RIG(rig, config);
    QSignalSpy closed(rig.port.get(), &Internal::Port::closed);

    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 3, 0));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errors(), QStringList{"Device didn`t respond -> timeout! !"});
    QTRY_VERIFY_WITH_TIMEOUT(rig.logEntries().contains("Device didn't answer in time!"), ValuesRig::WaitMs);
    QCOMPARE(rig.progressValues().mid(rig.progressValues().size() - 2), (QList<int>{0, 5}));
    QVERIFY(closed.wait(ValuesRig::WaitMs));
    QVERIFY(!rig.job->isBusy());
}

void TestJobValuesFixed::startWhileBusy_isRefusedAndTheRunGoesOn()
{
    ValuesRig rig;
    START_RIG(rig);
    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 3, 0));
    QVERIFY(!rig.read(State::Accumulate, Kind::BurstValues, 5, 2));
    QCOMPARE(rig.errors(), QStringList{"Current operation not finished!"});
    QCOMPARE(JobTest::entries(*rig.log, int(LogLevel::Error)), QStringList{"Current operation not finished!"});

    QVERIFY(QTest::qWaitFor([&] { return !rig.fixed->isEmpty(); }, ValuesRig::WaitMs));
    QCOMPARE(rig.fixedSamples().size(), 3);
    QCOMPARE(rig.errors().size(), 1);
    QCOMPARE(rig.device->commandsReceived().mid(1), (QList<int>{140, 138, 138, 138}));
}

// No line needed: the reply is handed to the job through the facade as the stack would.
void TestJobValuesFixed::replyToAnotherCommand_failsTheRun()
{
    ValuesRig rig;
    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 3, 0));
    QVERIFY(QTest::qWaitFor([&] { return rig.job->session()->isRunning(); }, ValuesRig::WaitMs));
    JobTest::deliver(*rig.facade, 139);
    QCOMPARE(rig.errors(), QStringList{"Device responded with wrong command. Expected: 140 Received: 139"});
    QVERIFY(!rig.job->isBusy());
    QVERIFY(!rig.job->session()->isRunning());
    QCOMPARE(rig.progressValues().mid(rig.progressValues().size() - 2), (QList<int>{0, 5}));
}

// The 140 reply arms the 50 ms step to the first sample; the run is aborted and a new one started
// before that step is due.
void TestJobValuesFixed::stepOfAnAbortedRun_doesNotMoveTheNextRunOn()
{
    ValuesRig rig;
    QVERIFY(rig.read(State::FixedSamples, Kind::DeviceValues, 3, 0));
    QVERIFY(QTest::qWaitFor([&] { return rig.job->session()->isRunning(); }, ValuesRig::WaitMs));
    JobTest::deliver(*rig.facade, 140);
    rig.job->abort();
    QVERIFY(rig.read(State::FixedSamples, Kind::BurstValues, 2, 0));
    QTest::qWait(200);
    QCOMPARE(rig.job->plan().cursor, 0);
    QCOMPARE(rig.job->sequenceIndex(), 0u);
    QVERIFY(!rig.logEntries().contains("Starting single command: 139 at address: 190400"));
    QVERIFY(rig.logEntries().contains("Starting single command: 140 at address: 190400"));
}

void TestJobValuesFixed::longestRun_makesEachSequenceWhenItIsDue_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<unsigned short>("skip");
    QTest::addColumn<QList<int>>("firstCommands");

    QTest::newRow("fixed device values") << State::FixedSamples << Kind::DeviceValues << ushort(0)
                                         << QList<int>{140, 138, 138, 138};
    QTest::newRow("accumulated burst values") << State::Accumulate << Kind::BurstValues << ushort(2)
                                              << QList<int>{140, 139, 139, 139};
    QTest::newRow("fixed device and burst values") << State::FixedSamples << Kind::DeviceAndBurstValues << ushort(0)
                                                   << QList<int>{140, 138, 139, 138, 139};
}

// The largest sample count there is: a plan made up front would take about 137 GB. The run holds the
// sequence under way and the next one, no more.
void TestJobValuesFixed::longestRun_makesEachSequenceWhenItIsDue()
{
    QFETCH(State, state);
    QFETCH(Kind, kind);
    QFETCH(unsigned short, skip);
    QFETCH(QList<int>, firstCommands);
    ValuesRig rig;
    START_RIG(rig);
    QSignalSpy closed(rig.port.get(), &Internal::Port::closed);

    QVERIFY(rig.read(state, kind, 4294967295u, skip));
    QCOMPARE(rig.job->sequenceCount(), 1 + 4294967295ull + skip);
    qsizetype mostHeld = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            mostHeld = std::max(mostHeld, rig.job->plan().sequences.size());
            return rig.device->commandsReceived().size() > firstCommands.size();
        },
        ValuesRig::WaitMs));
    QCOMPARE(rig.device->commandsReceived().mid(1, firstCommands.size()), firstCommands);
    QVERIFY2(mostHeld <= 2, qPrintable(QString::number(mostHeld)));
    QVERIFY(rig.job->sequenceIndex() >= 2);
    QCOMPARE(rig.errors(), QStringList{});

    rig.job->abort();
    QVERIFY(!rig.job->isBusy());
    QVERIFY(closed.wait(ValuesRig::WaitMs));
    const qsizetype sent = rig.device->commandsReceived().size();
    QTest::qWait(300);
    QCOMPARE(rig.device->commandsReceived().size(), sent);
    QCOMPARE(rig.fixed->size() + rig.accumulated->size(), 0);
}

QTEST_GUILESS_MAIN(TestJobValuesFixed)
#include "tst_job_values_fixed.moc"
