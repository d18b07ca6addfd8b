#include "application/components/CompositeCommand.h"
#include "application/components/DeviceConnector.h"
#include "application/components/ParameterizeCommand.h"

#include "tests/application/BuiltinData.h"
#include "tests/support/FakeDeviceService.h"
#include "tests/support/LogRecorder.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Components::Command;
using Thg::Tilo::Components::CompositeCommand;
using Thg::Tilo::Components::DeviceWithSettingsContext;
using Thg::Tilo::Components::ParameterizeCommand;
using Thg::Tilo::Components::System;
using Thg::Tilo::Device::DataType;
using Thg::Tilo::Device::Parameter;
using Thg::Tilo::Device::ParameterSetting;
using Thg::Tilo::Device::Value;
using Thg::Tilo::Device::Version;

Q_DECLARE_METATYPE(Address::Bytes)

namespace {

const Address::Bytes zebAddress{19, 0, 4, 0, 1};

Device zebDevice()
{
    Device device;
    device.Name = QStringLiteral("M7Q4-ZEB");
    device.Version = QStringLiteral("V02.11");
    device.SubVersion = QStringLiteral("V02.00");
    device.address = Address(zebAddress);
    return device;
}

QStringList names(const std::vector<Parameter> &parameters)
{
    QStringList result;
    for (const Parameter &parameter : parameters)
        result << QString::fromStdString(parameter.name);
    return result;
}

ParameterSetting setting(const std::string &name, DataType type, std::uint64_t number)
{
    ParameterSetting s;
    s.name = name;
    s.type = type;
    s.value.type = type;
    s.value.data = number;
    return s;
}

const QStringList waterSubdevice{QStringLiteral("Curve[1].L"), QStringLiteral("Curve[1][0]"),
                                 QStringLiteral("Curve[1][1]"), QStringLiteral("ufoSettings.pair[11].VALUE"),
                                 QStringLiteral("ufoSettings.pair[12].VALUE")};

} // namespace

class TestParameterizeCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogRecorder> mLog;
    std::unique_ptr<FakeDeviceService> mService;
    std::unique_ptr<DeviceWithSettingsContext> mContext;

    auto &subdeviceSettings() { return mContext->deviceSettings.subdeviceParameterSets.at(Version("V02.00")).parameters; }

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
        QCOMPARE(BuiltinData::description().identity, Thg::Tilo::Device::Identity::M7Q4_ZEB);
    }

    void init()
    {
        mLog = std::make_unique<LogRecorder>();
        mService = std::make_unique<FakeDeviceService>();
        mContext = std::make_unique<DeviceWithSettingsContext>();
        mContext->selectedDevice = BuiltinData::description();
        mContext->deviceSettings = BuiltinData::medium("001 ZEB_Water");
        mContext->connectedPort.Number = QStringLiteral("/dev/ttyZEB");
        mContext->connectedDevice = zebDevice();
    }

    void cleanup()
    {
        mService.reset();
        mContext.reset();
        mLog.reset();
    }

    void water_isWrittenStoredRestartedAndDisconnected()
    {
        ParameterizeCommand command(*mContext, *mService);
        QCOMPARE(command.getDescription(), QStringLiteral("Parameterizing"));
        QCOMPARE(command.getCount(), 1U);
        QVERIFY(command.hasDetailedProgress());
        QSignalSpy progress(&command, &Command::progressUpdated);
        QSignalSpy finished(&command, &Command::finished);
        QSignalSpy failed(&command, &Command::errorOccurred);
        QSignalSpy warnings(&command, &Command::warningOccurred);

        command.execute();
        QVERIFY(command.getInnerCommand());
        QCOMPARE(command.getInnerCommand()->getCount(), 4U);
        QVERIFY(finished.wait(10000));

        QCOMPARE(failed.count(), 0);
        QCOMPARE(warnings.count(), 0);
        QCOMPARE(mService->callNames(),
                 (QStringList{QStringLiteral("write"), QStringLiteral("setCurrentAsFactoryDefaults"),
                              QStringLiteral("restartDevice"), QStringLiteral("abort")}));
        const FakeDeviceService::Call &write = mService->calls().at(0);
        QCOMPARE(write.device, zebDevice());
        QVERIFY(write.flag);
        QCOMPARE(names(write.deviceParameters), QStringList{QStringLiteral("ProductVariantName")});
        QCOMPARE(write.deviceParameters.at(0).currentValue.toString(), std::string("001 ZEB WATER"));
        QCOMPARE(write.deviceParameters.at(0).address, std::uint16_t(16));
        QCOMPARE(names(write.subdeviceParameters), waterSubdevice);
        QCOMPARE(write.subdeviceParameters.at(0).currentValue.toString(), std::string("9"));
        QCOMPARE(mService->calls().at(1).type, Address::Type::Device);
        QCOMPARE(mService->calls().at(2).type, Address::Type::Device);
        QCOMPARE(mContext->connectedDevice, Device());

        // Detailed progress: the bar restarts for every child.
        QStringList seen;
        for (const QList<QVariant> &args : progress)
            seen << QStringLiteral("%1 %2").arg(args.at(0).toUInt()).arg(args.at(1).toString());
        // The composite's own start and its first child's start both report 0.
        QCOMPARE(seen, (QStringList{QStringLiteral("0 Parameterizing"), QStringLiteral("0 Writing parameters"),
                                    QStringLiteral("0 Writing parameters"),
                                    QStringLiteral("50 Writing parameters"), QStringLiteral("100 Writing parameters"),
                                    QStringLiteral("0 Setting parameters as factory defaults"),
                                    QStringLiteral("50 Setting parameters as factory defaults"),
                                    QStringLiteral("100 Setting parameters as factory defaults"),
                                    QStringLiteral("0 Restarting device"), QStringLiteral("50 Restarting device"),
                                    QStringLiteral("100 Restarting device"), QStringLiteral("0 Disconnecting from device"),
                                    QStringLiteral("50 Disconnecting from device"),
                                    QStringLiteral("100 Disconnecting from device")}));
        // The composite goes once the run has ended.
        QPointer<CompositeCommand> inner = command.getInnerCommand();
        QVERIFY(!inner);
    }

    void buildError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("message");

        QTest::newRow("no device or sub-device id")
            << QStringLiteral("M7Q4-ZEB") << QStringLiteral("V02.11") << Address::Bytes{19, 0, 0, 0, 0} << 0
            << QStringLiteral("No parameters found for the connected device and version.");
        QTest::newRow("no version of the media file")
            << QStringLiteral("M7Q4-ZEB") << QStringLiteral("V03.00") << Address::Bytes{19, 0, 4, 0, 0} << 0
            << QStringLiteral("No parameters found for the connected device and version.");
        QTest::newRow("boot loader reports no version")
            << QStringLiteral("Bootloader") << QStringLiteral("-") << Address::Bytes{0, 0, 0, 0, 0} << 0
            << QStringLiteral("Version '-' must match V[0-9][1-9].[0-9]{2}");
        QTest::newRow("name the description lacks")
            << QStringLiteral("M7Q4-ZEB") << QStringLiteral("V02.11") << zebAddress << 1
            << QStringLiteral("Parameter NoSuchParameter not found");
        QTest::newRow("two invalid values")
            << QStringLiteral("M7Q4-ZEB") << QStringLiteral("V02.11") << zebAddress << 2
            << QStringLiteral("Value for parameter Curve[1].L is invalid: Value is too big: Maximum: 11 Actual: 12\n"
                              "Value for parameter ufoSettings.pair[11].VALUE is invalid: Types must match: "
                              "Expected: DBYTEU16 Actual: DFLOAT64");
    }

    void buildError()
    {
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(Address::Bytes, address);
        QFETCH(int, change);
        QFETCH(QString, message);
        mContext->connectedDevice.Name = name;
        mContext->connectedDevice.Version = version;
        mContext->connectedDevice.address = Address(address);
        if (change == 1) {
            subdeviceSettings().emplace("NoSuchParameter", setting("NoSuchParameter", DataType::DBYTEU16, 1));
        } else if (change == 2) {
            subdeviceSettings()["Curve[1].L"] = setting("Curve[1].L", DataType::DBYTEU16, 12);
            subdeviceSettings()["ufoSettings.pair[11].VALUE"] =
                setting("ufoSettings.pair[11].VALUE", DataType::DFLOAT64, 3);
        }
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy failed(&command, &Command::errorOccurred);
        QSignalSpy finished(&command, &Command::finished);

        command.execute();

        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0), (QVariantList{message, QVariant::fromValue(System::Device), false}));
        QVERIFY(!command.isRunning());
        QVERIFY(!command.getInnerCommand());
        // Nothing was written, and the open port is closed so that the next run can connect.
        QTRY_COMPARE_WITH_TIMEOUT(mService->callNames(), QStringList{QStringLiteral("abort")}, 5000);
        QCOMPARE(mContext->connectedDevice, Device());
        QCOMPARE(mContext->connectedPort.Number, QString());
        QTest::qWait(20);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(failed.count(), 1);
        if (change == 2) {
            QCOMPARE(mLog->linesWith(QStringLiteral("is invalid")),
                     (QStringList{QStringLiteral("[error] [main]  Value for parameter Curve[1].L is invalid: Value is too "
                                                 "big: Maximum: 11 Actual: 12"),
                                  QStringLiteral("[error] [main]  Value for parameter ufoSettings.pair[11].VALUE is "
                                                 "invalid: Types must match: Expected: DBYTEU16 Actual: DFLOAT64"),
                                  QStringLiteral("[error] [main]  ") + message}));
        }
    }

    void emptyPart_warnsAndGoesOn_data()
    {
        QTest::addColumn<bool>("dropDevicePart");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("deviceCount");
        QTest::addColumn<int>("subdeviceCount");
        QTest::newRow("device version missing in the media file")
            << true
            << QStringLiteral("The parameters for the connected device version are empty, only the subdevice will be "
                              "parameterized.")
            << 0 << 5;
        QTest::newRow("sub-device version missing in the media file")
            << false
            << QStringLiteral("The parameters for the connected subdevice version are empty, only the device will be "
                              "parameterized.")
            << 1 << 0;
    }

    void emptyPart_warnsAndGoesOn()
    {
        QFETCH(bool, dropDevicePart);
        QFETCH(QString, warning);
        QFETCH(int, deviceCount);
        QFETCH(int, subdeviceCount);
        if (dropDevicePart)
            mContext->deviceSettings.deviceParameterSets.erase(Version("V02.11"));
        else
            mContext->deviceSettings.subdeviceParameterSets.clear();
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy warnings(&command, &Command::warningOccurred);
        QSignalSpy finished(&command, &Command::finished);
        command.execute();
        QVERIFY(finished.wait(10000));
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.at(0).at(0).toString(), warning);
        QCOMPARE(mLog->lines().filter(QStringLiteral("[warning]")), QStringList{QStringLiteral("[warning] [main]  ") + warning});
        const FakeDeviceService::Call &write = mService->calls().at(0);
        QCOMPARE(int(write.deviceParameters.size()), deviceCount);
        QCOMPARE(int(write.subdeviceParameters.size()), subdeviceCount);
    }

    void serviceError_isPassedOnAfterTheDeviceIsDisconnected_data()
    {
        QTest::addColumn<QString>("failingSlot");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("write") << QStringLiteral("write")
                               << QStringList{QStringLiteral("write"), QStringLiteral("abort")};
        QTest::newRow("factory defaults")
            << QStringLiteral("setCurrentAsFactoryDefaults")
            << QStringList{QStringLiteral("write"), QStringLiteral("setCurrentAsFactoryDefaults"), QStringLiteral("abort")};
        QTest::newRow("restart") << QStringLiteral("restartDevice")
                                 << QStringList{QStringLiteral("write"), QStringLiteral("setCurrentAsFactoryDefaults"),
                                                QStringLiteral("restartDevice"), QStringLiteral("abort")};
        // The last step has cleared the context itself: nothing more to do.
        QTest::newRow("disconnect") << QStringLiteral("abort")
                                    << QStringList{QStringLiteral("write"), QStringLiteral("setCurrentAsFactoryDefaults"),
                                                   QStringLiteral("restartDevice"), QStringLiteral("abort")};
    }

    void serviceError_isPassedOnAfterTheDeviceIsDisconnected()
    {
        QFETCH(QString, failingSlot);
        QFETCH(QStringList, calls);
        mService->setReply(failingSlot, FakeDeviceService::Reply::Fail, QStringLiteral("Timeout of the device"));
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy failed(&command, &Command::errorOccurred);
        QSignalSpy warnings(&command, &Command::warningOccurred);
        command.execute();
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.at(0), (QVariantList{QStringLiteral("Timeout of the device"), QVariant::fromValue(System::Device), true}));
        QCOMPARE(mContext->connectedDevice, Device());
        QTest::qWait(50);
        QCOMPARE(mService->callNames(), calls);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(warnings.count(), 0);
    }

    void failedRun_letsTheConnectorConnectAgain()
    {
        mService->setFoundDevice(zebDevice());
        Thg::Tilo::Components::DeviceConnector connector(*mContext, *mService);
        mService->setReply(QStringLiteral("write"), FakeDeviceService::Reply::Fail, QStringLiteral("Read-back differs"));
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy failed(&command, &Command::errorOccurred);
        command.execute();
        QVERIFY(failed.wait(10000));
        QVERIFY(!connector.isTargetConnected());

        QSignalSpy connected(&connector, &Thg::Tilo::Components::DeviceConnector::deviceConnected);
        connector.connectTarget(QStringLiteral("/dev/ttyZEB"));
        QVERIFY(connected.wait(5000));
        QCOMPARE(mService->callNames(),
                 (QStringList{QStringLiteral("write"), QStringLiteral("abort"), QStringLiteral("start")}));
    }

    void failedPrecondition_changesNothing()
    {
        mContext->connectedDevice = Device();
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy failed(&command, &Command::errorOccurred);
        command.execute();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0), (QVariantList{QStringLiteral("No device connected"), QVariant::fromValue(System::Device), true}));
        QTest::qWait(20);
        QVERIFY(mService->calls().isEmpty());
    }

    void cancel_changesNothingMore()
    {
        mService->setReply(QStringLiteral("write"), FakeDeviceService::Reply::Silent);
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy failed(&command, &Command::errorOccurred);
        QSignalSpy finished(&command, &Command::finished);
        command.execute();
        QTRY_COMPARE_WITH_TIMEOUT(mService->callNames(), QStringList{QStringLiteral("write")}, 5000);
        command.cancel();
        QVERIFY(!command.isRunning());
        emit mService->successWriting();
        QTest::qWait(50);
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("write")});
        QCOMPARE(failed.count(), 0);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(mContext->connectedDevice, zebDevice());
    }

    void stop_endsAfterTheCurrentStep()
    {
        mService->setReply(QStringLiteral("write"), FakeDeviceService::Reply::Silent);
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy finished(&command, &Command::finished);
        command.execute();
        QTRY_COMPARE_WITH_TIMEOUT(mService->callNames(), QStringList{QStringLiteral("write")}, 5000);
        command.stop();
        QVERIFY(command.isRunning());
        emit mService->successWriting();
        QCOMPARE(finished.count(), 1);
        QTest::qWait(50);
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("write")});
        QCOMPARE(mLog->linesWith(QStringLiteral("Stopping")),
                 (QStringList{QStringLiteral("[debug] [main] Stopping N3Thg4Tilo10Components19ParameterizeCommandE"),
                              QStringLiteral("[debug] [main]   Stopping N3Thg4Tilo10Components16CompositeCommandE"),
                              QStringLiteral("[debug] [main]     Stopping N3Thg4Tilo10Components22WriteParametersCommandE")}));
    }

    void serialNumber_data()
    {
        QTest::addColumn<QString>("serialNumber");
        QTest::addColumn<QStringList>("descriptions");
        QTest::addColumn<QString>("warning");
        const QString write = QStringLiteral("Writing parameters");
        const QString factory = QStringLiteral("Setting parameters as factory defaults");
        const QString restart = QStringLiteral("Restarting device");
        const QString disconnect = QStringLiteral("Disconnecting from device");
        QTest::newRow("none") << QString() << QStringList{write, factory, restart, disconnect} << QString();
        QTest::newRow("fits") << QStringLiteral("ZEB-0042")
                              << QStringList{write, QStringLiteral("Writing serial number"), factory, restart, disconnect}
                              << QString();
        QTest::newRow("too long") << QStringLiteral("12345678901234567")
                                  << QStringList{write, factory, restart, disconnect}
                                  << QStringLiteral("Ignoring serial number: Value is invalid: Length is too big: "
                                                    "Maximum: 16 Actual: 17");
    }

    void serialNumber()
    {
        QFETCH(QString, serialNumber);
        QFETCH(QStringList, descriptions);
        QFETCH(QString, warning);
        ParameterizeCommand command(*mContext, *mService);
        QVERIFY(QMetaObject::invokeMethod(&command, "setSerialNumber", Q_ARG(QString, serialNumber)));
        QCOMPARE(command.getSerialNumber(), serialNumber);
        QSignalSpy warnings(&command, &Command::warningOccurred);
        QSignalSpy finished(&command, &Command::finished);
        command.execute();
        QStringList seen;
        for (Command *child : command.getInnerCommand()->getCommands())
            seen << child->getDescription();
        QCOMPARE(seen, descriptions);
        QCOMPARE(warnings.count(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QCOMPARE(warnings.at(0).at(0).toString(), warning);
        QVERIFY(finished.wait(10000));
        if (descriptions.size() == 5) {
            const FakeDeviceService::Call &serial = mService->calls().at(1);
            QCOMPARE(serial.slot, QStringLiteral("write"));
            QCOMPARE(names(serial.deviceParameters), QStringList{QStringLiteral("SerialNumber")});
            QCOMPARE(serial.deviceParameters.at(0).currentValue.toString(), serialNumber.toStdString());
            QVERIFY(serial.subdeviceParameters.empty());
        }
    }

    void serialNumber_withoutSerialNumberParameter_warns()
    {
        auto &set = mContext->selectedDevice.deviceParameterSets.at(Version("V02.11")).parameters;
        set.at("SerialNumber").tags.clear();
        ParameterizeCommand command(*mContext, *mService);
        command.setSerialNumber(QStringLiteral("ZEB-0042"));
        QSignalSpy warnings(&command, &Command::warningOccurred);
        command.execute();
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.at(0).at(0).toString(),
                 QStringLiteral("No parameter for serial number found in device description."));
        QCOMPARE(command.getInnerCommand()->getCount(), 4U);
        command.cancel();
    }

    void executeTwice_buildsAFreshComposite()
    {
        ParameterizeCommand command(*mContext, *mService);
        QSignalSpy finished(&command, &Command::finished);
        command.execute();
        QPointer<CompositeCommand> first = command.getInnerCommand();
        QVERIFY(first);
        QVERIFY(finished.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 5000);

        mContext->connectedDevice = zebDevice();
        command.execute();
        QPointer<CompositeCommand> second = command.getInnerCommand();
        QVERIFY(second);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 2);
        QCOMPARE(mService->calls().size(), 8);
    }

    void merge_withoutEitherSet_isEmpty()
    {
        ParameterizeCommand command(*mContext, *mService);
        const auto &parameters = mContext->selectedDevice.deviceParameterSets.at(Version("V02.11"));
        const auto &settings = mContext->deviceSettings.deviceParameterSets.at(Version("V02.11"));
        QVERIFY(command.mergeSettingsIntoParameters(std::nullopt, std::cref(settings)).empty());
        QVERIFY(command.mergeSettingsIntoParameters(std::cref(parameters), std::nullopt).empty());
        const auto merged = command.mergeSettingsIntoParameters(std::cref(parameters), std::cref(settings));
        QCOMPARE(names(merged), QStringList{QStringLiteral("ProductVariantName")});
        // The description itself is left as it was.
        QCOMPARE(parameters.at("ProductVariantName").currentValue.type, DataType::UNKNOWN);
    }
};

QTEST_GUILESS_MAIN(TestParameterizeCommand)
#include "tst_parameterizecommand.moc"
