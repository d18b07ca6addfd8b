#include "application/components/ConnectCommand.h"
#include "application/components/DisconnectCommand.h"
#include "application/components/ReadParametersCommand.h"
#include "application/components/RestartDeviceCommand.h"
#include "application/components/SetAsFactoryDefaultsCommand.h"
#include "application/components/WriteParametersCommand.h"

#include "tests/support/FakeDeviceService.h"
#include "tests/support/LogRecorder.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <cstring>
#include <memory>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Components::Command;
using Thg::Tilo::Components::ConnectCommand;
using Thg::Tilo::Components::ConnectedDeviceContext;
using Thg::Tilo::Components::DisconnectCommand;
using Thg::Tilo::Components::ReadParametersCommand;
using Thg::Tilo::Components::RestartDeviceCommand;
using Thg::Tilo::Components::SetAsFactoryDefaultsCommand;
using Thg::Tilo::Components::System;
using Thg::Tilo::Components::WriteParametersCommand;
using Thg::Tilo::Device::DataType;
using Thg::Tilo::Device::Parameter;
using Thg::Tilo::Device::ParameterSetting;
using Thg::Tilo::Device::Value;

Q_DECLARE_METATYPE(Address::Bytes)

namespace {

enum class Kind { Connect, Disconnect, Restart, FactoryDefaults, Write, Read };

Parameter parameter(const char *name, std::uint64_t value)
{
    Parameter p;
    p.name = name;
    p.type = DataType::DBYTEU16;
    p.length = 1;
    p.address = 0x10;
    Value v;
    v.type = DataType::DBYTEU16;
    v.data = value;
    p.currentValue = v;
    return p;
}

Parameter textParameter(const char *name, const char *text)
{
    Parameter p;
    p.name = name;
    p.type = DataType::ARRSTRING;
    p.length = 16;
    Value v;
    v.type = DataType::ARRSTRING;
    v.length = std::uint16_t(std::strlen(text));
    v.data = std::string(text);
    p.currentValue = v;
    return p;
}

Comport port(const char *name)
{
    Comport p;
    p.Number = QString::fromLatin1(name);
    return p;
}

Device device(const char *name, Address::Bytes address)
{
    Device d;
    d.Name = QString::fromLatin1(name);
    d.Version = QStringLiteral("V02.11");
    d.SubVersion = QStringLiteral("V02.00");
    d.address = Address(address);
    return d;
}

const Address::Bytes fullAddress{19, 0, 4, 0, 1};
const Address::Bytes deviceOnly{19, 0, 4, 0, 0};
const Address::Bytes subdeviceOnly{19, 0, 0, 0, 1};
const Address::Bytes zeroAddress{0, 0, 0, 0, 0};

} // namespace

class TestDeviceCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogRecorder> mLog;
    std::unique_ptr<FakeDeviceService> mService;
    ConnectedDeviceContext mContext;

    std::unique_ptr<Command> make(Kind kind)
    {
        switch (kind) {
        case Kind::Connect:
            return std::make_unique<ConnectCommand>(mContext, *mService, port("/dev/ttyZEB"), true);
        case Kind::Disconnect:
            return std::make_unique<DisconnectCommand>(mContext, *mService);
        case Kind::Restart:
            return std::make_unique<RestartDeviceCommand>(mContext, *mService);
        case Kind::FactoryDefaults:
            return std::make_unique<SetAsFactoryDefaultsCommand>(mContext, *mService);
        case Kind::Write:
            return makeTransfer<WriteParametersCommand>({parameter("Flow", 3)}, {parameter("Curve[1].L", 9)});
        case Kind::Read:
            return makeTransfer<ReadParametersCommand>({parameter("Flow", 3)}, {parameter("Curve[1].L", 9)});
        }
        return {};
    }

    // A write or read command with these lists.
    template <typename Transfer>
    std::unique_ptr<Transfer> makeTransfer(std::vector<Parameter> deviceParameters,
                                           std::vector<Parameter> subdeviceParameters)
    {
        auto command = std::make_unique<Transfer>(mContext, *mService);
        command->setDeviceParameters(std::move(deviceParameters));
        command->setSubdeviceParameters(std::move(subdeviceParameters));
        return command;
    }

    // "name type value" of each setting.
    static QStringList texts(const std::vector<ParameterSetting> &settings)
    {
        QStringList result;
        for (const ParameterSetting &setting : settings)
            result << QStringLiteral("%1 %2 %3").arg(QString::fromStdString(setting.name)).arg(int(setting.type))
                          .arg(QString::fromStdString(setting.value.toString()));
        return result;
    }

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
        mContext.connectedDevice = device("ZEB", fullAddress);
    }

    void cleanup()
    {
        mService.reset();
        mLog.reset();
    }

    void success_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("connectedBefore");
        QTest::newRow("connect") << int(Kind::Connect) << QStringLiteral("start")
                                 << QStringLiteral("Connecting to device") << false;
        QTest::newRow("disconnect") << int(Kind::Disconnect) << QStringLiteral("abort")
                                    << QStringLiteral("Disconnecting from device") << true;
        QTest::newRow("restart") << int(Kind::Restart) << QStringLiteral("restartDevice")
                                 << QStringLiteral("Restarting device") << true;
        QTest::newRow("factory defaults") << int(Kind::FactoryDefaults) << QStringLiteral("setCurrentAsFactoryDefaults")
                                          << QStringLiteral("Setting parameters as factory defaults") << true;
        QTest::newRow("write") << int(Kind::Write) << QStringLiteral("write") << QStringLiteral("Writing parameters")
                               << true;
        QTest::newRow("read") << int(Kind::Read) << QStringLiteral("read") << QStringLiteral("Reading parameters")
                              << true;
    }

    void success()
    {
        QFETCH(int, kind);
        QFETCH(QString, slot);
        QFETCH(QString, description);
        QFETCH(bool, connectedBefore);
        if (!connectedBefore)
            mContext.clearConnectedDeviceAndPort();
        const auto command = make(Kind(kind));
        QCOMPARE(command->getDescription(), description);
        QSignalSpy progress(command.get(), &Command::progressUpdated);
        QSignalSpy finished(command.get(), &Command::finished);
        QSignalSpy failed(command.get(), &Command::errorOccurred);

        command->execute();
        QVERIFY(finished.wait(5000));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(mService->callNames(), QStringList{slot});
        QCOMPARE(progress.count(), 3);
        QCOMPARE(progress.at(0), (QVariantList{0U, description}));
        QCOMPARE(progress.at(2), (QVariantList{100U, description}));
    }

    void serviceError_data() { success_data(); }

    void serviceError()
    {
        QFETCH(int, kind);
        QFETCH(QString, slot);
        QFETCH(bool, connectedBefore);
        if (!connectedBefore)
            mContext.clearConnectedDeviceAndPort();
        mService->setReply(slot, FakeDeviceService::Reply::Fail, QStringLiteral("Timeout"));
        const auto command = make(Kind(kind));
        QSignalSpy finished(command.get(), &Command::finished);
        QSignalSpy failed(command.get(), &Command::errorOccurred);
        command->execute();
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.at(0), (QVariantList{QStringLiteral("Timeout"), QVariant::fromValue(System::Device), true}));
        QCOMPARE(finished.count(), 0);
    }

    void refusal_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("connect, device recorded")
            << int(Kind::Connect) << QStringLiteral("ZEB") << fullAddress << QStringLiteral("Device already connected")
            << false;
        QTest::newRow("connect, boot loader recorded")
            << int(Kind::Connect) << QStringLiteral("Bootloader") << zeroAddress
            << QStringLiteral("Device already connected") << false;
        QTest::newRow("disconnect, no device") << int(Kind::Disconnect) << QStringLiteral("ZEB") << zeroAddress
                                               << QStringLiteral("No device connected") << true;
        QTest::newRow("restart, no device") << int(Kind::Restart) << QStringLiteral("-") << zeroAddress
                                            << QStringLiteral("No device connected") << true;
        QTest::newRow("factory defaults, no device") << int(Kind::FactoryDefaults) << QStringLiteral("-")
                                                     << zeroAddress << QStringLiteral("No device connected") << true;
        QTest::newRow("write, no device") << int(Kind::Write) << QStringLiteral("-") << zeroAddress
                                          << QStringLiteral("No device connected") << true;
        QTest::newRow("read, no device") << int(Kind::Read) << QStringLiteral("-") << zeroAddress
                                         << QStringLiteral("No device connected") << true;
    }

    void refusal()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(Address::Bytes, address);
        QFETCH(QString, message);
        QFETCH(bool, disconnected);
        mContext.connectedDevice.Name = name;
        mContext.connectedDevice.address = Address(address);
        const auto command = make(Kind(kind));
        QSignalSpy failed(command.get(), &Command::errorOccurred);
        command->execute();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0), (QVariantList{message, QVariant::fromValue(System::Device), disconnected}));
        QVERIFY(!command->isRunning());
        QTest::qWait(20);
        QVERIFY(mService->calls().isEmpty());
    }

    void writeRefusal_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<bool>("withDevice");
        QTest::addColumn<bool>("withSubdevice");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("both lists empty") << QStringLiteral("ZEB") << fullAddress << false << false
                                          << QStringLiteral("The parameters are empty.")
                                          << QStringLiteral("[error] [main]  The parameters are empty");
        QTest::newRow("device parameters, sub-device only")
            << QStringLiteral("ZEB") << subdeviceOnly << true << false
            << QStringLiteral("No device is connected but parameters are not empty.")
            << QStringLiteral("[error] [main]  No device is connected but parameters are not empty");
        QTest::newRow("both, sub-device only")
            << QStringLiteral("ZEB") << subdeviceOnly << true << true
            << QStringLiteral("No device is connected but parameters are not empty.")
            << QStringLiteral("[error] [main]  No device is connected but parameters are not empty");
        QTest::newRow("sub-device parameters, device only")
            << QStringLiteral("ZEB") << deviceOnly << false << true
            << QStringLiteral("No subdevice is connected but parameters are not empty.")
            << QStringLiteral("[error] [main]  No subdevice is connected but parameters are not empty");
        QTest::newRow("sub-device parameters, boot loader")
            << QStringLiteral("Bootloader") << zeroAddress << false << true
            << QStringLiteral("No subdevice is connected but parameters are not empty.")
            << QStringLiteral("[error] [main]  No subdevice is connected but parameters are not empty");
    }

    void writeRefusal()
    {
        QFETCH(QString, name);
        QFETCH(Address::Bytes, address);
        QFETCH(bool, withDevice);
        QFETCH(bool, withSubdevice);
        QFETCH(QString, message);
        QFETCH(QString, logLine);
        mContext.connectedDevice.Name = name;
        mContext.connectedDevice.address = Address(address);
        const auto write = makeTransfer<WriteParametersCommand>(
            withDevice ? std::vector{parameter("Flow", 3)} : std::vector<Parameter>{},
            withSubdevice ? std::vector{parameter("Curve[1].L", 9)} : std::vector<Parameter>{});
        QSignalSpy failed(write.get(), &Command::errorOccurred);
        write->execute();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0), (QVariantList{message, QVariant::fromValue(System::Device), false}));
        QVERIFY(!write->isRunning());
        QTest::qWait(20);
        // A refusal ends the command: nothing reaches the device.
        QVERIFY(mService->calls().isEmpty());
        QCOMPARE(mLog->lines().filter(QStringLiteral("[error]")), QStringList{logLine});
    }

    void writeSent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<bool>("withDevice");
        QTest::addColumn<bool>("withSubdevice");
        QTest::newRow("both, full address") << QStringLiteral("ZEB") << fullAddress << true << true;
        QTest::newRow("device parameters, device only") << QStringLiteral("ZEB") << deviceOnly << true << false;
        QTest::newRow("sub-device parameters, sub-device only") << QStringLiteral("ZEB") << subdeviceOnly << false
                                                                << true;
        QTest::newRow("device parameters, boot loader") << QStringLiteral("Bootloader") << zeroAddress << true
                                                        << false;
    }

    void writeSent()
    {
        QFETCH(QString, name);
        QFETCH(Address::Bytes, address);
        QFETCH(bool, withDevice);
        QFETCH(bool, withSubdevice);
        mContext.connectedDevice.Name = name;
        mContext.connectedDevice.address = Address(address);
        const auto write = makeTransfer<WriteParametersCommand>(
            withDevice ? std::vector{parameter("Flow", 3)} : std::vector<Parameter>{},
            withSubdevice ? std::vector{parameter("Curve[1].L", 9)} : std::vector<Parameter>{});
        QSignalSpy finished(write.get(), &Command::finished);
        write->execute();
        QVERIFY(finished.wait(5000));
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("write")});
        const FakeDeviceService::Call &call = mService->calls().first();
        QCOMPARE(call.device, mContext.connectedDevice);
        QVERIFY(call.flag);
        QCOMPARE(call.deviceParameters.size(), std::size_t(withDevice ? 1 : 0));
        QCOMPARE(call.subdeviceParameters.size(), std::size_t(withSubdevice ? 1 : 0));
    }

    void write_logsTheLists()
    {
        const auto write = makeTransfer<WriteParametersCommand>(
            {textParameter("ProductVariantName", "001 ZEB WATER"), parameter("Flow", 3)},
            {parameter("Curve[1].L", 9)});
        QSignalSpy finished(write.get(), &Command::finished);
        write->execute();
        QVERIFY(finished.wait(5000));
        QCOMPARE(mLog->lines().filter(QStringLiteral("[info]")),
                 (QStringList{QStringLiteral("[info] [main]  Writing parameters to device:"),
                              QStringLiteral("[info] [main]  ProductVariantName: 001 ZEB WATER"),
                              QStringLiteral("[info] [main]  Flow: 3"),
                              QStringLiteral("[info] [main]  Writing parameters to subdevice:"),
                              QStringLiteral("[info] [main]  Curve[1].L: 9")}));
    }

    void write_description()
    {
        WriteParametersCommand serial(mContext, *mService, QStringLiteral("Writing serial number"));
        QCOMPARE(serial.getDescription(), QStringLiteral("Writing serial number"));
        WriteParametersCommand plain(mContext, *mService, QString());
        QCOMPARE(plain.getDescription(), QStringLiteral("Writing parameters"));
    }

    void read_description()
    {
        ReadParametersCommand named(mContext, *mService, QStringLiteral("Reading serial number"));
        QCOMPARE(named.getDescription(), QStringLiteral("Reading serial number"));
        ReadParametersCommand plain(mContext, *mService, QString());
        QCOMPARE(plain.getDescription(), QStringLiteral("Reading parameters"));
    }

    // The service ends every read with successReading and then successWriting.
    void read_endsOnSuccessReadingWithTheSettingsRead()
    {
        mService->setReply(QStringLiteral("read"), FakeDeviceService::Reply::Silent);
        const auto read = makeTransfer<ReadParametersCommand>(
            {textParameter("ProductVariantName", "001 ZEB WATER"), parameter("Flow", 3)},
            {parameter("Curve[1].L", 9)});
        QSignalSpy finished(read.get(), &Command::finished);
        read->execute();
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("read")});
        const FakeDeviceService::Call &call = mService->calls().first();
        QCOMPARE(call.device, mContext.connectedDevice);
        QCOMPARE(call.deviceParameters.size(), std::size_t(2));
        QCOMPARE(call.deviceParameters.at(0).name, std::string("ProductVariantName"));
        QCOMPARE(call.subdeviceParameters.size(), std::size_t(1));

        emit mService->successWriting();
        QVERIFY(read->isRunning());
        QVERIFY(read->getDeviceSettings().empty());

        mService->answerRead();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(texts(read->getDeviceSettings()),
                 (QStringList{"ProductVariantName 7 001 ZEB WATER", "Flow 1 3"}));
        QCOMPARE(texts(read->getSubdeviceSettings()), QStringList{"Curve[1].L 1 9"});

        // A new run starts without the values of the last one.
        read->execute();
        QVERIFY(read->getDeviceSettings().empty());
        QVERIFY(read->getSubdeviceSettings().empty());
    }

    // The service reads the parameters through references on its own thread until it reports the
    // read's end, whatever became of the command meanwhile.
    void read_keepsItsParametersUntilTheServiceAnswers_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("cancelled") << QStringLiteral("cancel");
        QTest::newRow("cancelled and destroyed") << QStringLiteral("destroy");
        QTest::newRow("given other parameters") << QStringLiteral("replace");
    }

    void read_keepsItsParametersUntilTheServiceAnswers()
    {
        QFETCH(QString, meanwhile);
        mService->setReply(QStringLiteral("read"), FakeDeviceService::Reply::Silent);
        auto read = makeTransfer<ReadParametersCommand>(
            {textParameter("ProductVariantName", "001 ZEB WATER"), parameter("Flow", 3)},
            {parameter("Curve[1].L", 9)});
        QSignalSpy finished(read.get(), &Command::finished);
        QSignalSpy failed(read.get(), &Command::errorOccurred);
        QSignalSpy reading(mService.get(), &FakeDeviceService::successReading);
        read->execute();

        if (meanwhile == QLatin1String("replace")) {
            read->setDeviceParameters({parameter("Other", 7)});
            read->setSubdeviceParameters({});
        } else {
            read->cancel();
            if (meanwhile == QLatin1String("destroy"))
                read.reset();
        }
        QTest::qWait(20);
        mService->answerRead();

        QCOMPARE(reading.count(), 1);
        QCOMPARE(texts(reading.at(0).at(0).value<std::vector<ParameterSetting>>()),
                 (QStringList{"ProductVariantName 7 001 ZEB WATER", "Flow 1 3"}));
        QCOMPARE(texts(reading.at(0).at(1).value<std::vector<ParameterSetting>>()), QStringList{"Curve[1].L 1 9"});
        QCOMPARE(failed.count(), 0);
        if (read) {
            QCOMPARE(finished.count(), meanwhile == QLatin1String("replace") ? 1 : 0);
            QCOMPARE(read->getDeviceParameters().at(0).name,
                     std::string(meanwhile == QLatin1String("replace") ? "Other" : "ProductVariantName"));
        }
    }

    void systemCommandAddressType_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<Address::Type>("type");
        for (const Kind kind : {Kind::Restart, Kind::FactoryDefaults}) {
            const char *label = kind == Kind::Restart ? "restart" : "factory defaults";
            QTest::addRow("%s, device and sub-device", label) << int(kind) << QStringLiteral("ZEB") << fullAddress
                                                              << Address::Type::Device;
            QTest::addRow("%s, device only", label) << int(kind) << QStringLiteral("ZEB") << deviceOnly
                                                    << Address::Type::Device;
            QTest::addRow("%s, sub-device only", label) << int(kind) << QStringLiteral("ZEB") << subdeviceOnly
                                                        << Address::Type::None;
            QTest::addRow("%s, boot loader", label) << int(kind) << QStringLiteral("Bootloader") << zeroAddress
                                                    << Address::Type::None;
        }
    }

    void systemCommandAddressType()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(Address::Bytes, address);
        QFETCH(Address::Type, type);
        mContext.connectedDevice.Name = name;
        mContext.connectedDevice.address = Address(address);
        const auto command = make(Kind(kind));
        QSignalSpy finished(command.get(), &Command::finished);
        command->execute();
        QVERIFY(finished.wait(5000));
        QCOMPARE(mService->calls().size(), 1);
        QCOMPARE(mService->calls().first().type, type);
        QCOMPARE(mService->calls().first().device, mContext.connectedDevice);
    }

    void connect_reportsTheDeviceBeforeFinishing()
    {
        mContext.clearConnectedDeviceAndPort();
        const Device found = device("ZEB", fullAddress);
        mService->setFoundDevice(found);
        Comport port = ::port("/dev/ttyZEB");
        port.HalfDuplex = true;
        port.Startup = 3000;
        port.PowerDown = 250;
        ConnectCommand command(mContext, *mService, port, true);
        QStringList order;
        Device reported;
        connect(&command, &ConnectCommand::deviceFound, this, [&](const Device &d) {
            order << QStringLiteral("deviceFound");
            reported = d;
        });
        connect(&command, &Command::finished, this, [&] { order << QStringLiteral("finished"); });
        command.execute();
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 5000);
        QCOMPARE(order, (QStringList{QStringLiteral("deviceFound"), QStringLiteral("finished")}));
        QCOMPARE(reported, found);
        const FakeDeviceService::Call &call = mService->calls().first();
        QCOMPARE(call.comport, port);
        QVERIFY(call.flag);
        // Recording the device is the connector's business.
        QCOMPARE(mContext.connectedDevice, Device());
    }

    // The service lives on another thread: what it emitted before the device was found is still
    // on its way when deviceFound is handled, and a receiver may run a nested event loop there (a
    // message box does).
    void connect_hearsNothingOfTheServiceOnceTheDeviceIsFound_data()
    {
        QTest::addColumn<bool>("queuedBeforeTheDevice");
        QTest::newRow("emitted before the device was found, delivered while it is handled") << true;
        QTest::newRow("emitted while the device is handled") << false;
    }

    void connect_hearsNothingOfTheServiceOnceTheDeviceIsFound()
    {
        QFETCH(bool, queuedBeforeTheDevice);
        mContext.clearConnectedDeviceAndPort();
        mService->setReply(QStringLiteral("start"), FakeDeviceService::Reply::Silent);
        ConnectCommand command(mContext, *mService, port("/dev/ttyZEB"), true);
        QStringList order;
        connect(&command, &Command::progressUpdated, this,
                [&](std::uint32_t progress) { order << QStringLiteral("progress %1").arg(progress); });
        connect(&command, &Command::warningOccurred, this, [&] { order << QStringLiteral("warningOccurred"); });
        connect(&command, &Command::errorOccurred, this, [&] { order << QStringLiteral("errorOccurred"); });
        connect(&command, &Command::finished, this, [&] { order << QStringLiteral("finished"); });
        const auto fromTheService = [this] {
            emit mService->progress(60);
            emit mService->warning(QStringLiteral("Device status: 0x1 (late)"));
            emit mService->error(QStringLiteral("Device didn`t respond -> timeout! !"));
        };
        connect(&command, &ConnectCommand::deviceFound, this, [&] {
            order << QStringLiteral("deviceFound");
            if (!queuedBeforeTheDevice)
                fromTheService();
            QTest::qWait(20);
        });
        command.execute();

        // Emitted on another thread, so each reaches the command queued, in this order.
        std::unique_ptr<QThread> emitter(QThread::create([&] {
            emit mService->foundDevice(device("ZEB", fullAddress));
            if (queuedBeforeTheDevice)
                fromTheService();
        }));
        emitter->start();
        QVERIFY(emitter->wait(5000));

        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 5000);
        QTest::qWait(50);
        QCOMPARE(order, (QStringList{"progress 0", "deviceFound", "finished"}));
        QVERIFY(!command.isRunning());
        QCOMPARE(mLog->linesWith(QStringLiteral("Finished")).size(), 1);
        QCOMPARE(mLog->linesWith(QStringLiteral("Error in")), QStringList{});
    }

    void connect_cancelledWhileTheDeviceIsHandled_endsSilently()
    {
        mContext.clearConnectedDeviceAndPort();
        ConnectCommand command(mContext, *mService, port("/dev/ttyZEB"), true);
        QSignalSpy finished(&command, &Command::finished);
        QSignalSpy failed(&command, &Command::errorOccurred);
        QSignalSpy found(&command, &ConnectCommand::deviceFound);
        connect(&command, &ConnectCommand::deviceFound, &command, &Command::cancel);
        command.execute();
        QVERIFY(found.wait(5000));
        QTest::qWait(20);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(failed.count(), 0);
        QVERIFY(!command.isRunning());
    }

    void disconnect_clearsTheContextAtOnce()
    {
        mService->setReply(QStringLiteral("abort"), FakeDeviceService::Reply::Silent);
        mContext.connectedPort.Number = QStringLiteral("/dev/ttyZEB");
        DisconnectCommand disconnect(mContext, *mService);
        QSignalSpy finished(&disconnect, &Command::finished);
        disconnect.execute();
        QCOMPARE(mService->callNames(), QStringList{QStringLiteral("abort")});
        QCOMPARE(mContext.connectedDevice, Device());
        QCOMPARE(mContext.connectedPort, Comport());
        QVERIFY(disconnect.isRunning());

        // Before the service has answered, the device already counts as gone.
        RestartDeviceCommand restart(mContext, *mService);
        QSignalSpy failed(&restart, &Command::errorOccurred);
        restart.execute();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("No device connected"));

        emit mService->successDisconnecting();
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDeviceCommands)
#include "tst_devicecommands.moc"
