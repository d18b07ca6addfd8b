#include "protocol/parlink/PARLINK_MASTER_AppLayer.h"
#include "tests/protocol/parlink/SessionTestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using SessionTest::FieldMap;
using SessionTest::masterSession;
using Session = PARLINK_Session;

Q_DECLARE_METATYPE(FieldMap)

namespace {

const QByteArray Address = QByteArray::fromHex("1300040001");
// The layer hands a request over 150 ms after it was built; generous for loaded machines.
constexpr int SendTimeoutMs = 3000;

// What the link layer would see of the layer.
struct Recorder : QObject {
    struct Sent {
        int command;
        QByteArray frame;
        qint64 atMs;
    };
    QList<Sent> sent;
    QList<QString> events;
    QList<FieldMap> decoded;
    QList<uint> baudrates;
    bool baudrateChangeSucceeds = true;
    int acknowledges = 0;
    int activations = 0;
    QElapsedTimer clock;

    explicit Recorder(PARLINK_MASTER_AppLayer &layer)
    {
        clock.start();
        connect(&layer, &PARLINK_MASTER_AppLayer::sessionDataTxSetBuffer, this,
                [this](Session::PARLINK_ENUM_SESSION_COMMAND command, QByteArray &frame) {
                    sent.append({int(command), frame, clock.elapsed()});
                });
        connect(&layer, &PARLINK_MASTER_AppLayer::sessionStop, this, [this] { events.append("stop"); });
        connect(&layer, &PARLINK_MASTER_AppLayer::sessionNewData, this, [this](PARLINK_Session *data) {
            FieldMap fields;
            data->getDataForCommand(data->getCommand(), &fields);
            decoded.append(fields);
            events.append("data");
        });
        connect(&layer, &PARLINK_MASTER_AppLayer::sessionBaudrateSetNew, this, [this](uint baud, bool *ok) {
            baudrates.append(baud);
            *ok = baudrateChangeSucceeds;
            return true;
        });
        connect(&layer, &PARLINK_MASTER_AppLayer::sessionBurstModeSetAcknowledge, this, [this] { ++acknowledges; });
        connect(&layer, &PARLINK_MASTER_AppLayer::sessionBurstModeSetActivate, this, [this] { ++activations; });
    }

    bool waitForSent(qsizetype count) { return QTest::qWaitFor([&] { return sent.size() >= count; }, SendTimeoutMs); }
};

} // namespace

class TestParlinkMasterAppLayer : public QObject {
    Q_OBJECT
private slots:
    void request_isLaidOutPerCommand_data();
    void request_isLaidOutPerCommand();
    void response_isDecodedPerCommand_data();
    void response_isDecodedPerCommand();
    void writeRequest_countNeverPromisesMissingBytes_data();
    void writeRequest_countNeverPromisesMissingBytes();
    void baudrateChange_followsA129Reply_data();
    void baudrateChange_followsA129Reply();
    void requests_areSpacedAndSlowerAfterABaudrateChange();
    void lastResponse_stopPrecedesItsData();
    void bufferWithoutCommandOrCount_isDroppedAndChangesNothing_data();
    void bufferWithoutCommandOrCount_isDroppedAndChangesNothing();
    void repeatCount_sendsTheCommandThatOften_data();
    void repeatCount_sendsTheCommandThatOften();
    void staleDelayedRequest_isDroppedWhenANewSessionStarts();
    void staleStepAfter129_isDroppedWhenANewSessionStarts();
    void stoppedSession_sendsNoDelayedRequest_data();
    void stoppedSession_sendsNoDelayedRequest();
    void burstMode_keepsTheSessionOpenAndAcknowledgesFrames();
    void deletedCallerSession_isNeverWritten();
};

void TestParlinkMasterAppLayer::request_isLaidOutPerCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("fields");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("129") << 129 << FieldMap{{"Baudrate", 115200}} << QByteArray::fromHex("82130004000181""03""01c200");
    QTest::newRow("131") << 131
                         << FieldMap{{"Address", 100}, {"BytesToWrite", 3}, {"Bytes", QByteArray::fromHex("aabbcc")}}
                         << QByteArray::fromHex("82130004000183""05""0064""aabbcc");
    QTest::newRow("137 to the zero address") << 137 << FieldMap{} << QByteArray::fromHex("82000000000089""00");
}

