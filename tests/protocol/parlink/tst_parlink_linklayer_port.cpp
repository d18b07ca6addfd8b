#include "protocol/parlink/PARLINK_LinkLayer.h"
#include "tests/protocol/parlink/LinkLayerTestSupport.h"
#include "tests/support/PtyPeer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using S = PARLINK_Session;
using namespace LinkLayerTest;

// The link layer on a real serial line: a pseudo-terminal whose far end plays the device. A
// pseudo-terminal has no DTR/RTS lines, so the port never confirms a line change and every wait of
// the power cycle runs out.
class TestParlinkLinkLayerPort : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void powerCycle_sendsWakeUpAfterWaitsRunOut();
    void powerCycle_keepsTheSettingsItStartedWith();
    void destruction_duringPowerCycle_sendsNothingMore();
    void closeDuringPowerCycle_writesAndDrivesNothingMore();
    void closeAndOpenAtOnce_sendsOneWakeUp();
    void requestAndResponse_overSingleWireLine();
    void failedOpen_thenOpen_reportsOnlyTheFailure();
    void baudrateChange_switchesTheLine();

private:
    S::InterfaceSettings settings(bool powerCycle, int powerDownMs, int startupMs, bool singleWire) const;
    bool openPort();

    std::unique_ptr<PtyPeer> mPeer;
    std::unique_ptr<PARLINK_LinkLayer> mLink;
};

void TestParlinkLinkLayerPort::init()
{
    mPeer = std::make_unique<PtyPeer>();
    if (!mPeer->isOpen())
        QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + mPeer->errorString()));
    mLink = std::make_unique<PARLINK_LinkLayer>(nullptr, S::PARLINK_HW_UART);
}

void TestParlinkLinkLayerPort::cleanup()
{
    mLink.reset();
    mPeer.reset();
}

S::InterfaceSettings TestParlinkLinkLayerPort::settings(bool powerCycle, int powerDownMs, int startupMs,
                                                        bool singleWire) const
{
    S::InterfaceSettings set = mLink->interfaceSettings();
    set.portName = mPeer->portName();
    set.powerCycle = powerCycle;
    set.powerDownMs = powerDownMs;
    set.startupMs = startupMs;
    set.singleWire = singleWire;
    return set;
}

// Opens the port with the link layer's settings, as the facade does.
bool TestParlinkLinkLayerPort::openPort()
{
    QSignalSpy state(mLink.get(), &PARLINK_LinkLayer::portNewState);
    const S::InterfaceSettings &set = mLink->interfaceSettings();
    emit mLink->portOpen(set.portName, set.baudRate, set.dataBits, set.parity, set.stopBits, set.flowControl);
    return state.wait(5000) && state.at(0).at(0).toBool();
}

