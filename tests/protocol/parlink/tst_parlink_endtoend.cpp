// The PARLINK stack as the device service uses it, through the facade over a pseudo-terminal, against
// the simulated ZEB device.

#include "protocol/parlink/PARLINK.h"
#include "protocol/parlink/PARLINK_MASTER_AppLayer.h"
#include "tests/protocol/parlink/FacadeTestSupport.h"
#include "tests/protocol/parlink/SessionTestSupport.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using SessionTest::FieldMap;
using Session = PARLINK_Session;

namespace {

constexpr int OpenTimeoutMs = 5000;
// A session of a few commands: 150 ms per request, replies in milliseconds; generous for busy machines.
constexpr int SessionTimeoutMs = 10000;

const QByteArray DeviceAddress = QByteArray::fromHex("1300040000");
const QByteArray FullAddress = QByteArray::fromHex("1300040001");

// A command with the fields it is sent with, or a response with the fields it brought.
struct Exchange {
    int command;
    FieldMap fields;
};
using Command = Exchange;
using Response = Exchange;

// Every scenario runs on both kinds of line.
void addLineRows()
{
    QTest::addColumn<bool>("singleWire");
    QTest::newRow("two wires") << false;
    QTest::newRow("single wire, echoing device") << true;
}

} // namespace

// Skips when the machine has no pseudo-terminal to spare; any other start failure fails the test.
#define START_DEVICE(...)                                                                          \
    do {                                                                                           \
        const Start started = startDevice(__VA_ARGS__);                                            \
        if (started == Start::NoPseudoTerminal)                                                    \
            QSKIP("No pseudo-terminal for the simulated device");                                  \
        QVERIFY2(started == Start::Ok, "The simulated device or the port did not open");          \
    } while (false)

class TestParlinkEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void identification_data();
    void identification();
    void parameterWrite_inChunksWithReadBackAndTakeOver_data();
    void parameterWrite_inChunksWithReadBackAndTakeOver();
    void wrongReadBack_showsUntilTheFaultIsUsedUp();
    void systemCommands_storeRestoreAndRestart();
    void burstMode_isAcknowledgedAndTimesOutWhenFramesStop_data();
    void burstMode_isAcknowledgedAndTimesOutWhenFramesStop();
    void burstMode_deviceStopsWhenAcknowledgementsStop();
    void faults_reachTheMasterAsTheirErrors_data();
    void faults_reachTheMasterAsTheirErrors();

private:
    enum class Start { Ok, NoPseudoTerminal, Failed };
    Start startDevice(const ZebSim::SimConfig &config, bool singleWire, bool powerCycle = false);
    QList<Response> run(const QByteArray &address, const QList<Command> &commands, int expected = -1);
    FieldMap only(const QList<Response> &responses, int command) const;

    std::unique_ptr<ZebSim::ZebSimDevice> mDevice;
    std::unique_ptr<PARLINK> mStack;
    QList<QPointer<PARLINK_Session>> mSessions;
    QList<Response> mResponses;
    QList<int> mErrors;
};

void TestParlinkEndToEnd::init()
{
    mResponses.clear();
    mErrors.clear();
}

void TestParlinkEndToEnd::cleanup()
{
    mStack.reset();
    mDevice.reset();
    for (const auto &session : mSessions)
        delete session.data();
    mSessions.clear();
}

TestParlinkEndToEnd::Start TestParlinkEndToEnd::startDevice(const ZebSim::SimConfig &config, bool singleWire, bool powerCycle)
{
    ZebSim::SimConfig withLine = config;
    withLine.singleWire = singleWire;
    mDevice = std::make_unique<ZebSim::ZebSimDevice>(withLine);
    QSignalSpy deviceReady(mDevice.get(), &ZebSim::ZebSimDevice::ready);
    QString error;
    if (!mDevice->start(&error)) {
        qWarning("no simulated device: %s", qPrintable(error));
        return Start::NoPseudoTerminal;
    }
    if (!deviceReady.wait(OpenTimeoutMs))
        return Start::Failed;

    mStack = std::make_unique<PARLINK>();
    connect(mStack.get(), &PARLINK::sessionNewData, this, [this](PARLINK_Session *data) {
        FieldMap fields;
        data->getDataForCommand(data->getCommand(), &fields);
        mResponses.append({int(data->getCommand()), fields});
    });
    connect(mStack.get(), &PARLINK::sessionNewInfo, this, [this](PARLINK_SessionInfo *info) {
        if (info->getError() != Session::PARLINK_ENUM_SESSION_NO_ERROR)
            mErrors.append(int(info->getError()));
    });

    // The wake-up string follows the power cycle; a first request sent at once overtakes it.
    PARLINK_Session::InterfaceSettings settings = FacadeTest::lineSettings(mDevice->portPath(), powerCycle, 250, 250);
    settings.singleWire = singleWire;
    QSignalSpy opened(mStack.get(), &PARLINK::portNewState);
    mStack->portOpen(true, settings);
    if (!opened.wait(OpenTimeoutMs) || !opened.first().first().toBool())
        return Start::Failed;
    // A pseudo-terminal has no DTR/RTS lines: the power cycle's waits run out, but a line that
    // cannot be driven is no link error, so the sessions below see none.
    return Start::Ok;
}

