// One PARLINK master session of a job, against the real facade, the replies handed in by the test.

#include "communication/MetaTypes.h"
#include "communication/internal/Session.h"
#include "tests/communication/internal/JobTestSupport.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::Session;
using JobTest::deliver;
using JobTest::entries;

namespace {

constexpr Address::Bytes DeviceAddress{19, 0, 4, 0, 1};
constexpr int ShortTimeoutMs = 300;

QList<Session::Data> commands(const QList<int> &numbers)
{
    QList<Session::Data> list;
    for (const int number : numbers) {
        const auto command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND(number);
        list.append({command, Session::getDefaultData(command)});
    }
    return list;
}

} // namespace

class TestJobSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void start_logsAndPreparesTheSession_data();
    void start_logsAndPreparesTheSession();
    void start_afterAnEarlierOne_leavesNoFieldOfIt();
    void list_runsUntilItsLastReply_data();
    void list_runsUntilItsLastReply();
    void reply_whileNotRunning_isIgnored();
    void start_whileRunning_isRefused();
    void stopInsideTheReplyHandler_staysStopped();
    void newStartInsideTheReplyHandler_countsOnlyItsOwnReplies();
    void failureOnTheFirstReply_thenANewStart_runsTheNewList();
    void list_of101_sendsAndAwaitsOnly100();
    void noReply_reportsNoResponseThenLogs();
    void delayedStart_handsTheSessionOverLater();
    void helpers_giveTheStandardFieldsAndTheAddressText();

private:
    std::unique_ptr<PARLINK> mFacade;
    std::unique_ptr<Session> mSession;
};

void TestJobSession::initTestCase()
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();
}

void TestJobSession::init()
{
    mFacade = std::make_unique<PARLINK>();
    mSession = std::make_unique<Session>(nullptr, mFacade.get(), ShortTimeoutMs);
}

void TestJobSession::cleanup()
{
    mSession.reset();
    mFacade.reset();
}

void TestJobSession::start_logsAndPreparesTheSession_data()
{
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QStringList>("logged");
    QTest::newRow("one command") << QList<int>{135}
                                 << QStringList{"Starting single command: 135 at address: 190401"};
    QTest::newRow("three commands") << QList<int>{135, 136, 141}
                                    << QStringList{"A list of commands to address 190401 will be send: ",
                                                   "Command: 135", "Command: 136", "Command: 141"};
}

void TestJobSession::start_logsAndPreparesTheSession()
{
    QFETCH(QList<int>, numbers);
    QFETCH(QStringList, logged);
    QSignalSpy log(mSession.get(), &Session::log);
    mSession->startWith(DeviceAddress, commands(numbers), 0);

    QCOMPARE(entries(log, int(LogLevel::Trace)), logged);
    QVERIFY(mSession->isRunning());
    QVERIFY(mFacade->isSessionActive());
    QCOMPARE(mSession->count(), numbers.size());
    QCOMPARE(mSession->remaining(), numbers.size());
    const PARLINK_Session *session = mSession->parlinkSession();
    QCOMPARE(session->getType(), PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_MASTER);
    QCOMPARE(session->getAddress(), QByteArray::fromHex("1300040001"));
    // The master layer has taken the first command off the queue already.
    QCOMPARE(session->getCommand(), PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND(numbers.first()));
    QCOMPARE(session->getQueueLength(), numbers.size() - 1);
}

void TestJobSession::start_afterAnEarlierOne_leavesNoFieldOfIt()
{
    QList<Session::Data> first = commands({130});
    first[0].fields.insert("Address", 512);
    first[0].fields.insert("Stale", 1);
    mSession->startWith(DeviceAddress, first, 0);
    deliver(*mFacade, 130);
    QVERIFY(!mSession->isRunning());

    mSession->startWith(DeviceAddress, commands({135}), 0);
    JobTest::FieldMap fields;
    mSession->parlinkSession()->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130, &fields);
    QCOMPARE(fields, Session::getDefaultData(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130));
}

