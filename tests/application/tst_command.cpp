#include "application/components/ConnectedDeviceContext.h"
#include "application/components/SimpleConnectedDeviceCommand.h"

#include "tests/support/FakeDeviceService.h"
#include "tests/support/LogRecorder.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;
using Thg::Tilo::Components::ConnectedDeviceContext;
using Thg::Tilo::Components::SimpleConnectedDeviceCommand;
using Thg::Tilo::Components::System;

// The smallest device command: one request to the service, ended by its success signal.
class ProbeCommand : public SimpleConnectedDeviceCommand {
public:
    using SimpleConnectedDeviceCommand::SimpleConnectedDeviceCommand;

    QString getDescription() const override { return QStringLiteral("Probing"); }

    int stops = 0;

protected:
    void doConnect() override
    {
        SimpleConnectedDeviceCommand::doConnect();
        finishOn(&DeviceService::successResetToFactoryDefaults);
    }
    void doExecute() override { mService.resetToFactoryDefaults(Address::Type::Device, mContext.connectedDevice); }
    void doStop() override { ++stops; }
};

// Outside the anonymous namespace, so its type name reads "12ProbeCommand".

namespace {

Device connectedDevice()
{
    Device device;
    device.Name = QStringLiteral("ZEB");
    device.address = Address(Address::Bytes{19, 0, 4, 0, 1});
    return device;
}

} // namespace

class TestCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogRecorder> mLog;
    std::unique_ptr<FakeDeviceService> mService;
    ConnectedDeviceContext mContext;

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
    }

    void init()
    {
        mLog = std::make_unique<LogRecorder>();
        mService = std::make_unique<FakeDeviceService>();
        mContext.clearConnectedDeviceAndPort();
        mContext.connectedDevice = connectedDevice();
    }

    void cleanup()
    {
        mService.reset();
        mLog.reset();
    }

    void success_reportsProgressAndFinishes()
    {
        ProbeCommand command(mContext, *mService);
        QSignalSpy progress(&command, &ProbeCommand::progressUpdated);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        QSignalSpy failed(&command, &ProbeCommand::errorOccurred);

        command.execute();
        QVERIFY(command.isRunning());
        QVERIFY(finished.wait(5000));

        QCOMPARE(finished.count(), 1);
        QCOMPARE(failed.count(), 0);
        QVERIFY(!command.isRunning());
        QCOMPARE(progress.count(), 3);
        QCOMPARE(progress.at(0), (QVariantList{0U, QStringLiteral("Probing")}));
        QCOMPARE(progress.at(1), (QVariantList{50U, QStringLiteral("Probing")}));
        QCOMPARE(progress.at(2), (QVariantList{100U, QStringLiteral("Probing")}));
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("resetToFactoryDefaults")});
        QCOMPARE(mLog->lines(), (QStringList{QStringLiteral("[debug] [main] Executing 12ProbeCommand (Probing)"),
                                             QStringLiteral("[debug] [main] Finished 12ProbeCommand")}));
    }

    void serviceError_endsWithDisconnectedTrue()
    {
        mService->setReply(QStringLiteral("resetToFactoryDefaults"), FakeDeviceService::Reply::Fail,
                           QStringLiteral("Timeout of the device"));
        ProbeCommand command(mContext, *mService);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        QSignalSpy failed(&command, &ProbeCommand::errorOccurred);

        command.execute();
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("Timeout of the device"));
        QCOMPARE(failed.at(0).at(1).value<System>(), System::Device);
        QCOMPARE(quint8(failed.at(0).at(1).value<System>()), quint8(1));
        QCOMPARE(failed.at(0).at(2).toBool(), true);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!command.isRunning());
        QCOMPARE(mLog->linesWith(QStringLiteral("Error in")),
                 QStringList{QStringLiteral("[debug] [main] Error in 12ProbeCommand")});
    }

    void precondition_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<bool>("passes");
        QTest::newRow("zero address") << QStringLiteral("ZEB") << Address::Bytes{0, 0, 0, 0, 0} << false;
        QTest::newRow("nothing recorded") << QStringLiteral("-") << Address::Bytes{0, 0, 0, 0, 0} << false;
        QTest::newRow("boot loader") << QStringLiteral("Bootloader") << Address::Bytes{0, 0, 0, 0, 0} << true;
        QTest::newRow("vendor byte") << QStringLiteral("-") << Address::Bytes{1, 0, 0, 0, 0} << true;
        QTest::newRow("sub-device byte") << QStringLiteral("-") << Address::Bytes{0, 0, 0, 0, 2} << true;
    }

    void precondition()
    {
        QFETCH(QString, name);
        QFETCH(Address::Bytes, address);
        QFETCH(bool, passes);
        mContext.connectedDevice.Name = name;
        mContext.connectedDevice.address = Address(address);
        ProbeCommand command(mContext, *mService);
        QSignalSpy progress(&command, &ProbeCommand::progressUpdated);
        QSignalSpy failed(&command, &ProbeCommand::errorOccurred);

        command.execute();

        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.at(0), (QVariantList{0U, QStringLiteral("Probing")}));
        QCOMPARE(command.isRunning(), passes);
        if (passes) {
            QCOMPARE(failed.count(), 0);
            QCOMPARE(mService->callNames(), QStringList{QStringLiteral("resetToFactoryDefaults")});
        } else {
            QCOMPARE(failed.count(), 1);
            QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("No device connected"));
            QCOMPARE(failed.at(0).at(1).value<System>(), System::Device);
            QCOMPARE(failed.at(0).at(2).toBool(), true);
            QVERIFY(mService->calls().isEmpty());
        }
    }

    void executeWhileRunning_isIgnored()
    {
        ProbeCommand command(mContext, *mService);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        command.execute();
        command.execute();
        QVERIFY(finished.wait(5000));
        QTest::qWait(20);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(mService->calls().size(), 1);
        QCOMPARE(mLog->linesWith(QStringLiteral("Executing")).size(), 1);
    }

    void idleCommand_canBeExecutedAgain()
    {
        ProbeCommand command(mContext, *mService);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        command.execute();
        QVERIFY(finished.wait(5000));
        command.execute();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.count(), 2);
        QCOMPARE(mService->calls().size(), 2);
    }

    void cancel_isSilentAndIgnoresTheLateReply()
    {
        ProbeCommand command(mContext, *mService);
        QSignalSpy progress(&command, &ProbeCommand::progressUpdated);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        QSignalSpy failed(&command, &ProbeCommand::errorOccurred);
        command.execute();
        command.cancel();
        QVERIFY(!command.isRunning());
        // The fake answers from the event loop, after the cancel.
        QTest::qWait(50);
        QCOMPARE(progress.count(), 1);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(mLog->linesWith(QStringLiteral("Canceling")),
                 QStringList{QStringLiteral("[debug] [main] Canceling 12ProbeCommand")});
    }

    void replyQueuedBeforeCancel_doesNotEndALaterRun()
    {
        mService->setReply(QStringLiteral("resetToFactoryDefaults"), FakeDeviceService::Reply::Silent);
        ProbeCommand command(mContext, *mService);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        QSignalSpy failed(&command, &ProbeCommand::errorOccurred);
        command.execute();
        emit mService->error(QStringLiteral("late"));
        QCOMPARE(failed.count(), 1);
        // After the end the command hears nothing more from the service.
        emit mService->successResetToFactoryDefaults();
        emit mService->warning(QStringLiteral("late warning"));
        QCOMPARE(finished.count(), 0);
    }

    void cancelAndStopWhileIdle_doNothing()
    {
        ProbeCommand command(mContext, *mService);
        command.cancel();
        command.stop();
        QCOMPARE(command.stops, 0);
        QVERIFY(mLog->lines().isEmpty());
    }

    void stop_letsTheOperationEnd()
    {
        ProbeCommand command(mContext, *mService);
        QSignalSpy finished(&command, &ProbeCommand::finished);
        command.execute();
        command.stop();
        QCOMPARE(command.stops, 1);
        QVERIFY(command.isRunning());
        QVERIFY(finished.wait(5000));
        QCOMPARE(mLog->linesWith(QStringLiteral("Stopping")),
                 QStringList{QStringLiteral("[debug] [main] Stopping 12ProbeCommand")});
    }

    void warning_isForwarded()
    {
        mService->setReply(QStringLiteral("resetToFactoryDefaults"), FakeDeviceService::Reply::Silent);
        ProbeCommand command(mContext, *mService);
        QSignalSpy warnings(&command, &ProbeCommand::warningOccurred);
        command.execute();
        emit mService->warning(QStringLiteral("Device status: 0x80 (Error)"));
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.at(0).at(0).toString(), QStringLiteral("Device status: 0x80 (Error)"));
        command.cancel();
    }

    void runningCommandDestroyed_isCancelledInItsOwnName()
    {
        mService->setReply(QStringLiteral("resetToFactoryDefaults"), FakeDeviceService::Reply::Silent);
        auto command = std::make_unique<ProbeCommand>(mContext, *mService);
        QSignalSpy finished(command.get(), &ProbeCommand::finished);
        QSignalSpy failed(command.get(), &ProbeCommand::errorOccurred);
        command->execute();
        command.reset();
        QCOMPARE(mLog->linesWith(QStringLiteral("Canceling")),
                 QStringList{QStringLiteral(
                     "[debug] [main] Canceling N3Thg4Tilo10Components28SimpleConnectedDeviceCommandE")});
        // Nothing of the service reaches the destroyed command.
        emit mService->successResetToFactoryDefaults();
        emit mService->error(QStringLiteral("gone"));
    }

    void idleCommandDestroyed_logsNothing()
    {
        auto command = std::make_unique<ProbeCommand>(mContext, *mService);
        command.reset();
        QVERIFY(mLog->lines().isEmpty());
    }

    void rootCommand_hasDepthZero()
    {
        ProbeCommand command(mContext, *mService);
        QCOMPARE(command.getDepth(true), std::uint8_t(1));
        QVERIFY(command.getParentCommand() == nullptr);
        QCOMPARE(command.getCount(), 1U);
        QVERIFY(command.hasDetailedProgress());
    }
};

QTEST_GUILESS_MAIN(TestCommand)
#include "tst_command.moc"