void TestParlinkMasterAppLayer::request_isLaidOutPerCommand()
{
    QFETCH(int, command);
    QFETCH(FieldMap, fields);
    QFETCH(QByteArray, frame);

    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {command}, {{command, fields}}));
    QVERIFY(recorder.waitForSent(1));
    QCOMPARE(recorder.sent[0].command, command);
    QCOMPARE(recorder.sent[0].frame.toHex(), frame.toHex());
}

void TestParlinkMasterAppLayer::response_isDecodedPerCommand_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<FieldMap>("expected");

    QTest::newRow("137") << QByteArray::fromHex("86130004000189""02""0000")
                         << FieldMap{{"Address Vendor ID", 19}, {"Address Slave", 4}, {"Address Subslave", 1}};
    QTest::newRow("138, two of eight variables")
        << QByteArray::fromHex("8613000400018a""0d""0000""02""013f800000""02c0200000")
        << FieldMap{{"Number of Devicevariables", 2}, {"Devicevariable 1 Unit", 1}, {"Devicevariable 1", 1.0f},
                    {"Devicevariable 2 Unit", 2}, {"Devicevariable 2", -2.5f}, {"Devicevariable 3 Unit", 0},
                    {"Devicevariable 3", 0.0f}, {"Devicevariable 8", 0.0f}, {"Universal Error", 0}};
    QTest::newRow("139") << QByteArray::fromHex("8613000400018b""08""0000""01""0742c80000")
                         << FieldMap{{"Number of Burstvariables", 1}, {"Burstvariable 1 Unit", 7},
                                     {"Burstvariable 1", 100.0f}, {"Burstvariable 2", 0.0f}};
    QTest::newRow("140") << QByteArray::fromHex("8613000400018c""82""0000"
                                                "334f766572666c6f7700000000000000" "4142434445464748494a4b4c4d4e4f50"
                                                "00000000000000000000000000000000" "00000000000000000000000000000000"
                                                "00000000000000000000000000000000" "00000000000000000000000000000000"
                                                "00000000000000000000000000000000" "5a000000000000000000000000000000")
                         << FieldMap{{"Statusstring 1", "3Overflow"}, {"Statusstring 2", "ABCDEFGHIJKLMNOP"},
                                     {"Statusstring 3", ""}, {"Statusstring 8", "Z"}, {"Universal Error", 0}};

    // Content errors: "Universal Error" 255 when the device refused, 2 for too many and 1 for too few
    // data bytes; the data fields then keep their defaults.
    QTest::newRow("135 count 5: too many") << QByteArray::fromHex("86130004000187""05""0000""020b00")
                                           << FieldMap{{"Universal Error", 2}, {"Version", 0}, {"Subversion", 0}};
    QTest::newRow("135 count 3: too few") << QByteArray::fromHex("86130004000187""03""0000""02")
                                          << FieldMap{{"Universal Error", 1}, {"Version", 0}};
    QTest::newRow("Status Low 1, whatever the count") << QByteArray::fromHex("86130004000187""04""0001""020b")
                                                      << FieldMap{{"Universal Error", 255}, {"Status Low", 1}, {"Version", 0}};
    QTest::newRow("130 count 2: no bytes") << QByteArray::fromHex("86130004000182""02""0000")
                                           << FieldMap{{"Universal Error", 0}, {"Bytes", QByteArray()}};
    QTest::newRow("130 count 102: too many")
        << (QByteArray::fromHex("86130004000182""66""0000") + QByteArray(100, '\x11'))
        << FieldMap{{"Universal Error", 2}, {"Bytes", QByteArray()}};
    QTest::newRow("138 count 12 for two variables")
        << QByteArray::fromHex("8613000400018a""0c""0000""02""013f800000""02c02000")
        << FieldMap{{"Universal Error", 1}, {"Number of Devicevariables", 0}};
}

void TestParlinkMasterAppLayer::response_isDecodedPerCommand()
{
    QFETCH(QByteArray, response);
    QFETCH(FieldMap, expected);

    const int command = quint8(response.at(6));
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {command}));
    layer.sessionDataReady(response);
    QCOMPARE(recorder.decoded.size(), 1);
    const FieldMap &fields = recorder.decoded[0];
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(fields.value(it.key()) == it.value(), qPrintable(it.key()));
    QCOMPARE(layer.responseSession()->getCommand(), Session::PARLINK_ENUM_SESSION_COMMAND(command));
    QCOMPARE(layer.responseSession()->getAddress(), Address);
    QCOMPARE(layer.responseSession()->getBuffer(), response);
}

