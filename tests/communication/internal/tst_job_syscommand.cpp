// The system-command job, against the real facade, with the replies handed in by the test.

#include "communication/MetaTypes.h"
#include "communication/internal/Port.h"
#include "communication/internal/SysCommand.h"
#include "tests/communication/internal/JobTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::SysCommand;
using Command = SysCommand::Command;
using JobTest::deliver;
using JobTest::device;
using JobTest::entries;
using JobTest::FieldMap;
using JobTest::values;

namespace {

constexpr int WaitMs = 10000;
constexpr int ShortTimeoutMs = 400;

QList<Command> commands(const QSignalSpy &spy)
{
    QList<Command> list;
    for (const auto &arguments : spy)
        list.append(arguments.first().value<Command>());
    return list;
}

} // namespace

class TestJobSysCommand : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void command_isSentAndReported_data();
    void command_isSentAndReported();
    void factoryDefaults_reportSuccessHalfASecondAfterTheReply();
    void bootloaderDevice_getsNothingAndSucceedsAtOnce();
    void start_whileBusy_isRefusedAndTheFirstGoesOn();
    void failure_endsTheStartAndClosesThePort_data();
    void failure_endsTheStartAndClosesThePort();
    void twoCommands_runOneSessionEach();
    void resetNvm_unanswered_succeedsAfterItsTimeThenCloses();
    void resetNvm_answered_succeedsOnce();
    void resetNvm_failed_neverSucceedsLater();
    void resetNvm_timerNeverActsOnALaterStart();
    void abort_stopsEverything();

private:
    // A job whose replies may take `responseTimeoutMs`.
    void makeJob(int responseTimeoutMs);
    bool waitRunning();
    // The request of the session under way: its address and its "Systemcommand".
    int sentCommand() const;

    std::unique_ptr<PARLINK> mFacade;
    std::unique_ptr<Internal::Port> mPort;
    std::unique_ptr<SysCommand> mJob;
    std::unique_ptr<QSignalSpy> mSuccess;
    std::unique_ptr<QSignalSpy> mErrors;
    std::unique_ptr<QSignalSpy> mProgress;
    std::unique_ptr<QSignalSpy> mLog;
};

void TestJobSysCommand::initTestCase()
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();
}

void TestJobSysCommand::init()
{
    mFacade = std::make_unique<PARLINK>();
    mPort = std::make_unique<Internal::Port>(nullptr, mFacade.get());
    makeJob(ShortTimeoutMs);
}

void TestJobSysCommand::makeJob(int responseTimeoutMs)
{
    mJob = std::make_unique<SysCommand>(nullptr, mFacade.get(), mPort.get(), ClosePortWhenFinished::No,
                                        responseTimeoutMs);
    mSuccess = std::make_unique<QSignalSpy>(mJob.get(), &SysCommand::success);
    mErrors = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::error);
    mProgress = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::progress);
    mLog = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::log);
}

void TestJobSysCommand::cleanup()
{
    mLog.reset();
    mProgress.reset();
    mErrors.reset();
    mSuccess.reset();
    mJob.reset();
    mPort.reset();
    mFacade.reset();
}

bool TestJobSysCommand::waitRunning()
{
    return QTest::qWaitFor([this] { return mJob->session()->isRunning(); }, WaitMs);
}

int TestJobSysCommand::sentCommand() const
{
    FieldMap fields;
    mJob->session()->parlinkSession()->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143, &fields);
    return fields.value("Systemcommand").toInt();
}

void TestJobSysCommand::command_isSentAndReported_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<Address::Type>("type");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("logged");
    QTest::newRow("restart") << Command::RestartDevice << Address::Type::Device << QByteArray::fromHex("1300040000")
                             << "Device responded to command 143: Device restarted";
    QTest::newRow("restore factory defaults") << Command::ResetToFactoryDefaults << Address::Type::SubDevice
                                              << QByteArray::fromHex("1300000001")
                                              << "Device responded to command 143: values were reset to factory defaults";
}

void TestJobSysCommand::command_isSentAndReported()
{
    QFETCH(Command, command);
    QFETCH(Address::Type, type);
    QFETCH(QByteArray, address);
    QFETCH(QString, logged);
    mJob->systemCommand(type, device(), command);
    QVERIFY(mJob->isBusy());
    QCOMPARE(values(*mProgress), (QList<int>{0, 10}));
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(waitRunning());
    QCOMPARE(mJob->session()->parlinkSession()->getAddress(), address);
    FieldMap fields;
    mJob->session()->parlinkSession()->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143, &fields);
    QCOMPARE(fields.value("Systemcommand").toInt(), int(command));
    QCOMPARE(fields.value("Payload").toInt(), 0);

    deliver(*mFacade, 143);
    QCOMPARE(commands(*mSuccess), QList<Command>{command});
    QCOMPARE(values(*mProgress), (QList<int>{0, 10, 100, 100}));
    QVERIFY(entries(*mLog, int(LogLevel::Trace)).contains(logged));
    QVERIFY(!mJob->isBusy());
    QVERIFY(!entries(*mLog).contains("Com port will be closed"));
}

