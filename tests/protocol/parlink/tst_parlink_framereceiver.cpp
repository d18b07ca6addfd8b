#include "protocol/parlink/PARLINK_FrameReceiver.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"

#include <QtTest>

using S = PARLINK_Session;
using Receiver = PARLINK_FrameReceiver;
using namespace LinkLayerTest;

namespace {

Receiver::Expectation expectation(int role, int command, const QByteArray &address, bool burst)
{
    Receiver::Expectation expect;
    expect.role = S::PARLINK_ENUM_SESSION_TYPE(role);
    expect.command = S::PARLINK_ENUM_SESSION_COMMAND(command);
    for (int i = 0; i < 5; ++i)
        expect.address[i] = quint8(address.at(i));
    expect.burstMode = burst;
    return expect;
}

struct Outcome {
    QList<int> errors;
    QList<QByteArray> frames;
    QList<int> commands;
    int state = S::PARLINK_ENUM_SESSION_STATE_INACTIVE;
};

// Plays the session around the receiver the way the link layer does: the state after each byte is
// the session's state for the next one, and a completed frame is held until the next transmission.
Outcome feedAll(Receiver &receiver, const QByteArray &bytes, const Receiver::Expectation &expect,
                int startState = S::PARLINK_ENUM_SESSION_STATE_INACTIVE)
{
    Outcome outcome;
    outcome.state = startState;
    for (const char byte : bytes) {
        const auto step = receiver.feed(quint8(byte), S::PARLINK_ENUM_SESSION_STATE(outcome.state), expect);
        outcome.state = step.state;
        if (step.command)
            outcome.commands.append(*step.command);
        if (step.error != S::PARLINK_ENUM_SESSION_NO_ERROR) {
            outcome.errors.append(step.error);
            continue;
        }
        if (step.frameComplete) {
            outcome.frames.append(receiver.frame());
            outcome.state = S::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY;
        }
    }
    return outcome;
}

} // namespace

class TestParlinkFrameReceiver : public QObject {
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void overrunFrame_isDroppedAndNextFrameReceived_data();
    void overrunFrame_isDroppedAndNextFrameReceived();
    void largestFrame_fillsTheBufferExactly();
    void resynchronise_restartsTheFrameSearch();
    void ownTransmission_isIgnored();
    void stateFromElsewhereMidFrame_restartsTheSearch_data();
    void stateFromElsewhereMidFrame_restartsTheSearch();
    void burstAcknowledge_data();
    void burstAcknowledge();
    void burstFramePreamble_startsRoundTripOnlyForMasterInBurstMode_data();
    void burstFramePreamble_startsRoundTripOnlyForMasterInBurstMode();
};

