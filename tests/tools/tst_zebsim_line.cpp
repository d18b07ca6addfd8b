// The byte-level parts of the simulated device: frame tracking, the wake-up filter, the frame log and
// the bounds of the parameter memory.

#include "tools/zeb-sim/FrameLog.h"
#include "tools/zeb-sim/FrameTracker.h"
#include "tools/zeb-sim/ParameterMemory.h"

#include <QtTest>

using namespace ZebSim;

class TestZebSimLine : public QObject {
    Q_OBJECT
private slots:
    void tracker_placesEveryByte();
    void tracker_findsFramesAcrossJunk();
    void wakeUpFilter_swallowsOnlyTheWakeUpString_data();
    void wakeUpFilter_swallowsOnlyTheWakeUpString();
    void frameLog_linesNameCommandAddressAndFields_data();
    void frameLog_linesNameCommandAddressAndFields();
    void memory_refusesAccessPastTheEnd();
};

void TestZebSimLine::tracker_placesEveryByte()
{
    // A 135 reply: preamble, body of 12 bytes, checksum.
    const QByteArray line = QByteArray::fromHex("ffffffffff""86130004000187""04""0000""020b""1a");
    FrameTracker tracker(0x86);
    QList<FrameTracker::Step> steps;
    for (const char byte : line)
        steps.append(tracker.step(std::uint8_t(byte)));

    for (int i = 0; i < 5; ++i)
        QCOMPARE(steps[i].place, FrameTracker::Place::Preamble);
    for (int i = 5; i < 17; ++i) {
        QCOMPARE(steps[i].place, FrameTracker::Place::Body);
        QCOMPARE(steps[i].bodyOffset, i - 5);
        QCOMPARE(steps[i].frameNumber, 1);
    }
    QVERIFY(steps[10].addressComplete);
    QCOMPARE(steps[17].place, FrameTracker::Place::Checksum);
    QVERIFY(steps[17].frameComplete);
    QCOMPARE(tracker.lastFrame(), line.mid(5));
    QCOMPARE(tracker.address(), QByteArray::fromHex("1300040001"));
}

void TestZebSimLine::tracker_findsFramesAcrossJunk()
{
    // Wake-up string, a 128 request, a burst acknowledgement, a 137 request with a lone 0xFF before it.
    const QByteArray line = QByteArray("PARL") + QByteArray::fromHex("ffffffffff""82130004000080""00""15")
                          + QByteArray::fromHex("0f") + QByteArray::fromHex("ff41""ffffffffff""82000000000089""00""0b");
    FrameTracker tracker(0x82);
    QList<QByteArray> frames;
    for (const char byte : line) {
        if (tracker.step(std::uint8_t(byte)).frameComplete)
            frames.append(tracker.lastFrame());
    }
    QCOMPARE(frames, (QList<QByteArray>{QByteArray::fromHex("82130004000080""00""15"),
                                        QByteArray::fromHex("82000000000089""00""0b")}));
    QCOMPARE(tracker.framesSeen(), 2);
}

void TestZebSimLine::wakeUpFilter_swallowsOnlyTheWakeUpString_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QByteArray>("passed");
    QTest::addColumn<int>("wakeUps");

    QTest::newRow("whole") << QList<QByteArray>{"PARL"} << QByteArray() << 1;
    QTest::newRow("split over reads") << QList<QByteArray>{"PA", "R", "L"} << QByteArray() << 1;
    QTest::newRow("acknowledgement passes") << QList<QByteArray>{QByteArray("\x0fPARL\x0f")} << QByteArray("\x0f\x0f")
                                            << 1;
    QTest::newRow("twice") << QList<QByteArray>{"PARLPARL"} << QByteArray() << 2;
    QTest::newRow("restart inside") << QList<QByteArray>{"PAPARL"} << QByteArray() << 1;
}

void TestZebSimLine::wakeUpFilter_swallowsOnlyTheWakeUpString()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QByteArray, passed);
    QFETCH(int, wakeUps);

    WakeUpFilter filter;
    QByteArray out;
    for (const QByteArray &read : reads) {
        for (const char byte : read) {
            if (!filter.swallow(std::uint8_t(byte)))
                out.append(byte);
        }
    }
    QCOMPARE(out, passed);
    QCOMPARE(filter.wakeUpsSeen(), wakeUps);
}

void TestZebSimLine::frameLog_linesNameCommandAddressAndFields_data()
{
    QTest::addColumn<bool>("received");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("line");

    QTest::newRow("131 request") << true << QByteArray::fromHex("82130004000083""05""0064""aabbcc""00")
                                 << "RX 131 19.0.4.0.0 Address=100 BytesToWrite=3 Bytes=aabbcc";
    QTest::newRow("137 request") << true << QByteArray::fromHex("82000000000089""00""0b") << "RX 137 0.0.0.0.0";
    QTest::newRow("135 reply") << false << QByteArray::fromHex("86130004000187""04""0000""020b""1a")
                               << "TX 135 19.0.4.0.1 Status High=0 Status Low=0 Subversion=11 Universal Error=0 Version=2";
    QTest::newRow("138 reply, one variable")
        << false << QByteArray::fromHex("8613000400018a""08""0000""01""093f800000""00")
        << "TX 138 19.0.4.0.1 Devicevariable 1=1 Devicevariable 1 Unit=9 Number of Devicevariables=1 Status High=0 "
           "Status Low=0 Universal Error=0";
}

void TestZebSimLine::frameLog_linesNameCommandAddressAndFields()
{
    QFETCH(bool, received);
    QFETCH(QByteArray, frame);
    QFETCH(QString, line);
    QCOMPARE(FrameLog::describe(received ? FrameLog::Direction::Received : FrameLog::Direction::Sent, frame), line);
}

void TestZebSimLine::memory_refusesAccessPastTheEnd()
{
    ParameterMemory memory;
    using Space = ParameterMemory::Space;
    QVERIFY(memory.write(Space::Device, 65533, QByteArray::fromHex("010203")));
    QVERIFY(!memory.write(Space::Device, 65534, QByteArray::fromHex("010203")));
    QCOMPARE(memory.read(Space::Device, 65533, 3), std::optional<QByteArray>(QByteArray::fromHex("010203")));
    QCOMPARE(memory.read(Space::Device, 65534, 3), std::nullopt);
}

QTEST_GUILESS_MAIN(TestZebSimLine)
#include "tst_zebsim_line.moc"