void TestJobSysCommand::factoryDefaults_reportSuccessHalfASecondAfterTheReply()
{
    QStringList order;
    connect(mJob.get(), &Internal::Default::log, this, [&](LogLevel, const QString &entry) { order.append(entry); });
    connect(mJob.get(), &SysCommand::success, this, [&] { order.append("success"); });
    mJob->systemCommand(Address::Type::Device, device(), Command::SetCurrentAsFactoryDefaults);
    QVERIFY(waitRunning());
    QCOMPARE(sentCommand(), 0);
    QElapsedTimer sinceReply;
    sinceReply.start();
    deliver(*mFacade, 143);
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::SetCurrentAsFactoryDefaults});
    QVERIFY2(sinceReply.elapsed() >= SysCommand::FactoryDefaultsWaitMs, qPrintable(QString::number(sinceReply.elapsed())));
    QCOMPARE(order.mid(order.size() - 2),
             (QStringList{"Device responded to command 143: values were written as factory defaults", "success"}));
}

void TestJobSysCommand::bootloaderDevice_getsNothingAndSucceedsAtOnce()
{
    Device bootloader;
    bootloader.Name = "Bootloader";
    mJob->systemCommand(Address::Type::Device, bootloader, Command::RestartDevice);
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::RestartDevice});
    QCOMPARE(values(*mProgress), QList<int>{0});
    QVERIFY(!mJob->isBusy());
    QTest::qWait(400);
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(!mFacade->isSessionActive());
}

void TestJobSysCommand::start_whileBusy_isRefusedAndTheFirstGoesOn()
{
    mJob->systemCommand(Address::Type::Device, device(), Command::SetCurrentAsFactoryDefaults);
    QVERIFY(waitRunning());
    mJob->systemCommand(Address::Type::Device, device(), Command::RestartDevice);
    QCOMPARE(mErrors->size(), 1);
    QCOMPARE(mErrors->first().first().toString(), QString("Current operation not finished!"));
    QCOMPARE(entries(*mLog, int(LogLevel::Error)), QStringList{"Current operation not finished!"});
    QCOMPARE(sentCommand(), 0);
    deliver(*mFacade, 143);
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::SetCurrentAsFactoryDefaults});
}

void TestJobSysCommand::failure_endsTheStartAndClosesThePort_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("fields");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("error");
    QTest::newRow("another command") << 142 << FieldMap{{"Status Low", 1}}
                                     << "Device responded with wrong command. Expected: 143 Received: 142"
                                     << "Device responded with wrong command. Expected: 143 Received: 142";
    QTest::newRow("refused") << 143 << FieldMap{{"Status Low", 1}, {"Universal Error", 255}}
                             << "Device didn`t acknowledge command 143" << "Device didn`t acknowledge command 143";
    QTest::newRow("reply of the wrong length") << 143 << FieldMap{{"Universal Error", 2}}
                                               << "Device didn`t acknowledge command 143 (Universal Error 2)"
                                               << "Device didn`t acknowledge command 143";
    QTest::newRow("no reply") << 0 << FieldMap{} << "Device didn't answer in time!"
                              << "Device didn`t respond -> timeout! !";
}

void TestJobSysCommand::failure_endsTheStartAndClosesThePort()
{
    QFETCH(int, command);
    QFETCH(FieldMap, fields);
    QFETCH(QString, logged);
    QFETCH(QString, error);
    mJob->systemCommand(Address::Type::Device, device(), Command::RestartDevice);
    QVERIFY(waitRunning());
    if (command != 0)
        deliver(*mFacade, command, fields);
    else
        QVERIFY(mErrors->wait(WaitMs));

    QCOMPARE(mErrors->size(), 1);
    QCOMPARE(mErrors->first().first().toString(), error);
    QVERIFY(entries(*mLog, int(LogLevel::Error)).contains(logged));
    QCOMPARE(mProgress->last().first().toUInt(), 0u);
    QVERIFY(!mJob->isBusy());
    QVERIFY(entries(*mLog).contains("Com port will be closed"));
    QTest::qWait(ShortTimeoutMs * 2);
    QCOMPARE(mErrors->size(), 1);
    QCOMPARE(mSuccess->size(), 0);
}

