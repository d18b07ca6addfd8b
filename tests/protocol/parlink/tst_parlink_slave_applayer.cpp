#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"

#include <QtTest>

using FieldMap = QMap<QString, QVariant>;
using Session = PARLINK_Session;

Q_DECLARE_METATYPE(FieldMap)

namespace {

const QByteArray Address = QByteArray::fromHex("1300040001");

// What the link layer would see of the layer.
struct Recorder : QObject {
    QList<QByteArray> sent;
    QList<uint> baudrates;
    int activations = 0;
    QList<FieldMap> requests;

    explicit Recorder(PARLINK_SLAVE_AppLayer &layer)
    {
        connect(&layer, &PARLINK_SLAVE_AppLayer::sessionDataTxSetBuffer, this,
                [this](Session::PARLINK_ENUM_SESSION_COMMAND, QByteArray &frame) { sent.append(frame); });
        connect(&layer, &PARLINK_SLAVE_AppLayer::sessionBaudrateSetNew, this, [this](uint baud, bool *ok) {
            baudrates.append(baud);
            *ok = true;
            return true;
        });
        connect(&layer, &PARLINK_SLAVE_AppLayer::sessionBurstModeSetActivate, this, [this] { ++activations; });
        connect(&layer, &PARLINK_SLAVE_AppLayer::sessionNewData, this, [this](PARLINK_Session *request) {
            FieldMap fields;
            request->getDataForCommand(request->getCommand(), &fields);
            requests.append(fields);
        });
    }
};

void setReply(PARLINK_Session &reply, int command, const FieldMap &fields)
{
    const auto c = Session::PARLINK_ENUM_SESSION_COMMAND(command);
    FieldMap map;
    reply.getDefaultDataForCommand(c, &map);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        map[it.key()] = it.value();
    reply.setDataForCommand(c, map);
}

FieldMap variables(const QString &prefix, const QString &count, int n)
{
    FieldMap fields{{count, n}};
    for (int i = 1; i <= 8; ++i) {
        fields[QStringLiteral("%1 %2 Unit").arg(prefix).arg(i)] = i;
        fields[QStringLiteral("%1 %2").arg(prefix).arg(i)] = float(i);
    }
    return fields;
}

} // namespace

class TestParlinkSlaveAppLayer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void response_isLaidOutPerCommand_data();
    void response_isLaidOutPerCommand();
    void request_isDecodedIntoItsFields_data();
    void request_isDecodedIntoItsFields();
    void oversizedAnswers_keepCountAndLengthEqual_data();
    void oversizedAnswers_keepCountAndLengthEqual();
    void baudrateChange_followsTheWrittenReply_data();
    void baudrateChange_followsTheWrittenReply();
    void burstFrame_carriesTheReplysBurstVariables();
    void inactiveLayer_answersNothing();

private:
    void answer(PARLINK_SLAVE_AppLayer &layer, const QByteArray &request, const FieldMap &reply);

    std::unique_ptr<PARLINK_Session> mReply;
};

void TestParlinkSlaveAppLayer::init()
{
    mReply = std::make_unique<PARLINK_Session>();
    mReply->setAddress(Address);
}

// Starts the layer with a reply that holds the given fields for the request's command, then hands it the request.
void TestParlinkSlaveAppLayer::answer(PARLINK_SLAVE_AppLayer &layer, const QByteArray &request, const FieldMap &reply)
{
    setReply(*mReply, quint8(request.at(6)), reply);
    layer.startSession(mReply.get());
    layer.sessionDataReady(request);
}