void TestParlinkFrameReceiver::frames_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("burst");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("errors");
    QTest::addColumn<QByteArray>("frame");

    const int master = S::PARLINK_ENUM_SESSION_TYPE_MASTER;
    const int slave = S::PARLINK_ENUM_SESSION_TYPE_SLAVE;
    const QList<int> none;
    const QByteArray noFrame;
    const QByteArray response135 = hex("8601020300008704 0000020B");

    QTest::newRow("response with five preambles") << master << 135 << false
        << preambles(5) + hex("86010203000087040000020B0C") << none << response135;
    QTest::newRow("twenty preambles are accepted") << master << 135 << false
        << preambles(20) + hex("86010203000087040000020B0C") << none << response135;
    QTest::newRow("noise before the preamble is skipped") << master << 135 << false
        << hex("0013") + preambles(5) + hex("86010203000087040000020B0C") << none << response135;
    QTest::newRow("four preambles are too few") << master << 135 << false
        << preambles(4) + hex("86010203000087040000020B0C") << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_TOO_FEW_PREAMBELS}
        << noFrame;
    QTest::newRow("twenty-one preambles are too many") << master << 135 << false
        << preambles(21) << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_TOO_MANY_PREAMBELS} << noFrame;
    QTest::newRow("master skips a request delimiter") << master << 135 << false
        << preambles(5) + hex("8286010203000087040000020B0C") << none << response135;
    QTest::newRow("wrong checksum") << master << 135 << false
        << preambles(5) + hex("86010203000087040000020B0D")
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_CHECKSUM} << noFrame;
    QTest::newRow("wrong address") << master << 135 << false
        << preambles(5) + hex("86010204000087040000020B0B")
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS} << noFrame;
    QTest::newRow("command 137 is accepted from any address") << master << 137 << false
        << preambles(5) + hex("8611223344558902 00001C") << none << hex("861122334455890200 00");
    QTest::newRow("wrong command") << master << 136 << false
        << preambles(5) + hex("86010203000087040000020B0C")
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND} << noFrame;
    QTest::newRow("burst mode accepts command 139") << master << 142 << true
        << preambles(5) + hex("8601020300008B08000001203F8000009B") << none
        << hex("8601020300008B08000001203F800000");
    QTest::newRow("burst mode refuses other commands") << master << 135 << true
        << preambles(5) + hex("86010203000087040000020B0C")
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND} << noFrame;
    QTest::newRow("device count 2 carries only the status") << master << 132 << false
        << preambles(5) + withChecksum(hex("86010203000084020000")) << none << hex("86010203000084020000");
    QTest::newRow("device count 248 overruns the buffer") << master << 130 << false
        << preambles(5) + hex("860102030000 82F8") << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN}
        << noFrame;
    QTest::newRow("device count 255 overruns the buffer") << master << 130 << false
        << preambles(5) + hex("860102030000 82FF") << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN}
        << noFrame;
    QTest::newRow("device count 1 cannot hold the status") << master << 130 << false
        << preambles(5) + hex("86010203000082 01 00 00 05") << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN}
        << noFrame;
    QTest::newRow("device count 0 cannot hold the status") << master << 130 << false
        << preambles(5) + hex("86010203000082 00 00 00 04") << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN}
        << noFrame;

    QTest::newRow("slave: request to its address") << slave << 255 << false
        << preambles(5) + hex("82010203000087 00 05") << none << hex("8201020300008700");
    QTest::newRow("slave: request with data") << slave << 255 << false
        << preambles(5) + hex("820102030000820300100417") << none << hex("8201020300008203001004");
    QTest::newRow("slave skips a response delimiter") << slave << 255 << false
        << preambles(5) + hex("86 82010203000087 00 05") << none << hex("8201020300008700");
    QTest::newRow("slave: 137 to the zero address") << slave << 255 << false
        << preambles(5) + hex("82000000000089000B") << none << hex("8200000000008900");
    QTest::newRow("slave: 137 to its own address") << slave << 255 << false
        << preambles(5) + withChecksum(hex("8201020300008900")) << none << hex("8201020300008900");
    // In the slave role the session's command is the one of the request answered last.
    QTest::newRow("slave, after a 137: request to another address") << slave << 137 << false
        << preambles(5) + withChecksum(hex("8201020400008700"))
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS} << noFrame;
    QTest::newRow("slave, after a 137: request to its address") << slave << 137 << false
        << preambles(5) + withChecksum(hex("8201020300008700")) << none << hex("8201020300008700");
    QTest::newRow("slave, after a 137: 137 to the zero address") << slave << 137 << false
        << preambles(5) + hex("82000000000089000B") << none << hex("8200000000008900");
    QTest::newRow("slave, after a 137: other command to the zero address") << slave << 137 << false
        << preambles(5) + withChecksum(hex("8200000000008700"))
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND} << noFrame;
    QTest::newRow("slave: other command to the zero address") << slave << 255 << false
        << preambles(5) + withChecksum(hex("8200000000008700"))
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND} << noFrame;
    QTest::newRow("slave: request to another address") << slave << 255 << false
        << preambles(5) + withChecksum(hex("8201020400008700"))
        << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS} << noFrame;
    QTest::newRow("slave: count 248 overruns the buffer") << slave << 255 << false
        << preambles(5) + hex("820102030000 83F8") << QList<int>{S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN}
        << noFrame;
    QTest::newRow("burst role listens to no delimiter") << int(S::PARLINK_ENUM_SESSION_TYPE_BURST) << 135 << false
        << preambles(5) + hex("86010203000087040000020B0C") << none << noFrame;
}

