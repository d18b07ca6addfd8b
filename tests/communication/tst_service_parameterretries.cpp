// Read-backs that differ from what was written, end to end: a chunk is written again until its
// read-back matches, and the fourth difference fails the write and closes the port.

#include "communication/ParameterServiceSupport.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using namespace ParameterService;

class TestServiceParameterRetries : public QObject {
    Q_OBJECT
private slots:
    void oneWrongReadBackPerChunk_isRepeatedAndSucceeds();
    void fourWrongReadBacks_failTheWriteAndCloseThePort();
};

void TestServiceParameterRetries::oneWrongReadBackPerChunk_isRepeatedAndSucceeds()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.faults.wrongReadBacks = 1;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    // Only the name: one chunk, sent twice.
    h.call([dev = *found, name = medium.device](ParLinkDeviceService *s) { s->write(dev, name, {}); });
    QVERIFY(h.recorder().waitForAnyAfter(0, {"successWriting", "error"}));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successWriting"});
    QCOMPARE(commandsAfter(*h.device(), identification), (QList<int>{131, 130, 131, 130, 132}));
    QCOMPARE(h.device()->memory().read(Space::Device, 16, 16), std::optional<QByteArray>(WaterName));
    QCOMPARE(h.recorder().logEntries(LogLevel::Error),
             QStringList{"Device responded to command 130: Sent value didn't correspond to read value: NVM address: 16 "
                         "written: 303031205a4542205741544552000000 read: cf3031205a4542205741544552000000"});
    // The repeated replies count as well; the progress holds at 100.
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 10, 40, 70, 100, 100, 100, 100}));
}

void TestServiceParameterRetries::fourWrongReadBacks_failTheWriteAndCloseThePort()
{
    BuiltinMedium::Parameters medium;
    ZEB_LOAD_WATER(medium);
    ServiceHarness h;
    ZebSim::SimConfig config;
    config.faults.wrongReadBacks = 4;
    ZEB_START_SIM(h, config);
    const std::optional<Device> found = h.connectDevice();
    QVERIFY(found);
    const qsizetype identification = h.device()->commandsReceived().size();
    h.recorder().clear();

    QVERIFY(h.writeAndWait(*found, medium.device, medium.subdevice));
    QCOMPARE(h.recorder().outcomes(), QStringList{"error"});
    const QString mismatch = "Device responded to command 130: Sent value didn't correspond to read value: NVM address: 16 "
                             "written: 303031205a4542205741544552000000 read: cf3031205a4542205741544552000000";
    QCOMPARE(h.recorder().errors(), QStringList{"Exceeded max retries: " + mismatch});
    QCOMPARE(h.recorder().logEntries(LogLevel::Error), (QStringList{mismatch, mismatch, mismatch, mismatch,
                                                                    "Exceeded max retries: " + mismatch}));
    // The job's reset, and its progress back to 0, follow its error.
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder().progress().last(), 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(h.recorder().logEntries().contains("Com port is closed"), 5000);
    // Nothing after the fourth read-back: no take-over, no further chunk.
    h.recorder().quietFor(500);
    QCOMPARE(commandsAfter(*h.device(), identification), (QList<int>{131, 130, 131, 130, 131, 130, 131, 130}));
    QCOMPARE(h.device()->memory().takeOverCount(Space::Device), 0);
}

QTEST_GUILESS_MAIN(TestServiceParameterRetries)
#include "tst_service_parameterretries.moc"
