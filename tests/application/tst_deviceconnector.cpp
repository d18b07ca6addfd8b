#include "application/components/DeviceConnector.h"
#include "application/components/System.h"

#include "tests/support/FakeDeviceService.h"
#include "tests/support/LogRecorder.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Components::DeviceConnector;
using Thg::Tilo::Components::DeviceContext;

Q_DECLARE_METATYPE(Address::Bytes)

namespace {

const Address::Bytes zebAddress{19, 0, 4, 0, 1};

Device foundDevice(const Address::Bytes &address)
{
    Device device;
    device.Name = QStringLiteral("ZEB");
    device.Version = QStringLiteral("V02.11");
    device.SubVersion = QStringLiteral("V02.00");
    device.address = Address(address);
    return device;
}

Comport port(const char *name)
{
    Comport p;
    p.Number = QString::fromLatin1(name);
    return p;
}

} // namespace

class TestDeviceConnector : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogRecorder> mLog;
    std::unique_ptr<FakeDeviceService> mService;
    std::unique_ptr<DeviceContext> mContext;
    std::unique_ptr<DeviceConnector> mConnector;

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
        mService->setFoundDevice(foundDevice(zebAddress));
        mContext = std::make_unique<DeviceContext>();
        mContext->selectedDevice.identity = Thg::Tilo::Device::Identity::M7Q4_ZEB;
        auto &interface = mContext->selectedDevice.traits.interface;
        interface.address = zebAddress;
        interface.startUpMs = 3000;
        interface.powerDownMs = 250;
        interface.halfDuplex = true;
        mConnector = std::make_unique<DeviceConnector>(*mContext, *mService);
    }

    void cleanup()
    {
        mConnector.reset();
        mService.reset();
        mContext.reset();
        mLog.reset();
    }

    void expectedDevice_isConnected()
    {
        mContext->connectedPort.Manufacturer = QStringLiteral("FTDI");
        mContext->connectedPort.Vid = 0x0403;
        QSignalSpy connected(mConnector.get(), &DeviceConnector::deviceConnected);
        QSignalSpy progress(mConnector.get(), &DeviceConnector::progressUpdated);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(mConnector->isBusy());
        QVERIFY(connected.wait(5000));

        QVERIFY(!mConnector->isBusy());
        QCOMPARE(connected.at(0).at(0).value<Device>(), foundDevice(zebAddress));
        QCOMPARE(mContext->connectedDevice, foundDevice(zebAddress));
        QVERIFY(mConnector->isTargetConnected());
        // The port is prepared from the description's interface; the scanner's data stays.
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("start")});
        const FakeDeviceService::Call &start = mService->calls().first();
        QCOMPARE(start.comport.Number, QStringLiteral("/dev/ttyZEB"));
        QCOMPARE(start.comport.Startup, std::uint16_t(3000));
        QCOMPARE(start.comport.PowerDown, std::uint16_t(250));
        QCOMPARE(start.comport.HalfDuplex, true);
        QCOMPARE(start.comport.Manufacturer, QStringLiteral("FTDI"));
        QCOMPARE(start.comport.Vid, std::uint16_t(0x0403));
        QVERIFY(start.flag);
        QCOMPARE(mContext->connectedPort, start.comport);
        QCOMPARE(progress.count(), 3);
        QCOMPARE(progress.at(0), (QVariantList{QVariant::fromValue(std::uint8_t(0)), QStringLiteral("Connecting to device")}));
        QCOMPARE(progress.at(2).at(0).value<std::uint8_t>(), std::uint8_t(100));
    }

    void unexpectedDevice_isRestartedDisconnectedAndReported_data()
    {
        QTest::addColumn<Address::Bytes>("address");
        QTest::newRow("vendor byte differs") << Address::Bytes{20, 0, 4, 0, 1};
        QTest::newRow("device id differs") << Address::Bytes{19, 0, 5, 0, 1};
        QTest::newRow("sub-device id differs") << Address::Bytes{19, 0, 4, 1, 1};
        QTest::newRow("no sub-device") << Address::Bytes{19, 0, 4, 0, 0};
    }

    void unexpectedDevice_isRestartedDisconnectedAndReported()
    {
        QFETCH(Address::Bytes, address);
        mService->setFoundDevice(foundDevice(address));
        QSignalSpy connected(mConnector.get(), &DeviceConnector::deviceConnected);
        QSignalSpy unexpected(mConnector.get(), &DeviceConnector::unexpectedDeviceConnected);
        QSignalSpy disconnected(mConnector.get(), &DeviceConnector::targetDisconnected);
        QSignalSpy failed(mConnector.get(), &DeviceConnector::errorOccurred);
        QSignalSpy progress(mConnector.get(), &DeviceConnector::progressUpdated);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(unexpected.wait(5000));
        QCOMPARE(unexpected.at(0).at(0).value<Device>(), foundDevice(address));
        // Busy until the device has been restarted and the port closed.
        QVERIFY(mConnector->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!mConnector->isBusy(), 5000);

        QCOMPARE(mService->callNames(), (QStringList{QStringLiteral("start"), QStringLiteral("restartDevice"),
                                                     QStringLiteral("abort")}));
        QCOMPARE(mService->calls().at(1).device, foundDevice(address));
        QCOMPARE(connected.count(), 0);
        QCOMPARE(disconnected.count(), 0);
        QCOMPARE(failed.count(), 0);
        const int connectProgress = 3;
        QCOMPARE(progress.count(), connectProgress);
        QCOMPARE(mContext->connectedDevice, Device());
        QCOMPARE(mContext->connectedPort, Comport());
        QVERIFY(!mConnector->isTargetConnected());
    }

    void unexpectedDevice_whoseRestartFails_isStillForgotten()
    {
        mService->setFoundDevice(foundDevice({19, 0, 9, 0, 1}));
        mService->setReply(QStringLiteral("restartDevice"), FakeDeviceService::Reply::Fail, QStringLiteral("Timeout"));
        QSignalSpy failed(mConnector.get(), &DeviceConnector::errorOccurred);
        QSignalSpy unexpected(mConnector.get(), &DeviceConnector::unexpectedDeviceConnected);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(unexpected.wait(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!mConnector->isBusy(), 5000);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(mContext->connectedDevice, Device());
        QCOMPARE(mService->callNames(), (QStringList{QStringLiteral("start"), QStringLiteral("restartDevice")}));
    }

    void secondConnectTarget_whileConnecting_doesNothing()
    {
        mService->setReply(QStringLiteral("start"), FakeDeviceService::Reply::Silent);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        mConnector->connectTarget(QStringLiteral("/dev/ttyOther"));
        QTest::qWait(20);
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("start")});
        QCOMPARE(mContext->connectedPort.Number, QStringLiteral("/dev/ttyZEB"));
    }

    void connectTarget_whileConnected_doesNothing()
    {
        mContext->connectedDevice = foundDevice(zebAddress);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(!mConnector->isBusy());
        QTest::qWait(20);
        QVERIFY(mService->calls().isEmpty());
    }

    void noDescriptionSelected_endsAtOnce()
    {
        mContext->selectedDevice.identity = Thg::Tilo::Device::Identity::Unknown;
        QSignalSpy failed(mConnector.get(), &DeviceConnector::errorOccurred);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("No device has been selected"));
        QVERIFY(!mConnector->isBusy());
        QTest::qWait(20);
        QVERIFY(mService->calls().isEmpty());
    }

    void failedConnection_resetsTheContext_andCanBeRetried()
    {
        mService->setReply(QStringLiteral("start"), FakeDeviceService::Reply::Fail,
                           QStringLiteral("Could not open com port"));
        QSignalSpy failed(mConnector.get(), &DeviceConnector::errorOccurred);
        QSignalSpy connected(mConnector.get(), &DeviceConnector::deviceConnected);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("Could not open com port"));
        QVERIFY(!mConnector->isBusy());
        QCOMPARE(mContext->connectedPort, Comport());
        QCOMPARE(mContext->connectedDevice, Device());

        mService->setReply(QStringLiteral("start"), FakeDeviceService::Reply::Succeed);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(connected.wait(5000));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(mService->callNames(), (QStringList{QStringLiteral("start"), QStringLiteral("start")}));
    }

    void disconnectTarget_withNotify_reportsProgressAndTheEnd()
    {
        mContext->connectedDevice = foundDevice(zebAddress);
        QSignalSpy disconnected(mConnector.get(), &DeviceConnector::targetDisconnected);
        QSignalSpy progress(mConnector.get(), &DeviceConnector::progressUpdated);
        mConnector->doDisconnectTarget(true);
        QVERIFY(disconnected.wait(5000));
        QCOMPARE(mService->callNames(), (QStringList{QStringLiteral("restartDevice"), QStringLiteral("abort")}));
        QCOMPARE(progress.count(), 3);
        QCOMPARE(progress.at(0), (QVariantList{QVariant::fromValue(std::uint8_t(0)), QStringLiteral("Restarting device")}));
        QCOMPARE(progress.at(1), (QVariantList{QVariant::fromValue(std::uint8_t(1)), QStringLiteral("Disconnecting from device")}));
        QCOMPARE(progress.at(2), (QVariantList{QVariant::fromValue(std::uint8_t(2)), QStringLiteral("Disconnecting from device")}));
    }

    void disconnectTarget_withNotify_passesAnErrorOn()
    {
        mContext->connectedDevice = foundDevice(zebAddress);
        mService->setReply(QStringLiteral("restartDevice"), FakeDeviceService::Reply::Fail, QStringLiteral("Timeout"));
        QSignalSpy failed(mConnector.get(), &DeviceConnector::errorOccurred);
        mConnector->doDisconnectTarget(true);
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("Timeout"));
        QCOMPARE(mContext->connectedDevice, Device());
    }

    void updatePorts_data()
    {
        QTest::addColumn<bool>("updatesEnabled");
        QTest::addColumn<bool>("portLossCheck");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("portListed");
        QTest::addColumn<bool>("passedOn");
        QTest::addColumn<bool>("lost");
        QTest::newRow("as the program runs") << true << false << true << false << true << false;
        QTest::newRow("updates disabled") << false << true << true << false << false << false;
        QTest::newRow("loss check, port gone") << true << true << true << false << true << true;
        QTest::newRow("loss check, port still there") << true << true << true << true << true << false;
        QTest::newRow("loss check, nothing connected") << true << true << false << false << true << false;
    }

    void updatePorts()
    {
        QFETCH(bool, updatesEnabled);
        QFETCH(bool, portLossCheck);
        QFETCH(bool, connected);
        QFETCH(bool, portListed);
        QFETCH(bool, passedOn);
        QFETCH(bool, lost);
        QVERIFY(mConnector->areUpdatesEnabled());
        QVERIFY(!mConnector->hasPortLossCheck());
        mConnector->setUpdatesEnabled(updatesEnabled);
        mConnector->setPortLossCheck(portLossCheck);
        mContext->connectedPort.Number = QStringLiteral("/dev/ttyZEB");
        if (connected)
            mContext->connectedDevice = foundDevice(zebAddress);
        QList<Comport> ports{port("/dev/ttyS0")};
        if (portListed)
            ports << port("/dev/ttyZEB");
        QSignalSpy changed(mConnector.get(), &DeviceConnector::portsChanged);
        QSignalSpy disconnected(mConnector.get(), &DeviceConnector::targetDisconnected);

        mConnector->updatePorts(ports);

        QCOMPARE(changed.count(), passedOn ? 1 : 0);
        if (passedOn)
            QCOMPARE(changed.at(0).at(0).value<QList<Comport>>(), ports);
        QCOMPARE(disconnected.count(), lost ? 1 : 0);
        QCOMPARE(mConnector->isTargetConnected(), connected && !lost);
        QCOMPARE(mLog->linesWith(QStringLiteral("Target was disconnected")).size(), lost ? 1 : 0);
    }

    void destroyedWhileConnecting_cancelsTheCommand()
    {
        mService->setReply(QStringLiteral("start"), FakeDeviceService::Reply::Silent);
        QSignalSpy failed(mConnector.get(), &DeviceConnector::errorOccurred);
        mConnector->connectTarget(QStringLiteral("/dev/ttyZEB"));
        mConnector.reset();
        QCOMPARE(mLog->linesWith(QStringLiteral("Canceling")).size(), 1);
        // A late answer reaches nothing.
        emit mService->foundDevice(foundDevice(zebAddress));
        emit mService->error(QStringLiteral("late"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceConnector)
#include "tst_deviceconnector.moc"