void TestParlinkMasterAppLayer::writeRequest_countNeverPromisesMissingBytes_data()
{
    QTest::addColumn<int>("bytesToWrite");
    QTest::addColumn<int>("bytesPresent");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("bytesSent");

    QTest::newRow("50 of 50") << 50 << 50 << 52 << 50;
    QTest::newRow("fewer wanted than present") << 2 << 5 << 4 << 2;
    QTest::newRow("more wanted than present") << 10 << 4 << 6 << 4;
    QTest::newRow("count would wrap") << 300 << 300 << 255 << 253;
    QTest::newRow("nothing present") << 8 << 0 << 2 << 0;
}

void TestParlinkMasterAppLayer::writeRequest_countNeverPromisesMissingBytes()
{
    QFETCH(int, bytesToWrite);
    QFETCH(int, bytesPresent);
    QFETCH(int, count);
    QFETCH(int, bytesSent);

    QByteArray bytes;
    for (int i = 0; i < bytesPresent; ++i)
        bytes.append(char(i + 1));
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {131},
                                   {{131, {{"Address", 0x1234}, {"BytesToWrite", bytesToWrite}, {"Bytes", bytes}}}}));
    QVERIFY(recorder.waitForSent(1));
    const QByteArray frame = recorder.sent[0].frame;
    QCOMPARE(int(quint8(frame.at(7))), count);
    QCOMPARE(frame.mid(8, 2), QByteArray::fromHex("1234"));
    QCOMPARE(frame.mid(10), bytes.left(bytesSent));
}

void TestParlinkMasterAppLayer::baudrateChange_followsA129Reply_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("switchSucceeds");
    QTest::addColumn<QList<uint>>("switches");
    QTest::addColumn<int>("universalError");
    QTest::addColumn<uint>("layerBaudrate");

    const QByteArray ok = QByteArray::fromHex("86130004000181""02""0000");
    QTest::newRow("switched") << ok << true << QList<uint>{57600} << 0 << 57600u;
    QTest::newRow("switch failed") << ok << false << QList<uint>{57600} << 255 << 57600u;
    QTest::newRow("device refused") << QByteArray::fromHex("86130004000181""02""0001") << true << QList<uint>{} << 255
                                    << 0u;
    QTest::newRow("wrong count") << QByteArray::fromHex("86130004000181""03""000000") << true << QList<uint>{} << 2
                                 << 57600u;
}

void TestParlinkMasterAppLayer::baudrateChange_followsA129Reply()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, switchSucceeds);
    QFETCH(QList<uint>, switches);
    QFETCH(int, universalError);
    QFETCH(uint, layerBaudrate);

    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    recorder.baudrateChangeSucceeds = switchSucceeds;
    layer.startSession(masterSession(this, Address, {129}, {{129, {{"Baudrate", 57600}}}}));
    QCOMPARE(layer.baudrate(), 57600u);
    layer.sessionDataReady(response);
    QCOMPARE(recorder.baudrates, switches);
    QCOMPARE(recorder.decoded[0].value("Universal Error").toInt(), universalError);
    QCOMPARE(layer.baudrate(), layerBaudrate);
}

void TestParlinkMasterAppLayer::requests_areSpacedAndSlowerAfterABaudrateChange()
{
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {128, 129, 135}, {{129, {{"Baudrate", 9600}}}}));
    QVERIFY(recorder.waitForSent(1));
    QVERIFY(recorder.sent[0].atMs >= 149);

    qint64 answeredAt = recorder.clock.elapsed();
    layer.sessionDataReady(QByteArray::fromHex("86130004000180""04""0000""0008"));
    QVERIFY(recorder.waitForSent(2));
    QVERIFY2(recorder.sent[1].atMs - answeredAt >= 149, "a request within 150 ms of the previous reply");

    answeredAt = recorder.clock.elapsed();
    layer.sessionDataReady(QByteArray::fromHex("86130004000181""02""0000"));
    QVERIFY(recorder.waitForSent(3));
    QVERIFY2(recorder.sent[2].atMs - answeredAt >= 249, "a request within 250 ms of a baud-rate change");
    QCOMPARE(recorder.sent[2].command, 135);
}