// Runs one master session and waits for `expected` responses (all commands by default) or a link error.
QList<Response> TestParlinkEndToEnd::run(const QByteArray &address, const QList<Command> &commands, int expected)
{
    QList<int> queue;
    QMap<int, FieldMap> fields;
    for (const Command &c : commands) {
        queue.append(c.command);
        fields.insert(c.command, c.fields);
    }
    auto *session = SessionTest::masterSession(nullptr, address, queue, fields);
    mSessions.append(session);
    const qsizetype before = mResponses.size();
    const qsizetype errorsBefore = mErrors.size();
    const qsizetype wanted = expected < 0 ? commands.size() : expected;
    mStack->sessionStart(session);
    // A run that times out leaves the responses short, which the caller's comparisons then show.
    [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return mResponses.size() - before >= wanted || mErrors.size() > errorsBefore; },
                    SessionTimeoutMs);
    return mResponses.mid(before);
}

FieldMap TestParlinkEndToEnd::only(const QList<Response> &responses, int command) const
{
    for (const Response &r : responses) {
        if (r.command == command)
            return r.fields;
    }
    return {};
}

void TestParlinkEndToEnd::identification_data()
{
    addLineRows();
}

void TestParlinkEndToEnd::identification()
{
    QFETCH(bool, singleWire);
    START_DEVICE({}, singleWire, true);

    const auto contact = run(QByteArray(5, '\0'), {{137, {}}});
    QCOMPARE(mErrors, QList<int>{});
    QCOMPARE(contact.size(), 1);
    QCOMPARE(contact[0].fields.value("Address Vendor ID").toInt(), 19);
    QCOMPARE(contact[0].fields.value("Address Slave").toInt(), 4);
    QCOMPARE(contact[0].fields.value("Address Subslave").toInt(), 1);

    const auto rates = run(DeviceAddress, {{128, {}}});
    QCOMPARE(only(rates, 128).value("BaudrateBitmask").toInt(), 0x00FF);
    QCOMPARE(only(rates, 128).value("Universal Error").toInt(), 0);

    const auto change = run(DeviceAddress, {{129, {{"Baudrate", 115200}}}});
    QCOMPARE(only(change, 129).value("Universal Error").toInt(), 0);
    QCOMPARE(mDevice->programLineSpeed(), 115200);
    QTRY_COMPARE_WITH_TIMEOUT(mDevice->deviceBaudrate(), 115200u, 2000);

    const auto device = run(DeviceAddress, {{135, {}}, {136, {}}, {141, {}}});
    QCOMPARE(mErrors, QList<int>{});
    QCOMPARE(only(device, 135).value("Version").toInt(), 2);
    QCOMPARE(only(device, 135).value("Subversion").toInt(), 11);
    QCOMPARE(only(device, 136).value("Revision Year").toInt(), 24);
    QCOMPARE(only(device, 136).value("Revision Month").toInt(), 3);
    QCOMPARE(only(device, 136).value("Revision Day").toInt(), 7);
    QCOMPARE(only(device, 141).value("Devicetypestring").toString(), QString("M7Q4-ZEB"));

    const auto sub = run(FullAddress, {{135, {}}, {136, {}}, {141, {}}});
    QCOMPARE(mErrors, QList<int>{});
    QCOMPARE(only(sub, 135).value("Version").toInt(), 2);
    QCOMPARE(only(sub, 135).value("Subversion").toInt(), 0);
    QCOMPARE(only(sub, 136).value("Revision Year").toInt(), 23);
    QCOMPARE(only(sub, 141).value("Devicetypestring").toString(), QString("ZEB-SENSOR"));

    // The wake-up string came after the first request and was ignored.
    QTRY_COMPARE_WITH_TIMEOUT(mDevice->wakeUpsReceived(), 1, 2000);
    QCOMPARE(mDevice->commandsReceived(), (QList<int>{137, 128, 129, 135, 136, 141, 135, 136, 141}));
}

