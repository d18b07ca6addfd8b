// The serial port as the jobs open and close it, through the real facade: the settings of an open, and
// opens over pseudo-terminals against the simulated device and a bare far end.

#include "communication/MetaTypes.h"
#include "communication/internal/Port.h"
#include "communication/internal/Session.h"
#include "tests/communication/internal/JobTestSupport.h"
#include "tests/support/PtyPeer.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::Port;
using JobTest::entries;

namespace {

constexpr int WaitMs = 10000;

Comport portOf(const QString &path)
{
    return Comport{path, "", 0, 0, false, 260, 300};
}

} // namespace

class TestJobPort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void interfaceSettings_followTheTable();
    void open_thenAListOfThreeCommands_againstTheSimulatedDevice();
    void open_ofAPortThatDoesNotOpen_failsAfterItsTimeOut();
    void open_ofTheOpenPort_reportsOpenedAtOnce();
    void open_ofAnotherPort_closesAndReopensWithTwiceTheTimeOut();
    void open_rightAfterClose_waitsForTheCloseAndOpensAgain();

private:
    bool startDevice();

    std::unique_ptr<ZebSim::ZebSimDevice> mDevice;
    std::unique_ptr<PARLINK> mFacade;
    std::unique_ptr<Port> mPort;
};

void TestJobPort::initTestCase()
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();
}

void TestJobPort::init()
{
    mFacade = std::make_unique<PARLINK>();
    mPort = std::make_unique<Port>(nullptr, mFacade.get());
}

void TestJobPort::cleanup()
{
    mPort.reset();
    mFacade.reset();
    mDevice.reset();
}

bool TestJobPort::startDevice()
{
    mDevice = std::make_unique<ZebSim::ZebSimDevice>(ZebSim::SimConfig{});
    QSignalSpy ready(mDevice.get(), &ZebSim::ZebSimDevice::ready);
    QString error;
    return mDevice->start(&error) && ready.wait(WaitMs);
}

#define START_DEVICE()                                                                             \
    do {                                                                                           \
        if (!startDevice())                                                                        \
            QSKIP("No pseudo-terminal for the simulated device");                                  \
    } while (false)

void TestJobPort::interfaceSettings_followTheTable()
{
    const PARLINK_Session::InterfaceSettings set = Port::interfaceSettings(Comport{"COM7", "FTDI", 1, 2, true, 260, 300});
    QCOMPARE(set.dtrRun, true);
    QCOMPARE(set.dtrClose, false);
    QCOMPARE(set.dtrPowerDown, false);
    QCOMPARE(set.rtsRun, false);
    QCOMPARE(set.rtsClose, false);
    QCOMPARE(set.rtsPowerDown, true);
    QCOMPARE(set.singleWire, true);
    QCOMPARE(set.baudRate, 1200);
    QCOMPARE(int(set.dataBits), 8);
    QCOMPARE(int(set.parity), 3);
    QCOMPARE(int(set.stopBits), 1);
    QCOMPARE(int(set.flowControl), 0);
    QCOMPARE(set.portName, QString("COM7"));
    QCOMPARE(set.powerCycle, true);
    QCOMPARE(set.powerDownMs, 300);
    QCOMPARE(set.startupMs, 260);
    QCOMPARE(Port::interfaceSettings(Comport{}).singleWire, false);
}

void TestJobPort::open_thenAListOfThreeCommands_againstTheSimulatedDevice()
{
    START_DEVICE();
    QSignalSpy opened(mPort.get(), &Port::opened);
    mPort->open(portOf(mDevice->portPath()), Port::DefaultOpenTimeoutMs);
    QVERIFY(opened.wait(WaitMs));
    QVERIFY(mPort->isOpen());

    Internal::Session session(nullptr, mFacade.get());
    QList<JobTest::FieldMap> replies;
    QList<bool> runningAfter;
    connect(&session, &Internal::Session::newData, this, [&](PARLINK_Session *reply) {
        replies.append(Internal::Session::getCommandData(*reply));
    });
    QList<Internal::Session::Data> list;
    for (const auto command : {PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_135,
                               PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_136,
                               PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_141})
        list.append({command, Internal::Session::getDefaultData(command)});
    connect(&session, &Internal::Session::newData, this, [&] { runningAfter.append(session.isRunning()); },
            Qt::QueuedConnection);
    session.startWith({19, 0, 4, 0, 0}, list, 0);

    QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 3, WaitMs);
    QCOMPARE(replies[0].value("Version").toInt(), 2);
    QCOMPARE(replies[0].value("Subversion").toInt(), 11);
    QCOMPARE(replies[1].value("Revision Month").toInt(), 3);
    QCOMPARE(replies[2].value("Devicetypestring").toString(), QString("M7Q4-ZEB"));
    QTRY_COMPARE_WITH_TIMEOUT(runningAfter, (QList<bool>{true, true, false}), WaitMs);
    QCOMPARE(mDevice->commandsReceived(), (QList<int>{135, 136, 141}));
}

