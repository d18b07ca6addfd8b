// The identification job, against the real facade, with the port state and the replies handed in by
// the test.

#include "communication/MetaTypes.h"
#include "communication/internal/FirstContact.h"
#include "tests/communication/internal/JobTestSupport.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::FirstContact;
using JobTest::deliver;
using JobTest::entries;
using JobTest::FieldMap;
using JobTest::values;
using Type = Address::Type;

Q_DECLARE_METATYPE(Thg::Tilo::Communication::Address::Bytes)

namespace {

constexpr int WaitMs = 10000;
constexpr int ShortTimeoutMs = 400;

// A reply to the identity commands, as the simulated device gives them.
struct Answer {
    int command;
    FieldMap fields;
};

const QList<Answer> DeviceIdentity{{135, {{"Version", 2}, {"Subversion", 11}}},
                                   {136, {{"Revision Year", 24}, {"Revision Month", 3}, {"Revision Day", 7}}},
                                   {141, {{"Devicetypestring", "M7Q4-ZEB"}}}};
const QList<Answer> SubIdentity{{135, {{"Version", 2}, {"Subversion", 0}}},
                                {136, {{"Revision Year", 23}, {"Revision Month", 9}, {"Revision Day", 15}}},
                                {141, {{"Devicetypestring", "ZEB-SENSOR"}}}};

FieldMap contact(const QVariant &vendor, const QVariant &slave, const QVariant &subslave)
{
    return {{"Address Vendor ID", vendor}, {"Address Slave", slave}, {"Address Subslave", subslave}};
}

} // namespace

class TestJobFirstContact : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identificationOff_reportsABootloaderDeviceAndSendsNothing();
    void identification_withDeviceAndSubDevice_readsBothIdentities();
    void contactReply_addressesThePlanByType_data();
    void contactReply_addressesThePlanByType();
    void subDeviceOnly_fillsTheSubFields();
    void baudrateMask_choosesTheHighestRateAbove1200_data();
    void baudrateMask_choosesTheHighestRateAbove1200();
    void failedReply_endsTheIdentification_data();
    void failedReply_endsTheIdentification();
    void noReply_reportsTheTimeOut();
    void portThatDoesNotOpen_isReported();
    void start_whileActive_changesNothing();
    void abort_betweenSequences_leavesNothingBehind();

private:
    // Starts an identification and reports the port open (the real port, of a name that does not
    // exist, has failed first); the 137 is then under way.
    void startOpened(bool identification = true);
    bool waitRunning();
    // The replies of the plan from the cursor on, each once the job's session is running.
    bool answer(int command, const FieldMap &fields = {});

    std::unique_ptr<PARLINK> mFacade;
    std::unique_ptr<Internal::Port> mPort;
    std::unique_ptr<FirstContact> mJob;
    std::unique_ptr<QSignalSpy> mFound;
    std::unique_ptr<QSignalSpy> mErrors;
    std::unique_ptr<QSignalSpy> mProgress;
    std::unique_ptr<QSignalSpy> mLog;
};

void TestJobFirstContact::initTestCase()
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();
}

void TestJobFirstContact::init()
{
    mFacade = std::make_unique<PARLINK>();
    mPort = std::make_unique<Internal::Port>(nullptr, mFacade.get());
    mJob = std::make_unique<FirstContact>(nullptr, mFacade.get(), mPort.get(), ClosePortWhenFinished::No, ShortTimeoutMs);
    mFound = std::make_unique<QSignalSpy>(mJob.get(), &FirstContact::foundDevice);
    mErrors = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::error);
    mProgress = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::progress);
    mLog = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::log);
}

void TestJobFirstContact::cleanup()
{
    mLog.reset();
    mProgress.reset();
    mErrors.reset();
    mFound.reset();
    mJob.reset();
    mPort.reset();
    mFacade.reset();
}

void TestJobFirstContact::startOpened(bool identification)
{
    QSignalSpy closed(mPort.get(), &Internal::Port::closed);
    mJob->start(Comport{"/dev/zeb-no-such-port", "", 0, 0, false, 0, 0}, identification, WaitMs);
    QVERIFY(closed.wait(WaitMs));
    emit mFacade->portNewState(true);
}

bool TestJobFirstContact::waitRunning()
{
    return QTest::qWaitFor([this] { return mJob->session()->isRunning(); }, WaitMs);
}