void TestParlinkEndToEnd::parameterWrite_inChunksWithReadBackAndTakeOver_data()
{
    addLineRows();
}

void TestParlinkEndToEnd::parameterWrite_inChunksWithReadBackAndTakeOver()
{
    QFETCH(bool, singleWire);
    START_DEVICE({}, singleWire);

    QByteArray block;
    for (int i = 0; i < 178; ++i)
        block.append(char(i * 7 + 3));
    constexpr int start = 100;
    for (int offset = 0; offset < block.size(); offset += 50) {
        const QByteArray chunk = block.mid(offset, 50);
        const auto replies = run(DeviceAddress, {{131, {{"Address", start + offset}, {"BytesToWrite", int(chunk.size())},
                                                        {"Bytes", chunk}}},
                                                 {130, {{"Address", start + offset}, {"BytesToRead", int(chunk.size())}}}});
        QCOMPARE(mErrors, QList<int>{});
        QCOMPARE(only(replies, 131).value("Universal Error").toInt(), 0);
        QCOMPARE(only(replies, 130).value("Bytes").toByteArray(), chunk);
    }
    const auto takeOver = run(DeviceAddress, {{132, {}}});
    QCOMPARE(only(takeOver, 132).value("Universal Error").toInt(), 0);

    using Space = ZebSim::ParameterMemory::Space;
    QCOMPARE(mDevice->memory().read(Space::Device, start, 178), std::optional<QByteArray>(block));
    QCOMPARE(mDevice->memory().readWorking(Space::Device, start, 178), std::optional<QByteArray>(block));
    QCOMPARE(mDevice->memory().takeOverCount(Space::Device), 1);
    // The sub-device's memory was not touched.
    QCOMPARE(mDevice->memory().read(Space::DeviceAndSubDevice, start, 178), std::optional<QByteArray>(QByteArray(178, '\0')));
}

void TestParlinkEndToEnd::wrongReadBack_showsUntilTheFaultIsUsedUp()
{
    ZebSim::SimConfig config;
    config.faults.wrongReadBacks = 2;
    START_DEVICE(config, false);

    const QByteArray chunk = QByteArray::fromHex("0102030405");
    run(FullAddress, {{131, {{"Address", 10}, {"BytesToWrite", 5}, {"Bytes", chunk}}}});
    for (int read = 1; read <= 3; ++read) {
        const auto back = run(FullAddress, {{130, {{"Address", 10}, {"BytesToRead", 5}}}});
        QCOMPARE(only(back, 130).value("Bytes").toByteArray() == chunk, read == 3);
    }
}

void TestParlinkEndToEnd::systemCommands_storeRestoreAndRestart()
{
    START_DEVICE({}, false);
    using Space = ZebSim::ParameterMemory::Space;
    const QByteArray medium = QByteArray::fromHex("aabbcc");

    run(DeviceAddress, {{131, {{"Address", 0}, {"BytesToWrite", 3}, {"Bytes", medium}}},
                        {143, {{"Systemcommand", 0}, {"Payload", 0}}}});
    run(DeviceAddress, {{131, {{"Address", 0}, {"BytesToWrite", 3}, {"Bytes", QByteArray::fromHex("000000")}}}});
    QCOMPARE(mDevice->memory().read(Space::Device, 0, 3), std::optional<QByteArray>(QByteArray(3, '\0')));

    const auto restored = run(DeviceAddress, {{143, {{"Systemcommand", 1}, {"Payload", 0}}}});
    QCOMPARE(only(restored, 143).value("Universal Error").toInt(), 0);
    QCOMPARE(mDevice->memory().read(Space::Device, 0, 3), std::optional<QByteArray>(medium));

    const auto restarted = run(DeviceAddress, {{143, {{"Systemcommand", 3}, {"Payload", 0}}}});
    QCOMPARE(only(restarted, 143).value("Universal Error").toInt(), 0);
    QCOMPARE(mDevice->restarts(), 1);
    QCOMPARE(mErrors, QList<int>{});
}