void TestParlinkLinkLayerPort::powerCycle_sendsWakeUpAfterWaitsRunOut()
{
    mLink->setInterfaceSettings(settings(true, 200, 200, false));
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(openPort());

    QVERIFY(mPeer->waitForReceived(4, 10000));
    // Power-down and start-up times plus two unconfirmed waits of 100 ms.
    QVERIFY2(elapsed.elapsed() >= 200 + 200 + 2 * 100 - 20, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(mPeer->received(), QByteArray("PARL"));
}

void TestParlinkLinkLayerPort::powerCycle_keepsTheSettingsItStartedWith()
{
    mLink->setInterfaceSettings(settings(true, 300, 300, false));
    QElapsedTimer elapsed;
    QObject context;
    connect(mLink.get(), &PARLINK_LinkLayer::portNewState, &context, [&] { elapsed.start(); });
    QVERIFY(openPort());

    // The next open's settings arrive while this cycle runs.
    mLink->setInterfaceSettings(settings(true, 0, 0, false));
    QVERIFY(mPeer->waitForReceived(4, 10000));
    QVERIFY2(elapsed.elapsed() >= 300 + 300 + 2 * 100 - 20, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(mPeer->received(), QByteArray("PARL"));
}

void TestParlinkLinkLayerPort::destruction_duringPowerCycle_sendsNothingMore()
{
    mLink->setInterfaceSettings(settings(true, 1500, 1500, false));
    QVERIFY(openPort());
    mLink.reset();

    QVERIFY(!mPeer->waitForReceived(1, 500));
}

// A pseudo-terminal has no control lines: each DTR or RTS change that reaches the port is refused
// with a log text, which is how the line actions of the power cycle show here.
void TestParlinkLinkLayerPort::closeDuringPowerCycle_writesAndDrivesNothingMore()
{
    mLink->setInterfaceSettings(settings(true, 300, 300, false));
    QStringList events;
    QObject context;
    connect(mLink->serialPort(), &FSerialPort::log, &context, [&](const QString &text) { events.append(text); },
            Qt::QueuedConnection);
    connect(mLink.get(), &PARLINK_LinkLayer::portNewState, &context,
            [&](bool open) { events.append(open ? "open" : "closed"); });
    QVERIFY(openPort());
    // The power-down levels have reached the port; the cycle now holds them for 300 ms.
    QTRY_VERIFY_WITH_TIMEOUT(events.contains("Could not set RTS"), 5000);

    emit mLink->portClose();
    QTRY_VERIFY_WITH_TIMEOUT(events.contains("closed"), 5000);
    // Longer than the rest of the cycle would have taken.
    QTest::qWait(1200);
    QCOMPARE(events.mid(events.indexOf("closed") + 1), QStringList{});
    QCOMPARE(mPeer->receivedSize(), 0);
}

void TestParlinkLinkLayerPort::closeAndOpenAtOnce_sendsOneWakeUp()
{
    mLink->setInterfaceSettings(settings(true, 300, 300, false));
    QVERIFY(openPort());

    QSignalSpy state(mLink.get(), &PARLINK_LinkLayer::portNewState);
    mLink->setInterfaceSettings(settings(true, 50, 50, false));
    const S::InterfaceSettings &set = mLink->interfaceSettings();
    emit mLink->portClose();
    emit mLink->portOpen(set.portName, set.baudRate, set.dataBits, set.parity, set.stopBits, set.flowControl);
    QTRY_COMPARE_WITH_TIMEOUT(state.size(), 2, 5000);
    QCOMPARE(state.at(0).at(0).toBool(), false);
    QCOMPARE(state.at(1).at(0).toBool(), true);

    QVERIFY(mPeer->waitForReceived(4, 5000));
    // Until well after the first open's cycle would have ended.
    QTest::qWait(1200);
    QCOMPARE(mPeer->received(), QByteArray("PARL"));
}

void TestParlinkLinkLayerPort::requestAndResponse_overSingleWireLine()
{
    // Half duplex: the device hears the request, and so does the port itself.
    mPeer->setEcho(true);
    mLink->setInterfaceSettings(settings(false, 0, 0, true));
    QVERIFY(openPort());
    PARLINK_Session master;
    master.setType(S::PARLINK_ENUM_SESSION_TYPE_MASTER);
    master.setAddress(hex("0102030000"));
    mLink->sessionStart(&master);
    QSignalSpy done(mLink.get(), &PARLINK_LinkLayer::sessionDataTxDone);
    QSignalSpy frames(mLink.get(), &PARLINK_LinkLayer::sessionDataRxBufferReady);
    InfoRecorder recorder(*mLink);

    QByteArray request = hex("8201020300008700");
    mLink->sessionDataTxSetBuffer(S::PARLINK_ENUM_SESSION_COMMAND_135, request);
    QVERIFY(mPeer->waitForReceived(14, 5000));
    QCOMPARE(mPeer->takeReceived().toHex(' '), hex("FFFFFFFFFF820102030000870005").toHex(' '));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);

    mPeer->setEcho(false);
    QVERIFY(mPeer->write(hex("FFFFFFFFFF86010203000087040000020B0C")));
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 1, 5000);
    QCOMPARE(frames.at(0).at(0).toByteArray().toHex(' '), hex("86010203000087040000020B").toHex(' '));
    QVERIFY(recorder.errors.isEmpty());
}

void TestParlinkLinkLayerPort::failedOpen_thenOpen_reportsOnlyTheFailure()
{
    InfoRecorder recorder(*mLink);
    QSignalSpy state(mLink.get(), &PARLINK_LinkLayer::portNewState);

    S::InterfaceSettings missing = settings(false, 0, 0, false);
    missing.portName = QStringLiteral("/dev/zeb-no-such-port");
    mLink->setInterfaceSettings(missing);
    emit mLink->portOpen(missing.portName, missing.baudRate, missing.dataBits, missing.parity, missing.stopBits,
                         missing.flowControl);
    QVERIFY(state.wait(5000));
    QCOMPARE(state.at(0).at(0).toBool(), false);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_CANT_OPEN_COMPORT}, 5000);

    // The port's return to "no error" on this open is no link error.
    mLink->setInterfaceSettings(settings(false, 0, 0, false));
    QVERIFY(openPort());
    QTest::qWait(200);
    QCOMPARE(recorder.errors, QList<int>{S::PARLINK_ENUM_SESSION_ERROR_CANT_OPEN_COMPORT});
}

void TestParlinkLinkLayerPort::baudrateChange_switchesTheLine()
{
    mLink->setInterfaceSettings(settings(false, 0, 0, false));
    QVERIFY(openPort());
    QCOMPARE(mPeer->lineSpeed(), 1200);
    QSignalSpy info(mLink.get(), &PARLINK_LinkLayer::sessionNewInfo);

    bool ok = false;
    mLink->sessionBaudrateSetNew(9600, &ok);
    QVERIFY(ok);
    QCOMPARE(mLink->sessionInfo()->getBaudrate(), 9600u);
    QCOMPARE(info.size(), 1);
    QCOMPARE(mPeer->lineSpeed(), 9600);
}

QTEST_MAIN(TestParlinkLinkLayerPort)
#include "tst_parlink_linklayer_port.moc"