void TestParlinkMasterAppLayer::lastResponse_stopPrecedesItsData()
{
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {135}));
    layer.sessionDataReady(QByteArray::fromHex("86130004000187""04""0000""020b"));
    QCOMPARE(recorder.events, (QList<QString>{"stop", "data"}));
    QVERIFY(!layer.isActive());
    // Once inactive, frames are ignored.
    layer.sessionDataReady(QByteArray::fromHex("86130004000187""04""0000""020b"));
    QCOMPARE(recorder.decoded.size(), 1);
}

void TestParlinkMasterAppLayer::bufferWithoutCommandOrCount_isDroppedAndChangesNothing_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::newRow("6 bytes: delimiter and address") << QByteArray::fromHex("861300040001");
    QTest::newRow("7 bytes: no byte count") << QByteArray::fromHex("86130004000187");
}

// The link layer hands over whole frames only; a direct caller may hand over anything.
void TestParlinkMasterAppLayer::bufferWithoutCommandOrCount_isDroppedAndChangesNothing()
{
    QFETCH(QByteArray, buffer);
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    PARLINK_Session *session = masterSession(this, Address, {135, 136});
    layer.startSession(session);
    QVERIFY(recorder.waitForSent(1));
    PARLINK_Session *response = layer.responseSession();
    const QByteArray addressBefore = response->getAddress();
    const auto commandBefore = response->getCommand();

    layer.sessionDataReady(buffer);
    QVERIFY(recorder.events.isEmpty());
    QVERIFY(layer.isActive());
    QCOMPARE(response->getAddress(), addressBefore);
    QCOMPARE(response->getCommand(), commandBefore);
    QCOMPARE(response->getBuffer(), QByteArray());
    // The queue has not moved on: 136 still waits for the answer to 135.
    QCOMPARE(session->getQueueLength(), 1);
    QCOMPARE(session->getQueuedCommand(0), 136u);
    QTest::qWait(2 * PARLINK_MASTER_AppLayer::RequestDelayMs);
    QCOMPARE(recorder.sent.size(), 1);

    // The answer that follows is taken as before.
    layer.sessionDataReady(QByteArray::fromHex("86130004000187""04""0000""020b"));
    QCOMPARE(recorder.events, QList<QString>{"data"});
    QVERIFY(recorder.waitForSent(2));
    QCOMPARE(recorder.sent[1].command, 136);
}

void TestParlinkMasterAppLayer::repeatCount_sendsTheCommandThatOften_data()
{
    QTest::addColumn<int>("repeats");
    QTest::addColumn<int>("requests");
    QTest::newRow("once") << 1 << 1;
    QTest::newRow("three times") << 3 << 3;
    // A count of 0 never enters the queue, so it can never wrap to 255 repeats.
    QTest::newRow("zero") << 0 << 0;
}

void TestParlinkMasterAppLayer::repeatCount_sendsTheCommandThatOften()
{
    QFETCH(int, repeats);
    QFETCH(int, requests);

    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    auto *session = masterSession(this, Address, {});
    session->appendCommandToQueue(Session::PARLINK_ENUM_SESSION_COMMAND_132, quint8(repeats));
    layer.startSession(session);
    for (int i = 0; i < requests; ++i) {
        QVERIFY(recorder.waitForSent(i + 1));
        layer.sessionDataReady(QByteArray::fromHex("86130004000184""02""0000"));
    }
    QCOMPARE(recorder.events.count("stop"), 1);
    QTest::qWait(200);
    QCOMPARE(recorder.sent.size(), requests);
}

void TestParlinkMasterAppLayer::staleDelayedRequest_isDroppedWhenANewSessionStarts()
{
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {128}));
    layer.startSession(masterSession(this, Address, {135}));
    QVERIFY(recorder.waitForSent(1));
    QTest::qWait(300);
    QCOMPARE(recorder.sent.size(), 1);
    QCOMPARE(recorder.sent[0].command, 135);
    QCOMPARE(recorder.sent[0].frame, QByteArray::fromHex("82130004000187""00"));
}

