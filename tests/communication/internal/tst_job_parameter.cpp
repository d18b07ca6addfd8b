// The parameter job against the real facade, its replies handed in by the test: the order of its
// sessions, read-backs and their repeats, reads, progress, and every way it fails.

#include "communication/MetaTypes.h"
#include "communication/TransferPlan.h"
#include "communication/internal/Parameter.h"
#include "communication/internal/Port.h"
#include "tests/communication/internal/JobTestSupport.h"

#include <QtTest>

#include <memory>

using namespace Thg::Tilo::Communication;
using Internal::Parameter;
using JobTest::deliver;
using JobTest::entries;
using JobTest::values;
using Chunk = Internal::Chunks<50>::Chunk;

namespace {

constexpr int ShortTimeoutMs = 400;
// The start delay (300 ms) or a step (150 ms), with room for a busy machine.
constexpr int SessionWaitMs = 5000;

Device deviceWithSubdevice()
{
    Device dev;
    dev.address.bytes = {19, 0, 4, 0, 1};
    return dev;
}

Chunk chunk(Address::Type type, std::uint16_t address, const char *hex)
{
    return {type, address, QByteArray::fromHex(hex)};
}

JobTest::FieldMap bytes(const char *hex)
{
    return {{"Bytes", QByteArray::fromHex(hex)}};
}

} // namespace

class TestJobParameter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void replyProgress_sharesNinetyAndHoldsAt100_data();
    void replyProgress_sharesNinetyAndHoldsAt100();
    void write_oneChunkThenTakeOver_succeeds();
    void write_sendsEachSequenceAtItsAddressType();
    void readBack_differingOnce_repeatsTheChunkAndSucceeds();
    void readBack_differingFourTimes_failsWithTheMismatch();
    void failures_reportCloseAndLeaveTheJobIdle_data();
    void failures_reportCloseAndLeaveTheJobIdle();
    void read_ofThreeChunks_handsOverAllBytesOnce();
    void abort_duringAStep_sendsNothingMoreAndNewPlanStartsClean();
    void reply_whileInactive_doesNothing();

private:
    // Waits until the job's session has been handed to the facade.
    bool sessionRunning();

    std::unique_ptr<PARLINK> mFacade;
    std::unique_ptr<Internal::Port> mPort;
    std::unique_ptr<Parameter> mJob;
};

void TestJobParameter::initTestCase()
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();
}

void TestJobParameter::init()
{
    mFacade = std::make_unique<PARLINK>();
    mPort = std::make_unique<Internal::Port>(nullptr, mFacade.get());
    mJob = std::make_unique<Parameter>(nullptr, mFacade.get(), mPort.get(), ClosePortWhenFinished::No, ShortTimeoutMs);
}

void TestJobParameter::cleanup()
{
    mJob.reset();
    mPort.reset();
    mFacade.reset();
}

bool TestJobParameter::sessionRunning()
{
    return QTest::qWaitFor([this] { return mJob->session()->isRunning(); }, SessionWaitMs);
}

void TestJobParameter::replyProgress_sharesNinetyAndHoldsAt100_data()
{
    QTest::addColumn<unsigned>("done");
    QTest::addColumn<unsigned>("total");
    QTest::addColumn<unsigned>("progress");
    QTest::newRow("first of nine") << 1u << 9u << 20u;
    QTest::newRow("last of nine") << 9u << 9u << 100u;
    QTest::newRow("one of seven") << 1u << 7u << 22u;
    QTest::newRow("fifteen of sixteen") << 15u << 16u << 94u;
    QTest::newRow("a repeat past the total") << 11u << 9u << 100u;
}

void TestJobParameter::replyProgress_sharesNinetyAndHoldsAt100()
{
    QFETCH(unsigned, done);
    QFETCH(unsigned, total);
    QFETCH(unsigned, progress);
    QCOMPARE(Parameter::replyProgress(done, total), progress);
}