bool TestJobFirstContact::answer(int command, const FieldMap &fields)
{
    if (!waitRunning())
        return false;
    deliver(*mFacade, command, fields);
    return true;
}

void TestJobFirstContact::identificationOff_reportsABootloaderDeviceAndSendsNothing()
{
    startOpened(false);
    QCOMPARE(mFound->size(), 1);
    Device bootloader;
    bootloader.Name = "Bootloader";
    QCOMPARE(mFound->first().first().value<Device>(), bootloader);
    QCOMPARE(values(*mProgress), (QList<int>{0, 10, 100}));
    QVERIFY(!mJob->isActive());
    QTest::qWait(800);
    QVERIFY(!mFacade->isSessionActive());
}

void TestJobFirstContact::identification_withDeviceAndSubDevice_readsBothIdentities()
{
    startOpened();
    QVERIFY(waitRunning());
    QCOMPARE(mJob->session()->parlinkSession()->getAddress(), QByteArray(5, '\0'));
    QVERIFY(answer(137, contact(19, 4, 1)));
    QCOMPARE(mJob->plan().sequences.size(), 4);

    QVERIFY(answer(128, {{"BaudrateBitmask", 0x00FF}}));
    // The rate chosen from 128 is what the next session asks for.
    QVERIFY(waitRunning());
    FieldMap request;
    mJob->session()->parlinkSession()->getDataForCommand(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_129, &request);
    QCOMPARE(request.value("Baudrate").toUInt(), 115200u);
    QCOMPARE(mJob->session()->parlinkSession()->getAddress(), QByteArray::fromHex("1300040000"));
    QVERIFY(answer(129));
    for (const Answer &a : DeviceIdentity)
        QVERIFY(answer(a.command, a.fields));
    QVERIFY(waitRunning());
    QCOMPARE(mJob->session()->parlinkSession()->getAddress(), QByteArray::fromHex("1300040001"));
    for (const Answer &a : SubIdentity)
        QVERIFY(answer(a.command, a.fields));

    QCOMPARE(mErrors->size(), 0);
    QCOMPARE(mFound->size(), 1);
    Device expected;
    expected.Name = "M7Q4-ZEB";
    expected.Version = "V02.11";
    expected.Revision = "240307";
    expected.address.bytes = {19, 0, 4, 0, 1};
    expected.SubName = "ZEB-SENSOR";
    expected.SubVersion = "V02.00";
    expected.SubRevision = "230915";
    QCOMPARE(mFound->first().first().value<Device>(), expected);
    QCOMPARE(values(*mProgress), (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100}));
    const QStringList trace = entries(*mLog, int(LogLevel::Trace));
    for (const char *line : {"Device responded to command 137: address: 190401 Typ: 2",
                             "Device responded to command 128:  1200 Baud: y 2400 Baud: y 4800 Baud: y 9600 Baud: y "
                             "19200 Baud: y 38400 Baud: y 57600 Baud: y 115200 Baud: y 230400 Baud: n 460800 Baud: n",
                             "Device responded to command 129: baudrate was changed",
                             "Device responded to command 135: Version V02.11",
                             "Device responded to command 136: Revision 240307",
                             "Device responded to command 141: Name M7Q4-ZEB",
                             "Device responded to command 141: Name ZEB-SENSOR"})
        QVERIFY2(trace.contains(line), line);
    // The port stays open for what comes next.
    QVERIFY(!entries(*mLog).contains("Com port will be closed"));
}

void TestJobFirstContact::contactReply_addressesThePlanByType_data()
{
    QTest::addColumn<FieldMap>("fields");
    QTest::addColumn<Address::Bytes>("address");
    QTest::addColumn<QList<Type>>("sequences");
    QTest::newRow("device only") << contact(1, 5, 0) << Address::Bytes{1, 0, 5, 0, 0}
                                 << QList<Type>{Type::Device, Type::Device, Type::Device};
    QTest::newRow("device and sub-device") << contact(1, 5, 7) << Address::Bytes{1, 0, 5, 0, 7}
                                           << QList<Type>{Type::Device, Type::Device, Type::Device,
                                                          Type::DeviceAndSubDevice};
    QTest::newRow("sub-device only") << contact(1, 0, 7) << Address::Bytes{1, 0, 0, 0, 7}
                                     << QList<Type>{Type::SubDevice, Type::SubDevice, Type::SubDevice};
    QTest::newRow("no id") << contact(7, 0, 0) << Address::Bytes{7, 0, 0, 0, 0}
                           << QList<Type>{Type::None, Type::None, Type::None};
    QTest::newRow("ids above 255, high byte first") << contact(19, 300, 600) << Address::Bytes{19, 1, 44, 2, 88}
                                                    << QList<Type>{Type::Device, Type::Device, Type::Device,
                                                                   Type::DeviceAndSubDevice};
    QTest::newRow("no number") << contact("x", -1, 2) << Address::Bytes{0, 0, 0, 0, 2}
                               << QList<Type>{Type::SubDevice, Type::SubDevice, Type::SubDevice};
}