void TestParlinkSlaveAppLayer::response_isLaidOutPerCommand_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<FieldMap>("reply");
    QTest::addColumn<QByteArray>("response");

    QTest::newRow("130, 4 of 6 bytes") << QByteArray::fromHex("82130004000182""03""0010""04")
                                       << FieldMap{{"Bytes", QByteArray::fromHex("010203040506")}}
                                       << QByteArray::fromHex("86130004000182""06""0000""01020304");
    QTest::newRow("130, 4 of 2 bytes: zeros") << QByteArray::fromHex("82130004000182""03""0010""04")
                                              << FieldMap{{"Bytes", QByteArray::fromHex("0102")}}
                                              << QByteArray::fromHex("86130004000182""06""0000""00000000");
    QTest::newRow("133, refused") << QByteArray::fromHex("82130004000185""00") << FieldMap{{"Status Low", 5}}
                                  << QByteArray::fromHex("86130004000185""02""0005");
    QTest::newRow("137 to the zero address, answered from the own address")
        << QByteArray::fromHex("82000000000089""00") << FieldMap{} << QByteArray::fromHex("86130004000189""02""0000");
    QTest::newRow("138, one variable of 1.0")
        << QByteArray::fromHex("8213000400018a""00")
        << FieldMap{{"Number of Devicevariables", 1}, {"Devicevariable 1 Unit", 9}, {"Devicevariable 1", 1.0f}}
        << QByteArray::fromHex("8613000400018a""08""0000""01""093f800000");
    QTest::newRow("139, two variables")
        << QByteArray::fromHex("8213000400018b""00")
        << FieldMap{{"Number of Burstvariables", 2}, {"Burstvariable 1 Unit", 1}, {"Burstvariable 1", -2.5f},
                    {"Burstvariable 2 Unit", 7}, {"Burstvariable 2", 100.0f}}
        << QByteArray::fromHex("8613000400018b""0d""0000""02""01c0200000""0742c80000");
    QTest::newRow("140") << QByteArray::fromHex("8213000400018c""00")
                         << FieldMap{{"Statusstring 1", "3Overflow"}, {"Statusstring 2", "ABCDEFGHIJKLMNOP"}}
                         << QByteArray::fromHex("8613000400018c""82""0000"
                                                "334f766572666c6f7700000000000000" "4142434445464748494a4b4c4d4e4f50"
                                                "20000000000000000000000000000000" "20000000000000000000000000000000"
                                                "20000000000000000000000000000000" "20000000000000000000000000000000"
                                                "20000000000000000000000000000000" "20000000000000000000000000000000");

    // Outside the protocol's commands the answer is still a whole frame: count 2 and the status bytes.
    QTest::newRow("80, unknown") << QByteArray::fromHex("82130004000150""00") << FieldMap{{"Status High", 0x12}}
                                 << QByteArray::fromHex("86130004000150""02""1200");
    QTest::newRow("127, unknown, no status set") << QByteArray::fromHex("8213000400017f""00") << FieldMap{}
                                                 << QByteArray::fromHex("8613000400017f""02""0000");
    QTest::newRow("144, unknown, refused") << QByteArray::fromHex("82130004000190""00") << FieldMap{{"Status Low", 7}}
                                           << QByteArray::fromHex("86130004000190""02""0007");
}

void TestParlinkSlaveAppLayer::response_isLaidOutPerCommand()
{
    QFETCH(QByteArray, request);
    QFETCH(FieldMap, reply);
    QFETCH(QByteArray, response);

    PARLINK_SLAVE_AppLayer layer;
    Recorder recorder(layer);
    answer(layer, request, reply);
    QCOMPARE(recorder.sent.size(), 1);
    QCOMPARE(recorder.sent[0].toHex(), response.toHex());
    QCOMPARE(mReply->getBuffer(), response);
    QCOMPARE(recorder.requests.size(), 1);
}

void TestParlinkSlaveAppLayer::request_isDecodedIntoItsFields_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<FieldMap>("expected");

    QTest::newRow("131, count 7") << QByteArray::fromHex("82130004000183""07""0064""0102030405")
                                  << FieldMap{{"Address", 100}, {"BytesToWrite", 5},
                                              {"Bytes", QByteArray::fromHex("0102030405")}};
    QTest::newRow("131 cut short: only the bytes present")
        << QByteArray::fromHex("82130004000183""0a""0064""0102")
        << FieldMap{{"Address", 100}, {"BytesToWrite", 2}, {"Bytes", QByteArray::fromHex("0102")}};
    QTest::newRow("130 cut short: zero-filled") << QByteArray::fromHex("82130004000182""03""01")
                                                << FieldMap{{"Address", 0}, {"BytesToRead", 0}};
    QTest::newRow("143 without data") << QByteArray::fromHex("8213000400018f")
                                      << FieldMap{{"Systemcommand", 0}, {"Payload", 0}};
}

void TestParlinkSlaveAppLayer::request_isDecodedIntoItsFields()
{
    QFETCH(QByteArray, request);
    QFETCH(FieldMap, expected);

    PARLINK_SLAVE_AppLayer layer;
    Recorder recorder(layer);
    layer.startSession(mReply.get());
    layer.sessionDataReady(request);
    QCOMPARE(recorder.requests.size(), 1);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(recorder.requests[0].value(it.key()) == it.value(), qPrintable(it.key()));
    QCOMPARE(layer.requestSession()->getBuffer(), request);
}

