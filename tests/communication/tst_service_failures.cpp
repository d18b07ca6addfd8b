// How the device service fails and disconnects, end to end against the simulated ZEB device (or no
// device at all), the service on its own thread.

#include "tests/support/ServiceHarness.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;

class TestServiceFailures : public QObject {
    Q_OBJECT
private slots:
    void silentDevice_isNotFound();
    void portThatCannotBeOpened_isReported();
    void refused137_endsTheIdentification();
    void abort_afterIdentification_closesThePortForTheNextStart();
};

void TestServiceFailures::silentDevice_isNotFound()
{
    ServiceHarness h(1500);
    ZebSim::SimConfig config;
    config.faults.silentAfterFrames = 0;
    ZEB_START_SIM(h, config);

    QVERIFY(!h.connectDevice());
    QCOMPARE(h.recorder().errors(), QStringList{"Could not find the device -> timeout!"});
    // The Session logs its time-out after the job has reported it, and the job's reset follows its error.
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries(LogLevel::Error).contains("Device didn't answer in time!"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress().last(), 0, 5000);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.device()->commandsReceived(), QList<int>{137});
}

void TestServiceFailures::portThatCannotBeOpened_isReported()
{
    ServiceHarness h;
    const Comport port{"/dev/zeb-no-such-port", "", 0, 0, false, 260, 300};
    h.call([port](ParLinkDeviceService *s) { s->start(port, true); });
    QVERIFY(h.recorder().waitFor("error"));
    QCOMPARE(h.recorder().errors(), QStringList{"Could not open com port!"});
    QVERIFY(h.recorder().logEntries(LogLevel::Error).contains("Com port could not be opened. A timeout has occurred!"));
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
}

void TestServiceFailures::refused137_endsTheIdentification()
{
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.faults.statusLowFor.insert(137, 1);
    ZEB_START_SIM(h, config);

    QVERIFY(!h.connectDevice());
    QCOMPARE(h.recorder().errors(), QStringList{"Device didn`t acknowledge command 137"});
    h.recorder().quietFor(500);
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    QCOMPARE(h.device()->commandsReceived(), QList<int>{137});
}

void TestServiceFailures::abort_afterIdentification_closesThePortForTheNextStart()
{
    ServiceHarness h;
    ZEB_START_SIM(h);
    QVERIFY(h.connectDevice());
    h.call([](ParLinkDeviceService *s) { s->abort(); });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);

    h.recorder().clear();
    QVERIFY(h.connectDevice());
    QCOMPARE(h.recorder().errors(), QStringList{});
    QVERIFY(h.recorder().logEntries().contains("Trying to open com port"));
    QCOMPARE(h.device()->programLineSpeed(), 115200);
}

QTEST_GUILESS_MAIN(TestServiceFailures)
#include "tst_service_failures.moc"