void TestParlinkMasterAppLayer::staleStepAfter129_isDroppedWhenANewSessionStarts()
{
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    auto *first = masterSession(this, Address, {129, 141}, {{129, {{"Baudrate", 9600}}}});
    layer.startSession(first);
    QVERIFY(recorder.waitForSent(1));
    layer.sessionDataReady(QByteArray::fromHex("86130004000181""02""0000"));
    layer.startSession(masterSession(this, Address, {128}));
    QVERIFY(recorder.waitForSent(2));
    QTest::qWait(400);
    QCOMPARE(recorder.sent.size(), 2);
    QCOMPARE(recorder.sent[1].command, 128);
    // The first session's next command is still queued, untouched.
    QCOMPARE(first->getQueueLength(), 1);
}

void TestParlinkMasterAppLayer::stoppedSession_sendsNoDelayedRequest_data()
{
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("sent");

    QTest::newRow("stopped while the first request waits") << QList<int>{128, 135} << QByteArray() << QList<int>{};
    QTest::newRow("stopped in the reply handler") << QList<int>{128, 135}
                                                  << QByteArray::fromHex("86130004000180""04""0000""00ff")
                                                  << QList<int>{128};
    QTest::newRow("stopped in the handler of a refused 131")
        << QList<int>{131, 130} << QByteArray::fromHex("86130004000183""02""0001") << QList<int>{131};
    QTest::newRow("stopped in the handler of a 129 reply") << QList<int>{129, 135}
                                                           << QByteArray::fromHex("86130004000181""02""0000")
                                                           << QList<int>{129};
}

// A job that fails stops its session inside the reply handler; the request that the layer has
// already scheduled must not reach the device after that.
void TestParlinkMasterAppLayer::stoppedSession_sendsNoDelayedRequest()
{
    QFETCH(QList<int>, commands);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, sent);

    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    connect(&layer, &PARLINK_MASTER_AppLayer::sessionNewData, this, [&] { layer.stopSession(); });
    layer.startSession(masterSession(this, Address, commands,
                                   {{129, {{"Baudrate", 9600}}},
                                    {131, {{"Address", 16}, {"BytesToWrite", 1}, {"Bytes", QByteArray("\x01")}}}}));
    if (reply.isEmpty()) {
        layer.stopSession();
    } else {
        QVERIFY(recorder.waitForSent(1));
        layer.sessionDataReady(reply);
        QCOMPARE(recorder.decoded.size(), 1);
    }
    QVERIFY(!layer.isActive());
    // Longer than the 150 ms delay after a 129 reply's 100 ms.
    QTest::qWait(600);
    QList<int> commandsSent;
    for (const auto &request : recorder.sent)
        commandsSent.append(request.command);
    QCOMPARE(commandsSent, sent);
}

void TestParlinkMasterAppLayer::burstMode_keepsTheSessionOpenAndAcknowledgesFrames()
{
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(masterSession(this, Address, {142}));
    layer.sessionDataReady(QByteArray::fromHex("8613000400018e""02""0000"));
    QCOMPARE(recorder.activations, 1);
    QVERIFY(layer.isBurstMode());
    QVERIFY(layer.isActive());
    QCOMPARE(recorder.events.count("stop"), 0);

    const QByteArray burst = QByteArray::fromHex("8613000400018b""08""0000""01""0742c80000");
    layer.sessionDataReady(burst);
    layer.sessionDataReady(burst);
    QCOMPARE(recorder.acknowledges, 2);
    QCOMPARE(recorder.decoded.last().value("Burstvariable 1").toFloat(), 100.0f);

    layer.sessionBurstModeDeactive();
    layer.sessionDataReady(burst);
    QCOMPARE(recorder.acknowledges, 2);
    QVERIFY(!layer.isBurstMode());
}

void TestParlinkMasterAppLayer::deletedCallerSession_isNeverWritten()
{
    PARLINK_MASTER_AppLayer layer;
    Recorder recorder(layer);
    auto *session = masterSession(nullptr, Address, {128, 135});
    layer.startSession(session);
    QVERIFY(recorder.waitForSent(1));
    delete session;
    // The layer falls back to its own, empty session and ends.
    layer.sessionDataReady(QByteArray::fromHex("86130004000180""04""0000""0008"));
    QCOMPARE(recorder.events, (QList<QString>{"stop", "data"}));
    QVERIFY(layer.requestSession() != nullptr);
}

QTEST_GUILESS_MAIN(TestParlinkMasterAppLayer)
#include "tst_parlink_master_applayer.moc"
