// A medium written with the write command and read back with the read command, through the real
// device service on its thread and the simulated device on a pseudo-terminal.

#include "tests/application/ApplicationRoad.h"

#include "application/components/DisconnectCommand.h"
#include "application/components/ReadParametersCommand.h"
#include "application/components/WriteParametersCommand.h"

#include "device/Version.h"

#include <QTest>
#include <QThread>

#include <map>
#include <string>

using Space = ZebSim::ParameterMemory::Space;
using Thg::Tilo::Components::ParameterizeCommand;
using Thg::Tilo::Components::ReadParametersCommand;
using Thg::Tilo::Device::ParameterSetting;
using Thg::Tilo::Device::Version;

namespace {

// The device's byte image of each setting, by name.
std::map<std::string, std::vector<std::uint8_t>> imagesOf(const std::vector<ParameterSetting> &settings,
                                                          const ParameterizeCommand::Parameters &parameters)
{
    std::map<std::string, std::vector<std::uint8_t>> images;
    for (const ParameterSetting &setting : settings) {
        for (const auto &parameter : parameters) {
            if (parameter.name == setting.name)
                images[setting.name] = setting.value.toBytes(parameter.length);
        }
    }
    return images;
}

std::map<std::string, std::vector<std::uint8_t>> imagesOf(const ParameterizeCommand::Parameters &parameters)
{
    std::map<std::string, std::vector<std::uint8_t>> images;
    for (const auto &parameter : parameters)
        images[parameter.name] = parameter.currentValue.toBytes(parameter.length);
    return images;
}

} // namespace

class TestEndToEndReadBack : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
    }

    void writtenMedium_readsBackTheSameValues()
    {
        ServiceHarness harness;
        ZebSim::SimConfig config;
        config.singleWire = true;
        ZEB_START_SIM(harness, config);
        ApplicationRoad road(harness);
        ZebSim::ParameterMemory &memory = harness.device()->memory();
        const QByteArray waterLabel("001 ZEB WATER\0\0\0", 16);
        QVERIFY(memory.readWorking(Space::Device, 16, 16).value_or(QByteArray()) != waterLabel);

        QCOMPARE(road.connect(), ApplicationRoad::Connection::Connected);
        const auto &device = road.context.connectedDevice;
        const auto &settings = road.context.deviceSettings;
        const auto &description = road.context.selectedDevice;
        const ParameterizeCommand::Parameters deviceParameters = road.command.mergeSettingsIntoParameters(
            road.context.getDeviceParameterSet(),
            std::cref(settings.deviceParameterSets.at(Version(device.Version.toStdString()))));
        const ParameterizeCommand::Parameters subdeviceParameters = road.command.mergeSettingsIntoParameters(
            std::cref(description.subdeviceParameterSets.at(Version(device.SubVersion.toStdString()))),
            std::cref(settings.subdeviceParameterSets.at(Version(device.SubVersion.toStdString()))));
        QCOMPARE(deviceParameters.size(), std::size_t(1));
        QCOMPARE(subdeviceParameters.size(), std::size_t(5));

        Thg::Tilo::Components::WriteParametersCommand write(road.context, *harness.service());
        write.setDeviceParameters(deviceParameters);
        write.setSubdeviceParameters(subdeviceParameters);
        QVERIFY2(road.run(write), qPrintable(road.lastError));

        ReadParametersCommand read(road.context, *harness.service());
        read.setDeviceParameters(deviceParameters);
        read.setSubdeviceParameters(subdeviceParameters);
        QVERIFY2(road.run(read), qPrintable(road.lastError));

        QCOMPARE(read.getDeviceSettings().size(), std::size_t(1));
        QCOMPARE(read.getDeviceSettings().at(0).name, std::string("ProductVariantName"));
        QCOMPARE(read.getDeviceSettings().at(0).value.toString(), std::string("001 ZEB WATER"));
        QCOMPARE(read.getSubdeviceSettings().size(), std::size_t(5));
        QCOMPARE(imagesOf(read.getDeviceSettings(), deviceParameters), imagesOf(deviceParameters));
        QCOMPARE(imagesOf(read.getSubdeviceSettings(), subdeviceParameters), imagesOf(subdeviceParameters));
        // Curve[1].L and the first points of the curve, as the device holds them.
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 434, 2).value_or(QByteArray()),
                 QByteArray("\x09\x00", 2));
        QCOMPARE(memory.readWorking(Space::DeviceAndSubDevice, 524, 8).value_or(QByteArray()),
                 QByteArray("\x84\xf7\x43\xd6\x94\x10\xbe\x3e", 8));

        ServiceRecorder &recorder = harness.recorder();
        QVERIFY(recorder.waitFor(QStringLiteral("successWriting"), 2));
        QCOMPARE(recorder.outcomes().filter(QStringLiteral("success")),
                 (QStringList{QStringLiteral("successWriting"), QStringLiteral("successReading"),
                              QStringLiteral("successWriting")}));
        QVERIFY(recorder.errors().isEmpty());

        Thg::Tilo::Components::DisconnectCommand disconnect(road.context, *harness.service());
        QVERIFY2(road.run(disconnect), qPrintable(road.lastError));
        QVERIFY(road.waitUntilPortClosed());
    }
};

QTEST_GUILESS_MAIN(TestEndToEndReadBack)
#include "tst_endtoend_readback.moc"