void TestJobParameter::write_oneChunkThenTakeOver_succeeds()
{
    QSignalSpy progress(mJob.get(), &Parameter::progress);
    QSignalSpy log(mJob.get(), &Parameter::log);
    QSignalSpy success(mJob.get(), &Parameter::success);
    QSignalSpy error(mJob.get(), &Parameter::error);
    mJob->startWrite(deviceWithSubdevice(),
                     Internal::writePlan({chunk(Address::Type::Device, 16, "30313233")}, true));
    QVERIFY(mJob->isBusy());
    QCOMPARE(mJob->state(), Parameter::State::Writing);
    QCOMPARE(values(progress), (QList<int>{0, 10}));

    QVERIFY(sessionRunning());
    deliver(*mFacade, 131);
    deliver(*mFacade, 130, bytes("30313233"));
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(success.isEmpty());
    QVERIFY(sessionRunning());
    deliver(*mFacade, 132);

    QCOMPARE(success.size(), 1);
    QVERIFY(error.isEmpty());
    QVERIFY(!mJob->isBusy());
    QCOMPARE(values(progress), (QList<int>{0, 10, 40, 70, 100, 100}));
    const QStringList trace = entries(log, int(LogLevel::Trace));
    QVERIFY(trace.contains("Device responded to command 131: Value was written"));
    QVERIFY(trace.contains("Device responded to command 130: Read value corresponds to sent value: 30313233 to NVM address: 16"));
    QVERIFY(trace.contains("Device responded to command 132: values were taken into RAM"));
    QVERIFY(!trace.contains("Com port will be closed"));
}

void TestJobParameter::write_sendsEachSequenceAtItsAddressType()
{
    mJob->startWrite(deviceWithSubdevice(),
                     Internal::writePlan({chunk(Address::Type::Device, 16, "01"),
                                          chunk(Address::Type::DeviceAndSubDevice, 434, "0203")},
                                         false));
    const QList<QByteArray> expected{QByteArray::fromHex("1300040000"), QByteArray::fromHex("1300040000"),
                                     QByteArray::fromHex("1300040001"), QByteArray::fromHex("1300040001")};
    const QList<int> commands{131, 132, 131, 132};
    for (int i = 0; i < commands.size(); ++i) {
        QVERIFY(sessionRunning());
        const PARLINK_Session *session = mJob->session()->parlinkSession();
        QCOMPARE(session->getAddress(), expected[i]);
        QCOMPARE(int(session->getCommand()), commands[i]);
        if (commands[i] == 131) {
            JobTest::FieldMap fields;
            session->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131, &fields);
            QCOMPARE(fields.value("Address").toInt(), i == 0 ? 16 : 434);
        }
        deliver(*mFacade, commands[i]);
    }
    QVERIFY(!mJob->isBusy());
}

void TestJobParameter::readBack_differingOnce_repeatsTheChunkAndSucceeds()
{
    QSignalSpy progress(mJob.get(), &Parameter::progress);
    QSignalSpy log(mJob.get(), &Parameter::log);
    QSignalSpy success(mJob.get(), &Parameter::success);
    mJob->startWrite(deviceWithSubdevice(),
                     Internal::writePlan({chunk(Address::Type::Device, 16, "0102")}, true));
    QVERIFY(sessionRunning());
    deliver(*mFacade, 131);
    deliver(*mFacade, 130, bytes("0103"));
    QCOMPARE(entries(log, int(LogLevel::Error)),
             QStringList{"Device responded to command 130: Sent value didn't correspond to read value: NVM address: 16 "
                         "written: 0102 read: 0103"});
    // The same chunk again, then the take-over.
    QVERIFY(sessionRunning());
    QCOMPARE(int(mJob->session()->parlinkSession()->getCommand()), 131);
    deliver(*mFacade, 131);
    deliver(*mFacade, 130, bytes("0102"));
    QVERIFY(sessionRunning());
    deliver(*mFacade, 132);

    QCOMPARE(success.size(), 1);
    // Five replies of three planned commands: held at 100 until the end.
    QCOMPARE(values(progress), (QList<int>{0, 10, 40, 70, 100, 100, 100, 100}));
}