void TestJobSession::list_runsUntilItsLastReply_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("one command") << 1;
    QTest::newRow("two commands") << 2;
    QTest::newRow("three commands") << 3;
}

void TestJobSession::list_runsUntilItsLastReply()
{
    QFETCH(int, length);
    QSignalSpy data(mSession.get(), &Session::newData);
    QSignalSpy log(mSession.get(), &Session::log);
    QList<int> numbers{135, 136, 141};
    mSession->startWith(DeviceAddress, commands(numbers.mid(0, length)), 0);
    for (int i = 0; i < length; ++i) {
        QVERIFY(mSession->isRunning());
        deliver(*mFacade, numbers[i]);
        QCOMPARE(data.size(), i + 1);
    }
    QVERIFY(!mSession->isRunning());
    QCOMPARE(entries(log).last(), QString("Command %1 received").arg(numbers[length - 1]));
    // A further reply belongs to nobody here.
    deliver(*mFacade, 135);
    QCOMPARE(data.size(), length);
}

void TestJobSession::reply_whileNotRunning_isIgnored()
{
    QSignalSpy data(mSession.get(), &Session::newData);
    deliver(*mFacade, 137);
    QCOMPARE(data.size(), 0);
}

void TestJobSession::start_whileRunning_isRefused()
{
    mSession->startWith(DeviceAddress, commands({128, 129}), 0);
    QSignalSpy log(mSession.get(), &Session::log);
    mSession->startWith({}, commands({137}), 0);
    QCOMPARE(entries(log, int(LogLevel::Trace)), QStringList{"A command is already in progress."});
    QCOMPARE(mSession->count(), 2);
    QCOMPARE(mSession->parlinkSession()->getAddress(), QByteArray::fromHex("1300040001"));
}

// Every job failure stops its Session inside the reply handler.
void TestJobSession::stopInsideTheReplyHandler_staysStopped()
{
    QSignalSpy noResponse(mSession.get(), &Session::noResponse);
    connect(mSession.get(), &Session::newData, mSession.get(), [this] { mSession->stop(); });
    mSession->startWith(DeviceAddress, commands({128, 129}), 0);
    deliver(*mFacade, 128);
    QVERIFY(!mSession->isRunning());
    QVERIFY(!noResponse.wait(ShortTimeoutMs * 3));
}

void TestJobSession::newStartInsideTheReplyHandler_countsOnlyItsOwnReplies()
{
    bool restarted = false;
    connect(mSession.get(), &Session::newData, mSession.get(), [&] {
        if (restarted)
            return;
        restarted = true;
        mSession->stop();
        mSession->startWith(DeviceAddress, commands({135, 136}), 0);
    });
    mSession->startWith(DeviceAddress, commands({128, 129, 130}), 0);
    deliver(*mFacade, 128);
    QCOMPARE(mSession->count(), 2);
    QCOMPARE(mSession->remaining(), 2);
    deliver(*mFacade, 135);
    QVERIFY(mSession->isRunning());
    deliver(*mFacade, 136);
    QVERIFY(!mSession->isRunning());
}

void TestJobSession::failureOnTheFirstReply_thenANewStart_runsTheNewList()
{
    QSignalSpy noResponse(mSession.get(), &Session::noResponse);
    QSignalSpy log(mSession.get(), &Session::log);
    const auto failing = connect(mSession.get(), &Session::newData, mSession.get(), [this] { mSession->stop(); });
    mSession->startWith(DeviceAddress, commands({137, 128}), 0);
    deliver(*mFacade, 137);
    disconnect(failing);

    mSession->startWith(DeviceAddress, commands({135, 136}), 0);
    QVERIFY(!entries(log).contains("A command is already in progress."));
    QVERIFY(mSession->isRunning());
    deliver(*mFacade, 135);
    QVERIFY(mSession->isRunning());
    deliver(*mFacade, 136);
    QVERIFY(!mSession->isRunning());
    QVERIFY(!noResponse.wait(ShortTimeoutMs * 2));
}

