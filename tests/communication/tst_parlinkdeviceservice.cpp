// The device service's own switchboard, on its own thread and without a device: what its slots answer
// by themselves and how the jobs' results become its signals.

#include "communication/internal/SysCommand.h"
#include "tests/support/ServiceHarness.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::SysCommand;

class TestParLinkDeviceService : public QObject {
    Q_OBJECT
private slots:
    void abort_withNothingRunning_reportsTheDisconnection();
    void sysCommandSuccess_becomesTheSignalOfItsCommand_data();
    void sysCommandSuccess_becomesTheSignalOfItsCommand();
};

void TestParLinkDeviceService::abort_withNothingRunning_reportsTheDisconnection()
{
    ServiceHarness h;
    h.call([](ParLinkDeviceService *s) { s->abort(); });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    QCOMPARE(h.recorder().outcomes(), QStringList{"successDisconnecting"});
    // The resets of the identification, the parameter and the measured-value job, then the end of the
    // disconnection.
    QCOMPARE(h.recorder().progress(), (QList<int>{0, 0, 0, 5, 100}));
    QCOMPARE(h.recorder().logEntries(LogLevel::Info),
             (QStringList{"Operation was aborted and com port was closed!", "Operation was aborted and com port was closed!"}));
    QVERIFY(h.recorder().logEntries(LogLevel::Trace).contains("Operation was aborted and com port was closed!"));
    QVERIFY(h.recorder().logEntries().contains("Com port will be closed"));
}

void TestParLinkDeviceService::sysCommandSuccess_becomesTheSignalOfItsCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("signalled");
    QTest::newRow("SetCurrentAsFactoryDefaults") << 0 << QStringList{"successSetCurrentAsFactoryDefaults"};
    QTest::newRow("ResetToFactoryDefaults") << 1 << QStringList{"successResetToFactoryDefaults"};
    QTest::newRow("ResetNvm") << 2 << QStringList{"successResetNvm"};
    QTest::newRow("RestartDevice") << 3 << QStringList{"successRestartDevice"};
    QTest::newRow("a value beyond the four") << 9 << QStringList{};
}

void TestParLinkDeviceService::sysCommandSuccess_becomesTheSignalOfItsCommand()
{
    QFETCH(int, command);
    QFETCH(QStringList, signalled);
    ServiceHarness h;
    SysCommand *job = h.service()->findChild<SysCommand *>();
    QVERIFY(job);
    h.call([job, command](ParLinkDeviceService *s) {
        emit job->success(SysCommand::Command(command));
        s->abort();
    });
    QVERIFY(h.recorder().waitFor("successDisconnecting"));
    QCOMPARE(h.recorder().outcomes(), signalled + QStringList{"successDisconnecting"});
}

QTEST_GUILESS_MAIN(TestParLinkDeviceService)
#include "tst_parlinkdeviceservice.moc"