void TestParlinkEndToEnd::burstMode_isAcknowledgedAndTimesOutWhenFramesStop_data()
{
    addLineRows();
}

void TestParlinkEndToEnd::burstMode_isAcknowledgedAndTimesOutWhenFramesStop()
{
    QFETCH(bool, singleWire);
    // The 142 reply and four burst frames, then the device falls silent.
    ZebSim::SimConfig config;
    config.faults.silentAfterFrames = 5;
    START_DEVICE(config, singleWire);

    run(FullAddress, {{142, {}}}, 5);
    QCOMPARE(mErrors, QList<int>{});
    QCOMPARE(mResponses.size(), 5);
    for (int i = 1; i < 5; ++i) {
        QCOMPARE(mResponses[i].command, 139);
        QCOMPARE(mResponses[i].fields.value("Number of Burstvariables").toInt(), 3);
        QCOMPARE(mResponses[i].fields.value("Burstvariable 3").toFloat(), 21.3f);
    }
    QTRY_COMPARE_WITH_TIMEOUT(mDevice->burstAcknowledgesReceived(), 4, 2000);
    // No frame for 2000 ms ends burst mode on the master's side with its own error.
    QTRY_COMPARE_WITH_TIMEOUT(mErrors, QList<int>{Session::PARLINK_ENUM_SESSION_ERROR_TIMEOUT_BURSTMODE}, 5000);
    QVERIFY(!mStack->masterLayer()->isBurstMode());
}

void TestParlinkEndToEnd::burstMode_deviceStopsWhenAcknowledgementsStop()
{
    START_DEVICE({}, false);
    run(FullAddress, {{142, {}}}, 3);
    QVERIFY(mDevice->isBurstActive());
    mStack->sessionStop();
    QTRY_VERIFY_WITH_TIMEOUT(!mDevice->isBurstActive(), 5000);
    const int sent = mDevice->framesSent();
    QTest::qWait(500);
    QCOMPARE(mDevice->framesSent(), sent);
}

void TestParlinkEndToEnd::faults_reachTheMasterAsTheirErrors_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("linkError");
    QTest::addColumn<int>("universalError");

    QTest::newRow("wrong checksum on the 2nd reply") << "checksum" << int(Session::PARLINK_ENUM_SESSION_ERROR_WRONG_CHECKSUM) << -1;
    QTest::newRow("silent after 1 reply") << "silent" << int(Session::PARLINK_ENUM_SESSION_ERROR_TIMEOUT) << -1;
    QTest::newRow("bytes dropped from the 2nd reply") << "drop" << int(Session::PARLINK_ENUM_SESSION_ERROR_TIMEOUT) << -1;
    QTest::newRow("Status Low 3 for 135") << "status" << 0 << 255;
}

void TestParlinkEndToEnd::faults_reachTheMasterAsTheirErrors()
{
    QFETCH(QString, fault);
    QFETCH(int, linkError);
    QFETCH(int, universalError);
    ZebSim::SimConfig config;
    if (fault == "checksum")
        config.faults.wrongChecksumOnReply = 2;
    else if (fault == "silent")
        config.faults.silentAfterFrames = 1;
    else if (fault == "drop") {
        config.faults.dropBytesOnReply = 2;
        config.faults.dropByteCount = 1;
    } else
        config.faults.statusLowFor.insert(135, 3);
    START_DEVICE(config, false);

    // The first reply is sound; the second carries the fault.
    const auto replies = run(DeviceAddress, {{128, {}}, {135, {}}});
    QCOMPARE(only(replies, 128).value("Universal Error").toInt(), 0);
    if (linkError != 0) {
        QCOMPARE(mErrors, QList<int>{linkError});
        QCOMPARE(replies.size(), 1);
    } else {
        QCOMPARE(mErrors, QList<int>{});
        QCOMPARE(only(replies, 135).value("Universal Error").toInt(), universalError);
        QCOMPARE(only(replies, 135).value("Status Low").toInt(), 3);
    }
}

QTEST_GUILESS_MAIN(TestParlinkEndToEnd)
#include "tst_parlink_endtoend.moc"