void TestJobSession::list_of101_sendsAndAwaitsOnly100()
{
    QList<int> numbers;
    for (int i = 0; i < 101; ++i)
        numbers.append(i == 100 ? 141 : 132);
    QSignalSpy noResponse(mSession.get(), &Session::noResponse);
    QList<Session::Data> list = commands(numbers);
    list.last().fields.insert("Devicetypestring", "beyond the queue");
    mSession->startWith(DeviceAddress, list, 0);
    QCOMPARE(mSession->count(), 100);
    // The master layer holds the first; 99 wait in the queue, and no 141 among them.
    QCOMPARE(mSession->parlinkSession()->getQueueLength(), 99);
    for (int i = 0; i < 99; ++i)
        QCOMPARE(mSession->parlinkSession()->getQueuedCommand(i), 132u);
    JobTest::FieldMap beyond;
    mSession->parlinkSession()->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_141, &beyond);
    QCOMPARE(beyond.value("Devicetypestring").toString(), QString("beyond the queue"));

    for (int i = 0; i < 100; ++i)
        deliver(*mFacade, 132);
    QVERIFY(!mSession->isRunning());
    QVERIFY(!noResponse.wait(ShortTimeoutMs * 2));
}

void TestJobSession::noReply_reportsNoResponseThenLogs()
{
    QSignalSpy noResponse(mSession.get(), &Session::noResponse);
    QStringList order;
    connect(mSession.get(), &Session::noResponse, this, [&] { order.append("noResponse"); });
    connect(mSession.get(), &Session::log, this, [&](LogLevel level, const QString &entry) {
        if (level == LogLevel::Error)
            order.append(entry);
    });
    mSession->startWith(DeviceAddress, commands({128, 129}), 0);
    deliver(*mFacade, 128);
    // The first reply re-armed the time-out for the second.
    QVERIFY(noResponse.wait(ShortTimeoutMs * 20));
    QCOMPARE(order, (QStringList{"noResponse", "Device didn't answer in time!"}));
    QVERIFY(!mSession->isRunning());
    QVERIFY(!noResponse.wait(ShortTimeoutMs * 2));
}

void TestJobSession::delayedStart_handsTheSessionOverLater()
{
    mSession->startWith(DeviceAddress, commands({137}), 200);
    QVERIFY(!mSession->isRunning());
    QVERIFY(!mFacade->isSessionActive());
    QSignalSpy data(mSession.get(), &Session::newData);
    deliver(*mFacade, 137);
    QCOMPARE(data.size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(mSession->isRunning(), 5000);
    QVERIFY(mFacade->isSessionActive());

    // A stop during the delay cancels the start.
    mSession->stop();
    mSession->startWith(DeviceAddress, commands({137}), 100);
    mSession->stop();
    QTest::qWait(300);
    QVERIFY(!mSession->isRunning());
}

void TestJobSession::helpers_giveTheStandardFieldsAndTheAddressText()
{
    const JobTest::FieldMap expected{{"Status High", 0}, {"Status Low", 0}, {"Universal Error", 0}, {"Error", 0},
                                     {"Databytes Master", 5}, {"Databytes Slave", 2}, {"Systemcommand", 0},
                                     {"Payload", 0}};
    QCOMPARE(Session::getDefaultData(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_143), expected);

    const auto answer = JobTest::reply(135, {{"Version", 2}, {"Subversion", 11}});
    const JobTest::FieldMap fields = Session::getCommandData(*answer);
    QCOMPARE(fields.value("Version").toInt(), 2);
    QCOMPARE(fields.value("Subversion").toInt(), 11);
    QCOMPARE(fields.value("Universal Error").toInt(), 0);

    QCOMPARE(Session::getAddressAsString({1, 0, 12, 0, 3}), QString("101203"));
}

QTEST_GUILESS_MAIN(TestJobSession)
#include "tst_job_session.moc"