void TestJobSysCommand::twoCommands_runOneSessionEach()
{
    mJob->startSystemCommand(Address::Type::Device, device(), {Command::ResetToFactoryDefaults, Command::RestartDevice});
    QVERIFY(waitRunning());
    QCOMPARE(sentCommand(), 1);
    deliver(*mFacade, 143);
    QVERIFY(!mJob->session()->isRunning());
    QCOMPARE(mSuccess->size(), 0);
    QVERIFY(waitRunning());
    QCOMPARE(sentCommand(), 3);
    deliver(*mFacade, 143);
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::RestartDevice});
    QCOMPARE(values(*mProgress), (QList<int>{0, 10, 55, 100, 100}));
}

void TestJobSysCommand::resetNvm_unanswered_succeedsAfterItsTimeThenCloses()
{
    // The device is given longer to answer than the ResetNvm takes.
    makeJob(Internal::Session::DefaultResponseTimeoutMs);
    QStringList order;
    connect(mJob.get(), &SysCommand::success, this, [&] { order.append("success"); });
    connect(mJob.get(), &Internal::Default::log, this, [&](LogLevel level, const QString &entry) {
        if (level == LogLevel::Info)
            order.append(entry);
    });
    mJob->systemCommand(Address::Type::Device, device(), Command::ResetNvm);
    QCOMPARE(values(*mProgress), QList<int>{0});
    QVERIFY(mSuccess->wait(WaitMs));
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::ResetNvm});
    QCOMPARE(order, (QStringList{"success", "Operation was aborted and com port was closed!"}));
    QCOMPARE(values(*mProgress), (QList<int>{0, 100, 0}));
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(entries(*mLog).contains("Com port will be closed"));
    QCOMPARE(mErrors->size(), 0);
}

void TestJobSysCommand::resetNvm_answered_succeedsOnce()
{
    mJob->systemCommand(Address::Type::Device, device(), Command::ResetNvm);
    QVERIFY(waitRunning());
    QCOMPARE(sentCommand(), 2);
    deliver(*mFacade, 143);
    QVERIFY(entries(*mLog, int(LogLevel::Trace)).contains("Device responded to command 143: NVM was reset"));
    QCOMPARE(mSuccess->size(), 0);
    QVERIFY(mSuccess->wait(WaitMs));
    QTest::qWait(300);
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::ResetNvm});
    QCOMPARE(values(*mProgress), (QList<int>{0, 90, 100, 0}));
}

void TestJobSysCommand::resetNvm_failed_neverSucceedsLater()
{
    mJob->systemCommand(Address::Type::Device, device(), Command::ResetNvm);
    QVERIFY(waitRunning());
    deliver(*mFacade, 143, {{"Status Low", 4}, {"Universal Error", 255}});
    QCOMPARE(mErrors->size(), 1);
    QTest::qWait(SysCommand::ResetNvmMs + 400);
    QCOMPARE(mSuccess->size(), 0);
}

void TestJobSysCommand::resetNvm_timerNeverActsOnALaterStart()
{
    makeJob(Internal::Session::DefaultResponseTimeoutMs);
    mJob->systemCommand(Address::Type::Device, device(), Command::ResetNvm);
    QVERIFY(waitRunning());
    deliver(*mFacade, 143, {{"Status Low", 1}});
    QCOMPARE(mErrors->size(), 1);

    // A restart within the ResetNvm's 800 ms runs to its own reply.
    mJob->systemCommand(Address::Type::Device, device(), Command::RestartDevice);
    QVERIFY(waitRunning());
    QTest::qWait(SysCommand::ResetNvmMs);
    QCOMPARE(mSuccess->size(), 0);
    QVERIFY(mJob->session()->isRunning());
    deliver(*mFacade, 143);
    QCOMPARE(commands(*mSuccess), QList<Command>{Command::RestartDevice});
    QCOMPARE(mErrors->size(), 1);
}

void TestJobSysCommand::abort_stopsEverything()
{
    mJob->systemCommand(Address::Type::Device, device(), Command::ResetNvm);
    QVERIFY(waitRunning());
    mJob->abort();
    QCOMPARE(entries(*mLog, int(LogLevel::Info)), QStringList{"Operation was aborted and com port was closed!"});
    QVERIFY(!mJob->isBusy());
    QVERIFY(!mJob->session()->isRunning());
    QTest::qWait(SysCommand::ResetNvmMs + 400);
    QCOMPARE(mSuccess->size() + mErrors->size(), 0);
}

QTEST_GUILESS_MAIN(TestJobSysCommand)
#include "tst_job_syscommand.moc"
