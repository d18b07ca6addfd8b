#include "application/components/DeviceWithSettingsContext.h"

#include <QTest>

#include <stdexcept>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Components::ConnectedDeviceContext;
using Thg::Tilo::Components::DeviceContext;
using Thg::Tilo::Components::DeviceSettingsContext;
using Thg::Tilo::Components::DeviceWithSettingsContext;
using Thg::Tilo::Device::Identity;
using Thg::Tilo::Device::Parameter;
using Thg::Tilo::Device::ParameterSet;
using Thg::Tilo::Device::Version;

Q_DECLARE_METATYPE(Address::Bytes)

namespace {

void addDeviceSet(DeviceContext &context, const char *version, const char *parameterName)
{
    ParameterSet<Parameter> set;
    set.version = Version(version);
    Parameter parameter;
    parameter.name = parameterName;
    set.parameters.emplace(parameter.name, parameter);
    context.selectedDevice.deviceParameterSets.emplace(set.version, set);
}

} // namespace

class TestDeviceContext : public QObject {
    Q_OBJECT

private slots:
    void initialState_hasNoConnectionAndNothingSelected()
    {
        const DeviceWithSettingsContext context;
        QCOMPARE(context.connectedPort, Comport());
        QCOMPARE(context.connectedPort.Number, QString());
        for (const QString &text : {context.connectedDevice.Name, context.connectedDevice.Version,
                                    context.connectedDevice.Revision, context.connectedDevice.Vendor,
                                    context.connectedDevice.SubName, context.connectedDevice.SubVersion,
                                    context.connectedDevice.SubRevision})
            QCOMPARE(text, QStringLiteral("-"));
        QCOMPARE(context.connectedDevice.address.bytes, (Address::Bytes{0, 0, 0, 0, 0}));
        QVERIFY(!context.isDeviceConnected());
        QCOMPARE(context.selectedDevice.identity, Identity::Unknown);
        QVERIFY(context.selectedDevice.deviceParameterSets.empty());
        QVERIFY(context.selectedDevice.subdeviceParameterSets.empty());
        QCOMPARE(context.deviceSettings.identity, Identity::Unknown);
        QVERIFY(context.deviceSettings.deviceParameterSets.empty());
        QVERIFY(context.deviceSettings.subdeviceParameterSets.empty());
        QVERIFY(!context.getDeviceParameterSet());
    }

    void oneConnection_isSharedByEveryView()
    {
        DeviceWithSettingsContext context;
        DeviceContext &deviceView = context;
        DeviceSettingsContext &settingsView = context;
        deviceView.connectedDevice.Name = QStringLiteral("ZEB");
        deviceView.connectedPort.Number = QStringLiteral("COM7");
        QCOMPARE(settingsView.connectedDevice.Name, QStringLiteral("ZEB"));
        QCOMPARE(static_cast<ConnectedDeviceContext &>(settingsView).connectedPort.Number, QStringLiteral("COM7"));
        QCOMPARE(&static_cast<ConnectedDeviceContext &>(deviceView), &static_cast<ConnectedDeviceContext &>(settingsView));
    }

    void clearConnectedDeviceAndPort_forgetsTheConnection()
    {
        DeviceWithSettingsContext context;
        addDeviceSet(context, "V02.11", "Flow");
        context.connectedPort = Comport{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FTDI"), 0x6001, 0x0403, true, 3000, 300};
        context.connectedDevice.Name = QStringLiteral("ZEB");
        context.connectedDevice.Version = QStringLiteral("V02.11");
        context.connectedDevice.SubVersion = QStringLiteral("V02.00");
        context.connectedDevice.address = Address(Address::Bytes{19, 0, 4, 0, 1});
        QVERIFY(context.isDeviceConnected());

        context.clearConnectedDeviceAndPort();

        QCOMPARE(context.connectedPort.Number, QString());
        QCOMPARE(context.connectedPort, Comport());
        QCOMPARE(context.connectedDevice, Device());
        QCOMPARE(context.connectedDevice.Name, QStringLiteral("-"));
        QCOMPARE(context.connectedDevice.SubVersion, QStringLiteral("-"));
        QVERIFY(!context.isDeviceConnected());
        // The description stays selected.
        QCOMPARE(context.selectedDevice.deviceParameterSets.size(), std::size_t(1));
    }

    void isDeviceConnected_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Address::Bytes>("address");
        QTest::addColumn<bool>("connected");
        QTest::newRow("nothing") << QStringLiteral("-") << Address::Bytes{0, 0, 0, 0, 0} << false;
        QTest::newRow("a name alone") << QStringLiteral("ZEB") << Address::Bytes{0, 0, 0, 0, 0} << false;
        QTest::newRow("boot loader") << QStringLiteral("Bootloader") << Address::Bytes{0, 0, 0, 0, 0} << true;
        QTest::newRow("boot loader in other case") << QStringLiteral("bootloader") << Address::Bytes{0, 0, 0, 0, 0}
                                                   << false;
        QTest::newRow("vendor byte only") << QStringLiteral("-") << Address::Bytes{19, 0, 0, 0, 0} << true;
        QTest::newRow("last byte only") << QStringLiteral("-") << Address::Bytes{0, 0, 0, 0, 1} << true;
        QTest::newRow("full address") << QStringLiteral("ZEB") << Address::Bytes{19, 0, 4, 0, 1} << true;
    }