void TestParlinkFrameReceiver::frames()
{
    QFETCH(int, role);
    QFETCH(int, command);
    QFETCH(bool, burst);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, errors);
    QFETCH(QByteArray, frame);

    Receiver receiver;
    const Outcome outcome = feedAll(receiver, bytes, expectation(role, command, Device, burst));
    QCOMPARE(outcome.errors, errors);
    if (frame.isEmpty()) {
        QVERIFY(outcome.frames.isEmpty());
    } else {
        QCOMPARE(outcome.frames.size(), 1);
        QCOMPARE(outcome.frames.first().toHex(' '), frame.toHex(' '));
    }
}

void TestParlinkFrameReceiver::overrunFrame_isDroppedAndNextFrameReceived_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QByteArray>("badFrame");
    QTest::addColumn<QByteArray>("goodFrame");
    QTest::addColumn<QByteArray>("expected");

    // The rest of the oversized frame follows on the line before the next frame's preamble.
    const QByteArray rest(250, char(0x5A));
    QTest::newRow("master, count 250") << int(S::PARLINK_ENUM_SESSION_TYPE_MASTER)
        << preambles(5) + hex("860102030000 87FA") + rest
        << preambles(5) + hex("86010203000087040000020B0C") << hex("86010203000087040000020B");
    QTest::newRow("master, count 1") << int(S::PARLINK_ENUM_SESSION_TYPE_MASTER)
        << preambles(5) + hex("860102030000 8701") + rest.left(3)
        << preambles(5) + hex("86010203000087040000020B0C") << hex("86010203000087040000020B");
    QTest::newRow("slave, count 255") << int(S::PARLINK_ENUM_SESSION_TYPE_SLAVE)
        << preambles(5) + hex("820102030000 87FF") + rest
        << preambles(5) + hex("8201020300008700 05") << hex("8201020300008700");
}

void TestParlinkFrameReceiver::overrunFrame_isDroppedAndNextFrameReceived()
{
    QFETCH(int, role);
    QFETCH(QByteArray, badFrame);
    QFETCH(QByteArray, goodFrame);
    QFETCH(QByteArray, expected);

    Receiver receiver;
    const auto expect = expectation(role, 135, Device, false);
    const Outcome bad = feedAll(receiver, badFrame, expect);
    QCOMPARE(bad.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN});
    QVERIFY(bad.frames.isEmpty());

    const Outcome good = feedAll(receiver, goodFrame, expect, bad.state);
    QVERIFY(good.errors.isEmpty());
    QCOMPARE(good.frames.size(), 1);
    QCOMPARE(good.frames.first().toHex(' '), expected.toHex(' '));
}

void TestParlinkFrameReceiver::largestFrame_fillsTheBufferExactly()
{
    // Count 247: two status bytes and 245 data bytes make a frame of 255 bytes without checksum.
    QByteArray frame = hex("86010203000082F70000");
    for (int i = 0; i < 245; ++i)
        frame.append(char(i));
    Receiver receiver;
    const Outcome outcome = feedAll(receiver, preambles(5) + withChecksum(frame),
                                    expectation(S::PARLINK_ENUM_SESSION_TYPE_MASTER, 130, Device, false));
    QVERIFY(outcome.errors.isEmpty());
    QCOMPARE(outcome.frames.size(), 1);
    QCOMPARE(outcome.frames.first().size(), 255);
    QCOMPARE(outcome.frames.first(), frame);
}

void TestParlinkFrameReceiver::resynchronise_restartsTheFrameSearch()
{
    Receiver receiver;
    const auto expect = expectation(S::PARLINK_ENUM_SESSION_TYPE_MASTER, 135, Device, false);
    // Half a frame, then the line goes quiet (a time-out) and a whole frame follows.
    const Outcome half = feedAll(receiver, preambles(5) + hex("8601020300008704"), expect);
    QCOMPARE(half.state, int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES));
    receiver.resynchronise();
    const Outcome whole = feedAll(receiver, preambles(5) + hex("86010203000087040000020B0C"), expect, half.state);
    QVERIFY(whole.errors.isEmpty());
    QCOMPARE(whole.frames.size(), 1);
}