void TestJobFirstContact::contactReply_addressesThePlanByType()
{
    QFETCH(FieldMap, fields);
    QFETCH(Address::Bytes, address);
    QFETCH(QList<Type>, sequences);
    startOpened();
    QVERIFY(answer(137, fields));
    QCOMPARE(mErrors->size(), 0);
    QCOMPARE(mJob->device().address.bytes, address);
    QList<Type> types;
    for (const auto &sequence : mJob->plan().sequences)
        types.append(sequence.type);
    QCOMPARE(types, sequences);
    QCOMPARE(mJob->plan().sequences.first().commands.first().command, PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_128);
    QCOMPARE(mJob->plan().sequences.at(2).commands.size(), 3);
    // The first sequence goes to the address of its type.
    QVERIFY(waitRunning());
    const Address::Bytes sent = Address(address).asArray(sequences.first());
    QCOMPARE(mJob->session()->parlinkSession()->getAddress(), QByteArray(reinterpret_cast<const char *>(sent.data()), 5));
}

void TestJobFirstContact::subDeviceOnly_fillsTheSubFields()
{
    startOpened();
    QVERIFY(answer(137, contact(1, 0, 7)));
    QVERIFY(answer(128, {{"BaudrateBitmask", 1}}));
    QVERIFY(answer(129));
    for (const Answer &a : SubIdentity)
        QVERIFY(answer(a.command, a.fields));
    QCOMPARE(mFound->size(), 1);
    const Device found = mFound->first().first().value<Device>();
    QCOMPARE(found.SubName, QString("ZEB-SENSOR"));
    QCOMPARE(found.SubVersion, QString("V02.00"));
    QCOMPARE(found.SubRevision, QString("230915"));
    for (const QString &text : {found.Name, found.Version, found.Revision, found.Vendor})
        QCOMPARE(text, QString("-"));
    // 80 / 6 per reply for three sequences.
    QCOMPARE(values(*mProgress), (QList<int>{0, 10, 20, 33, 46, 59, 72, 85, 100}));
}

void TestJobFirstContact::baudrateMask_choosesTheHighestRateAbove1200_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<uint>("rate");
    QTest::newRow("0x0001") << 0x0001 << 1200u;
    QTest::newRow("0x0000") << 0x0000 << 1200u;
    QTest::newRow("0x0002") << 0x0002 << 2400u;
    QTest::newRow("0x0206") << 0x0206 << 460800u;
    QTest::newRow("0x0180") << 0x0180 << 230400u;
    QTest::newRow("0x00FF") << 0x00FF << 115200u;
    QTest::newRow("0xFC00, bits above 9") << 0xFC00 << 1200u;
}

void TestJobFirstContact::baudrateMask_choosesTheHighestRateAbove1200()
{
    QFETCH(int, mask);
    QFETCH(uint, rate);
    QCOMPARE(FirstContact::chosenBaudrate(std::uint32_t(mask)), std::uint32_t(rate));
}

void TestJobFirstContact::failedReply_endsTheIdentification_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("fields");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("error");
    QTest::newRow("128 instead of 137") << QList<int>{} << 128 << FieldMap{}
                                        << "Device responded with wrong command. Expected: 137 Received: 128"
                                        << "Device responded with wrong command. Expected: 137 Received: 128";
    QTest::newRow("137 refused") << QList<int>{} << 137 << FieldMap{{"Status Low", 1}, {"Universal Error", 255}}
                                 << "Device didn`t acknowledge command 137" << "Device didn`t acknowledge command 137";
    QTest::newRow("local baud switch failed") << QList<int>{137, 128} << 129 << FieldMap{{"Universal Error", 255}}
                                              << "Device didn`t acknowledge command 129 (Universal Error 255)"
                                              << "Device didn`t acknowledge command 129";
    QTest::newRow("135 too short") << QList<int>{137, 128, 129} << 135 << FieldMap{{"Universal Error", 1}}
                                   << "Device didn`t acknowledge command 135 (Universal Error 1)"
                                   << "Device didn`t acknowledge command 135";
    QTest::newRow("141 instead of 136") << QList<int>{137, 128, 129, 135} << 141 << FieldMap{}
                                        << "Device responded with wrong command. Expected: 136 Received: 141"
                                        << "Device responded with wrong command. Expected: 136 Received: 141";
}