    void isDeviceConnected()
    {
        QFETCH(QString, name);
        QFETCH(Address::Bytes, address);
        QFETCH(bool, connected);
        ConnectedDeviceContext context;
        context.connectedDevice.Name = name;
        context.connectedDevice.address = Address(address);
        QCOMPARE(context.isDeviceConnected(), connected);
    }

    void getDeviceParameterSet_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<Address::Bytes>("address");
        // The first parameter's name of the set found, empty for none.
        QTest::addColumn<QString>("found");

        QTest::newRow("no device") << QStringLiteral("-") << QStringLiteral("-") << Address::Bytes{0, 0, 0, 0, 0}
                                   << QString();
        QTest::newRow("device, exact version") << QStringLiteral("ZEB") << QStringLiteral("V02.11")
                                               << Address::Bytes{19, 0, 4, 0, 0} << QStringLiteral("Flow 2.11");
        QTest::newRow("device and sub-device") << QStringLiteral("ZEB") << QStringLiteral("V02.01")
                                               << Address::Bytes{19, 0, 4, 0, 1} << QStringLiteral("Flow 2.01");
        QTest::newRow("sub-device only") << QStringLiteral("ZEB") << QStringLiteral("V02.11")
                                         << Address::Bytes{19, 0, 0, 0, 1} << QString();
        QTest::newRow("vendor only") << QStringLiteral("ZEB") << QStringLiteral("V02.11")
                                     << Address::Bytes{19, 0, 0, 0, 0} << QString();
        QTest::newRow("version between two") << QStringLiteral("ZEB") << QStringLiteral("V02.10")
                                             << Address::Bytes{19, 0, 4, 0, 0} << QString();
        QTest::newRow("version above all") << QStringLiteral("ZEB") << QStringLiteral("V03.00")
                                           << Address::Bytes{19, 0, 4, 0, 0} << QString();
        QTest::newRow("boot loader, no address") << QStringLiteral("Bootloader") << QStringLiteral("V02.11")
                                                 << Address::Bytes{0, 0, 0, 0, 0} << QStringLiteral("Flow 2.11");
    }

    void getDeviceParameterSet()
    {
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(Address::Bytes, address);
        QFETCH(QString, found);
        DeviceContext context;
        addDeviceSet(context, "V02.01", "Flow 2.01");
        addDeviceSet(context, "V02.11", "Flow 2.11");
        context.connectedDevice.Name = name;
        context.connectedDevice.Version = version;
        context.connectedDevice.address = Address(address);

        const auto set = context.getDeviceParameterSet();
        QCOMPARE(bool(set), !found.isEmpty());
        if (set)
            QCOMPARE(QString::fromStdString(set->get().parameters.begin()->first), found);
    }

    void getDeviceParameterSet_malformedVersion_throws_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::newRow("boot loader reports no version") << QStringLiteral("Bootloader") << QStringLiteral("-");
        QTest::newRow("no leading V") << QStringLiteral("ZEB") << QStringLiteral("02.11");
        QTest::newRow("empty") << QStringLiteral("ZEB") << QString();
    }

    void getDeviceParameterSet_malformedVersion_throws()
    {
        QFETCH(QString, name);
        QFETCH(QString, version);
        DeviceContext context;
        addDeviceSet(context, "V02.11", "Flow");
        context.connectedDevice.Name = name;
        context.connectedDevice.Version = version;
        context.connectedDevice.address = Address(Address::Bytes{19, 0, 4, 0, 0});
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, context.getDeviceParameterSet());
    }
};

QTEST_APPLESS_MAIN(TestDeviceContext)
#include "tst_devicecontext.moc"
