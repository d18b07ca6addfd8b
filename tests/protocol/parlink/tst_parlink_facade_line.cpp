#include "protocol/parlink/PARLINK.h"
#include "tests/protocol/parlink/FacadeTestSupport.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"
#include "tests/support/PtyPeer.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <chrono>

using namespace FacadeTest;
using namespace std::chrono_literals;

namespace {

using FieldMap = QMap<QString, QVariant>;

// What a character of the PARLINK line costs: start bit, 8 data bits, odd parity, stop bit.
constexpr int BitsPerCharacter = 11;
constexpr int LineBaud = 1200;
constexpr auto DeviceTurnaround = 30ms;

// The device at the far end of a real line at 1200 baud: it has heard the request once its last byte
// has left the wire, and answers 30 ms later. The pseudo-terminal itself carries every byte at once.
bool answerAsOnA1200BaudLine(PtyPeer &device, const QByteArray &request, const QByteArray &reply)
{
    if (!device.waitForReceived(request.size(), TimeoutMs))
        return false;
    const auto firstByte = device.firstReceivedAt();
    const QByteArray received = device.takeReceived();
    if (received != request || !firstByte) {
        qWarning("received %s", received.toHex(' ').constData());
        return false;
    }
    const auto onTheWire = std::chrono::microseconds(request.size() * BitsPerCharacter * 1'000'000 / LineBaud);
    const auto due = *firstByte + onTheWire + DeviceTurnaround;
    // The stack lives on this thread: its timers keep running while the device waits.
    while (std::chrono::steady_clock::now() < due) {
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    return device.write(reply);
}

// Opens the port on the device's line; on a single wire the line carries every byte back.
bool openLine(ServiceSide &service, PtyPeer &device, bool singleWire)
{
    device.setEcho(singleWire);
    auto settings = lineSettings(device.portName(), false);
    settings.singleWire = singleWire;
    return service.setPort(true, settings);
}

QByteArray counted(int bytes)
{
    QByteArray data;
    for (int i = 0; i < bytes; ++i)
        data.append(char(i));
    return data;
}

} // namespace

// The facade on lines that take their time, on a device that answers whatever it is asked, and on a
// line whose far end goes away.
class TestParlinkFacadeLine : public QObject {
    Q_OBJECT
private slots:
    void response_isAwaitedFromTheEndOfTheRequest_data();
    void response_isAwaitedFromTheEndOfTheRequest();
    void unknownCommand_isAnsweredWithAWholeFrame_data();
    void unknownCommand_isAnsweredWithAWholeFrame();
    void farEndGone_duringASession_reportsComportAndNoTimeout_data();
    void farEndGone_duringASession_reportsComportAndNoTimeout();
};

void TestParlinkFacadeLine::response_isAwaitedFromTheEndOfTheRequest_data()
{
    QTest::addColumn<bool>("singleWire");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray subDevice = QByteArray::fromHex("1300000001");
    const QByteArray device = QByteArray::fromHex("1300040000");
    // 66 characters take 605 ms at 1200 baud, more than the 600 ms a sub-device has to answer; 32 take
    // 293 ms, and the device answers after 323 ms, beyond its 300 ms.
    const QByteArray request50 = onTheLine(QByteArray::fromHex("82130000000183""34""0010") + counted(50));
    const QByteArray request16 = onTheLine(QByteArray::fromHex("82130004000083""12""0010") + counted(16));
    const QByteArray reply50 = onTheLine(QByteArray::fromHex("86130000000183""02""0000"));
    const QByteArray reply16 = onTheLine(QByteArray::fromHex("86130004000083""02""0000"));
    for (const bool singleWire : {false, true}) {
        const char *wires = singleWire ? "single wire" : "two wires";
        QTest::addRow("%s, 50 bytes to a sub-device address", wires)
            << singleWire << subDevice << 50 << request50 << reply50;
        QTest::addRow("%s, 16 bytes to a device address", wires) << singleWire << device << 16 << request16 << reply16;
    }
}

void TestParlinkFacadeLine::response_isAwaitedFromTheEndOfTheRequest()
{
    QFETCH(bool, singleWire);
    QFETCH(QByteArray, address);
    QFETCH(int, bytes);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    PtyPeer device;
    SKIP_WITHOUT_PTY(device);
    ServiceSide service;
    QVERIFY(openLine(service, device, singleWire));

    auto session = masterSession({131}, address);
    setFields(*session, 131, {{"Address", 0x10}, {"BytesToWrite", bytes}, {"Bytes", counted(bytes)}});
    service.stack.sessionStart(session.get());
    QVERIFY(answerAsOnA1200BaudLine(device, request, reply));

    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{131}, TimeoutMs);
    QCOMPARE(service.linkErrors, QList<int>{});
}