void TestParlinkSlaveAppLayer::oversizedAnswers_keepCountAndLengthEqual_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<FieldMap>("reply");
    QTest::addColumn<int>("count");

    QTest::newRow("130 for 120 bytes: 98 sent") << QByteArray::fromHex("82130004000182""03""0000""78")
                                                << FieldMap{{"Bytes", QByteArray(120, '\x5a')}} << 100;
    QTest::newRow("130 for 255 bytes") << QByteArray::fromHex("82130004000182""03""0000""ff") << FieldMap{} << 100;
    QTest::newRow("138 with 12 variables: 8 sent") << QByteArray::fromHex("8213000400018a""00")
                                                   << variables("Devicevariable", "Number of Devicevariables", 12) << 43;
    QTest::newRow("139 with 60 variables: 8 sent") << QByteArray::fromHex("8213000400018b""00")
                                                   << variables("Burstvariable", "Number of Burstvariables", 60) << 43;
}

void TestParlinkSlaveAppLayer::oversizedAnswers_keepCountAndLengthEqual()
{
    QFETCH(QByteArray, request);
    QFETCH(FieldMap, reply);
    QFETCH(int, count);

    PARLINK_SLAVE_AppLayer layer;
    Recorder recorder(layer);
    answer(layer, request, reply);
    QCOMPARE(recorder.sent.size(), 1);
    const QByteArray &response = recorder.sent[0];
    // Delimiter, address, command and count precede the counted bytes.
    QCOMPARE(int(quint8(response.at(7))), count);
    QCOMPARE(response.size() - 8, count);
    if (quint8(request.at(6)) >= 138)
        QCOMPARE(int(response.at(10)), 8);
}

void TestParlinkSlaveAppLayer::baudrateChange_followsTheWrittenReply_data()
{
    QTest::addColumn<int>("statusLow");
    QTest::addColumn<QList<uint>>("switches");
    QTest::newRow("carried out") << 0 << QList<uint>{115200};
    QTest::newRow("refused") << 1 << QList<uint>{};
}

void TestParlinkSlaveAppLayer::baudrateChange_followsTheWrittenReply()
{
    QFETCH(int, statusLow);
    QFETCH(QList<uint>, switches);

    PARLINK_SLAVE_AppLayer layer;
    Recorder recorder(layer);
    answer(layer, QByteArray::fromHex("82130004000181""03""01c200"), {{"Status Low", statusLow}});
    QCOMPARE(recorder.sent.size(), 1);
    QCOMPARE(recorder.baudrates, QList<uint>{});
    layer.sessionDataWritten();
    QCOMPARE(recorder.baudrates, switches);
    // Only once.
    layer.sessionDataWritten();
    QCOMPARE(recorder.baudrates, switches);
}

void TestParlinkSlaveAppLayer::burstFrame_carriesTheReplysBurstVariables()
{
    PARLINK_SLAVE_AppLayer layer;
    Recorder recorder(layer);
    setReply(*mReply, 139, {{"Number of Burstvariables", 1}, {"Burstvariable 1 Unit", 7}, {"Burstvariable 1", 100.0f}});
    layer.startSession(mReply.get());
    layer.sessionDataReady(QByteArray::fromHex("8213000400018e""00"));
    QCOMPARE(recorder.activations, 1);

    QByteArray frame;
    layer.sessionBurstModeSetData(frame);
    QCOMPARE(frame.toHex(), QByteArray("8613000400018b""08""0000""01""0742c80000"));
    QCOMPARE(layer.requestSession()->getCommand(), Session::PARLINK_ENUM_SESSION_COMMAND_139);
}

void TestParlinkSlaveAppLayer::inactiveLayer_answersNothing()
{
    PARLINK_SLAVE_AppLayer layer;
    Recorder recorder(layer);
    layer.sessionDataReady(QByteArray::fromHex("82130004000180""00"));
    layer.startSession(mReply.get());
    layer.stopSession();
    layer.sessionDataReady(QByteArray::fromHex("82130004000180""00"));
    QByteArray frame;
    layer.sessionBurstModeSetData(frame);
    QCOMPARE(recorder.sent.size(), 0);
    QVERIFY(frame.isEmpty());
}

QTEST_GUILESS_MAIN(TestParlinkSlaveAppLayer)
#include "tst_parlink_slave_applayer.moc"