void TestParlinkFrameReceiver::ownTransmission_isIgnored()
{
    Receiver receiver;
    const auto expect = expectation(S::PARLINK_ENUM_SESSION_TYPE_MASTER, 135, Device, false);
    const QByteArray frame = preambles(5) + hex("86010203000087040000020B0C");
    const Outcome sending = feedAll(receiver, frame, expect, S::PARLINK_ENUM_SESSION_STATE_SENDING);
    QCOMPARE(sending.state, int(S::PARLINK_ENUM_SESSION_STATE_SENDING));
    QVERIFY(sending.frames.isEmpty());
    // A delivered frame waits for the next transmission: later bytes are dropped.
    const Outcome ready = feedAll(receiver, frame, expect, S::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY);
    QCOMPARE(ready.state, int(S::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY));
    QVERIFY(ready.frames.isEmpty());
    QVERIFY(ready.errors.isEmpty());
}

void TestParlinkFrameReceiver::stateFromElsewhereMidFrame_restartsTheSearch_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("command") << int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_COMMAND);
    QTest::newRow("byte count") << int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD_COUNT);
    QTest::newRow("status bytes") << int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES);
    QTest::newRow("payload") << int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD);
}

void TestParlinkFrameReceiver::stateFromElsewhereMidFrame_restartsTheSearch()
{
    QFETCH(int, state);

    // A fresh receiver has stored nothing, whatever the session's state claims.
    Receiver receiver;
    const Outcome outcome = feedAll(receiver, preambles(5) + hex("86010203000087040000020B0C"),
                                    expectation(S::PARLINK_ENUM_SESSION_TYPE_MASTER, 135, Device, false), state);
    QVERIFY(outcome.errors.isEmpty());
    QCOMPARE(outcome.frames.size(), 1);
    QCOMPARE(outcome.frames.first().toHex(' '), hex("86010203000087040000020B").toHex(' '));
}

void TestParlinkFrameReceiver::burstAcknowledge_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("burst");
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("acknowledged");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("state");

    const int slave = S::PARLINK_ENUM_SESSION_TYPE_SLAVE;
    QTest::newRow("slave gets 0x0F") << slave << true << 0x0F << true << 0
                                     << int(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
    QTest::newRow("slave gets another byte") << slave << true << 0xFF << false
                                             << int(S::PARLINK_ENUM_SESSION_ERROR_BURST_ACK)
                                             << int(S::PARLINK_ENUM_SESSION_STATE_ERROR);
    QTest::newRow("master without burst mode") << int(S::PARLINK_ENUM_SESSION_TYPE_MASTER) << false << 0x0F
                                               << false << 0 << int(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
}

void TestParlinkFrameReceiver::burstAcknowledge()
{
    QFETCH(int, role);
    QFETCH(bool, burst);
    QFETCH(int, byte);
    QFETCH(bool, acknowledged);
    QFETCH(int, error);
    QFETCH(int, state);

    Receiver receiver;
    const auto step = receiver.feed(quint8(byte), S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_BURST_ACK,
                                    expectation(role, 139, Device, burst));
    QCOMPARE(step.burstAcknowledged, acknowledged);
    QCOMPARE(int(step.error), error);
    QCOMPARE(int(step.state), state);
}

void TestParlinkFrameReceiver::burstFramePreamble_startsRoundTripOnlyForMasterInBurstMode_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("burst");
    QTest::addColumn<bool>("started");

    QTest::newRow("master in burst mode") << int(S::PARLINK_ENUM_SESSION_TYPE_MASTER) << true << true;
    QTest::newRow("master") << int(S::PARLINK_ENUM_SESSION_TYPE_MASTER) << false << false;
    QTest::newRow("slave in burst mode") << int(S::PARLINK_ENUM_SESSION_TYPE_SLAVE) << true << false;
}

void TestParlinkFrameReceiver::burstFramePreamble_startsRoundTripOnlyForMasterInBurstMode()
{
    QFETCH(int, role);
    QFETCH(bool, burst);
    QFETCH(bool, started);

    Receiver receiver;
    const auto step = receiver.feed(0xFF, S::PARLINK_ENUM_SESSION_STATE_INACTIVE, expectation(role, 139, Device, burst));
    QCOMPARE(step.preambleStarted, started);
    QCOMPARE(int(step.state), int(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS));
}

QTEST_APPLESS_MAIN(TestParlinkFrameReceiver)
#include "tst_parlink_framereceiver.moc"