void TestJobParameter::readBack_differingFourTimes_failsWithTheMismatch()
{
    QSignalSpy log(mJob.get(), &Parameter::log);
    QSignalSpy error(mJob.get(), &Parameter::error);
    QSignalSpy success(mJob.get(), &Parameter::success);
    mJob->startWrite(deviceWithSubdevice(),
                     Internal::writePlan({chunk(Address::Type::Device, 16, "0102")}, true));
    for (int attempt = 0; attempt < 4; ++attempt) {
        QVERIFY(sessionRunning());
        deliver(*mFacade, 131);
        deliver(*mFacade, 130, bytes("01"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(error.size(), 1, SessionWaitMs);
    const QString mismatch = "Device responded to command 130: Sent value didn't correspond to read value: NVM address: 16 "
                             "written: 0102 read: 01";
    QCOMPARE(error.first().first().toString(), "Exceeded max retries: " + mismatch);
    QCOMPARE(entries(log, int(LogLevel::Error)).last(), "Exceeded max retries: " + mismatch);
    QCOMPARE(entries(log, int(LogLevel::Error)).count(mismatch), 4);
    QVERIFY(entries(log, int(LogLevel::Trace)).contains("Com port will be closed"));
    QVERIFY(success.isEmpty());
    QVERIFY(!mJob->isBusy());
    QVERIFY(!mJob->session()->isRunning());
}

void TestJobParameter::failures_reportCloseAndLeaveTheJobIdle_data()
{
    QTest::addColumn<bool>("reading");
    QTest::addColumn<int>("command");
    QTest::addColumn<JobTest::FieldMap>("fields");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("reported");

    QTest::newRow("wrong command") << false << 130 << JobTest::FieldMap{}
                                   << "Device responded with wrong command. Expected: 131 Received: 130"
                                   << "Device responded with wrong command. Expected: 131 Received: 130";
    QTest::newRow("not acknowledged") << false << 131 << JobTest::FieldMap{{"Status Low", 1}}
                                      << "Device didn`t acknowledge command 131" << "Device didn`t acknowledge command 131";
    QTest::newRow("no answer") << false << 0 << JobTest::FieldMap{} << QString() << "Device didn`t respond -> timeout! !";
    QTest::newRow("read shorter than asked") << true << 130 << bytes("0102")
                                             << "Device responded to command 130 with 2 bytes instead of 3"
                                             << "Device responded to command 130 with 2 bytes instead of 3";
    QTest::newRow("read longer than asked") << true << 130 << bytes("01020304")
                                            << "Device responded to command 130 with 4 bytes instead of 3"
                                            << "Device responded to command 130 with 4 bytes instead of 3";
}

void TestJobParameter::failures_reportCloseAndLeaveTheJobIdle()
{
    QFETCH(bool, reading);
    QFETCH(int, command);
    QFETCH(JobTest::FieldMap, fields);
    QFETCH(QString, logged);
    QFETCH(QString, reported);

    QSignalSpy log(mJob.get(), &Parameter::log);
    QSignalSpy error(mJob.get(), &Parameter::error);
    QSignalSpy progress(mJob.get(), &Parameter::progress);
    QSignalSpy readValue(mJob.get(), &Parameter::readValue);
    const QList<Chunk> chunks{chunk(Address::Type::Device, 16, "010203"), chunk(Address::Type::Device, 40, "04")};
    if (reading)
        mJob->startRead(deviceWithSubdevice(), Internal::readPlan(chunks));
    else
        mJob->startWrite(deviceWithSubdevice(), Internal::writePlan(chunks, true));
    QVERIFY(sessionRunning());
    if (command != 0)
        deliver(*mFacade, command, fields);

    QTRY_COMPARE_WITH_TIMEOUT(error.size(), 1, SessionWaitMs);
    QCOMPARE(error.first().first().toString(), reported);
    if (!logged.isEmpty())
        QVERIFY(entries(log, int(LogLevel::Error)).contains(logged));
    QVERIFY(entries(log, int(LogLevel::Trace)).contains("Com port will be closed"));
    QCOMPARE(values(progress).last(), 0);
    QVERIFY(readValue.isEmpty());
    QVERIFY(!mJob->isBusy());
    QVERIFY(!mJob->session()->isRunning());
    // Nothing further happens: no step, no second error.
    QTest::qWait(300);
    QVERIFY(!mJob->session()->isRunning());
    QCOMPARE(error.size(), 1);
}

void TestJobParameter::read_ofThreeChunks_handsOverAllBytesOnce()
{
    QSignalSpy readValue(mJob.get(), &Parameter::readValue);
    QSignalSpy success(mJob.get(), &Parameter::success);
    QSignalSpy progress(mJob.get(), &Parameter::progress);
    QSignalSpy log(mJob.get(), &Parameter::log);
    const QList<Chunk> chunks{chunk(Address::Type::Device, 16, "0102"), chunk(Address::Type::Device, 66, "03"),
                              chunk(Address::Type::DeviceAndSubDevice, 434, "0405")};
    mJob->startRead(deviceWithSubdevice(), Internal::readPlan(chunks));
    QCOMPARE(mJob->state(), Parameter::State::Reading);
    const char *replies[] = {"0102", "03", "0405"};
    for (const char *reply : replies) {
        QVERIFY(sessionRunning());
        QVERIFY(readValue.isEmpty());
        deliver(*mFacade, 130, bytes(reply));
    }
    QCOMPARE(readValue.size(), 1);
    QCOMPARE(readValue.first().first().toByteArray(), QByteArray::fromHex("0102030405"));
    QCOMPARE(success.size(), 1);
    QCOMPARE(values(progress), (QList<int>{0, 10, 40, 70, 100, 100}));
    QVERIFY(entries(log, int(LogLevel::Trace))
                .contains("Device responded to command 130: Value 4; 5;  from NVM address: 434 recieved"));
}

void TestJobParameter::abort_duringAStep_sendsNothingMoreAndNewPlanStartsClean()
{
    QSignalSpy log(mJob.get(), &Parameter::log);
    QSignalSpy progress(mJob.get(), &Parameter::progress);
    QSignalSpy error(mJob.get(), &Parameter::error);
    mJob->startWrite(deviceWithSubdevice(), Internal::writePlan({chunk(Address::Type::Device, 16, "01"),
                                                                 chunk(Address::Type::Device, 99, "02")},
                                                                false));
    QVERIFY(sessionRunning());
    deliver(*mFacade, 131);
    // The step to the second chunk is under way.
    mJob->abort();
    QCOMPARE(entries(log, int(LogLevel::Info)), QStringList{"Operation was aborted and com port was closed!"});
    QCOMPARE(values(progress).last(), 0);
    QVERIFY(!mJob->isBusy());
    QVERIFY(entries(log, int(LogLevel::Trace)).contains("Com port will be closed"));

    // A new write at once: its first chunk goes out after its own start delay, not the old plan's step.
    mJob->startWrite(deviceWithSubdevice(), Internal::writePlan({chunk(Address::Type::Device, 500, "0a0b"),
                                                                 chunk(Address::Type::Device, 600, "0c")},
                                                                false));
    QTest::qWait(250);
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(sessionRunning());
    JobTest::FieldMap fields;
    mJob->session()->parlinkSession()->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131, &fields);
    QCOMPARE(fields.value("Address").toInt(), 500);
    QVERIFY(error.isEmpty());
}

void TestJobParameter::reply_whileInactive_doesNothing()
{
    QSignalSpy log(mJob.get(), &Parameter::log);
    QSignalSpy progress(mJob.get(), &Parameter::progress);
    deliver(*mFacade, 131);
    deliver(*mFacade, 130, bytes("01"));
    QVERIFY(log.isEmpty());
    QVERIFY(progress.isEmpty());
    QVERIFY(!mJob->isBusy());
}

QTEST_GUILESS_MAIN(TestJobParameter)
#include "tst_job_parameter.moc"