void TestJobPort::open_ofAPortThatDoesNotOpen_failsAfterItsTimeOut()
{
    QSignalSpy opened(mPort.get(), &Port::opened);
    QSignalSpy failed(mPort.get(), &Port::failed);
    QSignalSpy log(mPort.get(), &Port::log);
    mPort->open(portOf("/dev/zeb-no-such-port"), Port::DefaultOpenTimeoutMs);
    QVERIFY(failed.wait(WaitMs));
    QCOMPARE(opened.size(), 0);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(entries(log, int(LogLevel::Error)), QStringList{"Com port could not be opened. A timeout has occurred!"});
    QCOMPARE(entries(log).first(), QString("Trying to open com port"));
    QVERIFY(!mPort->isOpen());
}

void TestJobPort::open_ofTheOpenPort_reportsOpenedAtOnce()
{
    START_DEVICE();
    QSignalSpy opened(mPort.get(), &Port::opened);
    const Comport port = portOf(mDevice->portPath());
    mPort->open(port, Port::DefaultOpenTimeoutMs);
    QVERIFY(opened.wait(WaitMs));

    QSignalSpy log(mPort.get(), &Port::log);
    QSignalSpy state(mFacade.get(), &PARLINK::portNewState);
    mPort->open(port, Port::DefaultOpenTimeoutMs);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(entries(log), QStringList{"same com port already open"});
    QTest::qWait(300);
    QCOMPARE(state.size(), 0);
}

void TestJobPort::open_ofAnotherPort_closesAndReopensWithTwiceTheTimeOut()
{
    START_DEVICE();
    PtyPeer other;
    if (!other.isOpen())
        QSKIP(qPrintable("no second pseudo-terminal: " + other.errorString()));
    QSignalSpy opened(mPort.get(), &Port::opened);
    QSignalSpy closed(mPort.get(), &Port::closed);
    mPort->open(portOf(mDevice->portPath()), Port::DefaultOpenTimeoutMs);
    QVERIFY(opened.wait(WaitMs));

    QSignalSpy log(mPort.get(), &Port::log);
    mPort->open(portOf(other.portName()), Port::DefaultOpenTimeoutMs);
    QVERIFY(opened.wait(WaitMs));
    QCOMPARE(entries(log), (QStringList{"different com port already open. Closing ...", "Com port will be closed",
                                        "Com port is closed", "Trying to open com port", "Com port is open"}));
    QCOMPARE(closed.size(), 0);
    QCOMPARE(mPort->comport().Number, other.portName());
    QCOMPARE(mPort->findChild<QTimer *>()->interval(), 2 * Port::DefaultOpenTimeoutMs);
    // The new port is the one in use: the wake-up string after its power cycle arrives there.
    QVERIFY(other.waitForReceived(4, WaitMs));
    QCOMPARE(other.received(), QByteArray("PARL"));
}

void TestJobPort::open_rightAfterClose_waitsForTheCloseAndOpensAgain()
{
    START_DEVICE();
    QSignalSpy opened(mPort.get(), &Port::opened);
    QSignalSpy closed(mPort.get(), &Port::closed);
    const Comport port = portOf(mDevice->portPath());
    mPort->open(port, Port::DefaultOpenTimeoutMs);
    QVERIFY(opened.wait(WaitMs));
    QVERIFY(QTest::qWaitFor([&] { return mDevice->wakeUpsReceived() == 1; }, WaitMs));

    // The service's abort closes the port and reports at once; a new start can follow before the
    // close has reached the port.
    QSignalSpy log(mPort.get(), &Port::log);
    QSignalSpy state(mFacade.get(), &PARLINK::portNewState);
    mPort->close();
    mPort->open(port, Port::DefaultOpenTimeoutMs);
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.wait(WaitMs));
    QCOMPARE(closed.size(), 0);
    QCOMPARE(state.size(), 2);
    QCOMPARE(state.at(0).first().toBool(), false);
    QCOMPARE(state.at(1).first().toBool(), true);
    QCOMPARE(entries(log), (QStringList{"Com port will be closed", "com port is being closed. Opening it again once closed ...",
                                        "Com port is closed", "Trying to open com port", "Com port is open"}));
    // The port in use is the one opened anew: its power cycle ends in a second wake-up string.
    QVERIFY(QTest::qWaitFor([&] { return mDevice->wakeUpsReceived() == 2; }, WaitMs));
}

QTEST_GUILESS_MAIN(TestJobPort)
#include "tst_job_port.moc"