void TestParlinkFacadeLine::unknownCommand_isAnsweredWithAWholeFrame_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("status");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("masterRequest");

    // A device hears requests with a byte count; the master sends none outside 128..143.
    QTest::newRow("80") << 80 << FieldMap{{"Status High", 0x12}}
                        << QByteArray::fromHex("ffffffffff""82130004000150""00""c4")
                        << QByteArray::fromHex("ffffffffff""86130004000150""02""1200""d0")
                        << QByteArray::fromHex("ffffffffff""82130004000150""c4");
    QTest::newRow("127, no status set") << 127 << FieldMap{}
                                        << QByteArray::fromHex("ffffffffff""8213000400017f""00""eb")
                                        << QByteArray::fromHex("ffffffffff""8613000400017f""02""0000""ed")
                                        << QByteArray::fromHex("ffffffffff""8213000400017f""eb");
    QTest::newRow("144, refused") << 144 << FieldMap{{"Status Low", 7}}
                                  << QByteArray::fromHex("ffffffffff""82130004000190""00""04")
                                  << QByteArray::fromHex("ffffffffff""86130004000190""02""0007""05")
                                  << QByteArray::fromHex("ffffffffff""82130004000190""04");
}

// The slave role answers on one line; what it puts there is what a master on another line decodes.
void TestParlinkFacadeLine::unknownCommand_isAnsweredWithAWholeFrame()
{
    QFETCH(int, command);
    QFETCH(FieldMap, status);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, masterRequest);
    PtyPeer masterEnd;
    PtyPeer deviceEnd;
    SKIP_WITHOUT_PTY(masterEnd);
    SKIP_WITHOUT_PTY(deviceEnd);

    PARLINK_Session reply;
    reply.setType(Session::PARLINK_ENUM_SESSION_TYPE_SLAVE);
    reply.setAddress(Address);
    setFields(reply, command, status);
    ServiceSide slave;
    slave.stack.sessionStart(&reply);
    QVERIFY(slave.setPort(true, lineSettings(masterEnd.portName(), false)));
    QVERIFY(masterEnd.write(request));
    QVERIFY(masterEnd.waitForReceived(answer.size(), TimeoutMs));
    QCOMPARE(masterEnd.takeReceived().toHex(' '), answer.toHex(' '));
    QCOMPARE(slave.linkErrors, QList<int>{});

    ServiceSide master;
    QVERIFY(master.setPort(true, lineSettings(deviceEnd.portName(), false)));
    auto session = masterSession({command});
    master.stack.sessionStart(session.get());
    QVERIFY(exchange(deviceEnd, masterRequest, answer));
    QTRY_COMPARE_WITH_TIMEOUT(master.replies, QList<int>{command}, TimeoutMs);
    QCOMPARE(master.frames.first().toHex(' '), answer.mid(5, answer.size() - 6).toHex(' '));
    QCOMPARE(master.linkErrors, QList<int>{});
}

void TestParlinkFacadeLine::farEndGone_duringASession_reportsComportAndNoTimeout_data()
{
    QTest::addColumn<bool>("singleWire");
    QTest::newRow("two wires") << false;
    QTest::newRow("single wire") << true;
}

// An adapter pulled out while requests still wait in the session's queue: the next one reaches no
// line, so no response time-out may run for it.
void TestParlinkFacadeLine::farEndGone_duringASession_reportsComportAndNoTimeout()
{
    QFETCH(bool, singleWire);
    PtyPeer device;
    SKIP_WITHOUT_PTY(device);
    ServiceSide service;
    QVERIFY(openLine(service, device, singleWire));
    QObject context;
    connect(&service.stack, &PARLINK::sessionNewData, &context, [&] {
        if (service.replies.size() == 1)
            device.hangUp();
    });

    auto session = masterSession({135, 136, 141});
    service.stack.sessionStart(session.get());
    QVERIFY(exchange(device, QByteArray::fromHex("ffffffffff""82130004000187""00""13"),
                     onTheLine(QByteArray::fromHex("86130004000187""04""0000""020b"))));
    QTRY_COMPARE_WITH_TIMEOUT(service.replies, QList<int>{135}, TimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!service.linkErrors.isEmpty(), TimeoutMs);

    // The request for 136 leaves for the gone line 150 ms after the answer.
    QTest::qWait(1500);
    QCOMPARE(service.linkErrors.count(Session::PARLINK_ENUM_SESSION_ERROR_COMPORT), service.linkErrors.size());
    QCOMPARE(service.replies, QList<int>{135});
}

QTEST_GUILESS_MAIN(TestParlinkFacadeLine)
#include "tst_parlink_facade_line.moc"