void TestJobFirstContact::failedReply_endsTheIdentification()
{
    QFETCH(QList<int>, before);
    QFETCH(int, command);
    QFETCH(FieldMap, fields);
    QFETCH(QString, logged);
    QFETCH(QString, error);
    startOpened();
    for (const int sound : before)
        QVERIFY(answer(sound, sound == 137 ? contact(19, 4, 1) : FieldMap{}));
    QVERIFY(answer(command, fields));

    QCOMPARE(mErrors->size(), 1);
    QCOMPARE(mErrors->first().first().toString(), error);
    QVERIFY(entries(*mLog, int(LogLevel::Error)).contains(logged));
    QCOMPARE(mProgress->last().first().toUInt(), 0u);
    QCOMPARE(mJob->device(), Device());
    QVERIFY(!mJob->isActive());
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(entries(*mLog).contains("Com port will be closed"));
    // Nothing follows: no time-out of the stopped session, no next sequence.
    QTest::qWait(ShortTimeoutMs * 2);
    QCOMPARE(mErrors->size(), 1);
    QCOMPARE(mFound->size(), 0);
    QVERIFY(!mJob->session()->isRunning());
}

void TestJobFirstContact::noReply_reportsTheTimeOut()
{
    startOpened();
    QVERIFY(answer(137, contact(19, 4, 1)));
    QVERIFY(mErrors->wait(WaitMs));
    QCOMPARE(mErrors->first().first().toString(), QString("Could not find the device -> timeout!"));
    QVERIFY(entries(*mLog, int(LogLevel::Error)).contains("Device didn't answer in time!"));
    QVERIFY(!mJob->isActive());
    QVERIFY(entries(*mLog).contains("Com port will be closed"));
}

void TestJobFirstContact::portThatDoesNotOpen_isReported()
{
    mJob->start(Comport{"/dev/zeb-no-such-port", "", 0, 0, false, 0, 0}, true, 150);
    QVERIFY(mErrors->wait(WaitMs));
    QCOMPARE(mErrors->first().first().toString(), QString("Could not open com port!"));
    QVERIFY(entries(*mLog, int(LogLevel::Error)).contains("Com port could not be opened. A timeout has occurred!"));
    QVERIFY(!mJob->isActive());
    QCOMPARE(mProgress->last().first().toUInt(), 0u);
}

void TestJobFirstContact::start_whileActive_changesNothing()
{
    startOpened();
    QVERIFY(waitRunning());
    const qsizetype logged = mLog->size();
    const qsizetype progressed = mProgress->size();
    mJob->start(Comport{"/dev/other", "", 0, 0, false, 0, 0}, true);
    QCOMPARE(mLog->size(), logged);
    QCOMPARE(mProgress->size(), progressed);
    QCOMPARE(mErrors->size(), 0);
    QVERIFY(mJob->session()->isRunning());
    QCOMPARE(mPort->comport().Number, QString("/dev/zeb-no-such-port"));
}

void TestJobFirstContact::abort_betweenSequences_leavesNothingBehind()
{
    startOpened();
    QVERIFY(answer(137, contact(19, 4, 1)));
    // The step timer is pending now.
    mJob->abort();
    QCOMPARE(entries(*mLog, int(LogLevel::Info)), QStringList{"Operation was aborted and com port was closed!"});
    QCOMPARE(mProgress->last().first().toUInt(), 0u);
    QVERIFY(!mJob->isActive());
    QVERIFY(entries(*mLog).contains("Com port will be closed"));
    QTest::qWait(400);
    QVERIFY(!mJob->session()->isRunning());
    QCOMPARE(mErrors->size() + mFound->size(), 0);
}

QTEST_GUILESS_MAIN(TestJobFirstContact)
#include "tst_job_firstcontact.moc"
