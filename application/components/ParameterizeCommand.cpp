#include "application/components/ParameterizeCommand.h"

#include "application/Logger.h"
#include "application/components/CompositeCommand.h"
#include "application/components/DisconnectCommand.h"
#include "application/components/RestartDeviceCommand.h"
#include "application/components/SetAsFactoryDefaultsCommand.h"
#include "application/components/WriteParametersCommand.h"

#include "device/Tag.h"
#include "device/Value.h"
#include "device/Version.h"

#include <QStringList>

#include <stdexcept>

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;
using Thg::Tilo::Device::DataType;
using Thg::Tilo::Device::Parameter;
using Thg::Tilo::Device::ParameterSetContainer;
using Thg::Tilo::Device::ParameterSetting;
using Thg::Tilo::Device::Value;
using Thg::Tilo::Device::Version;

namespace {

// The set of exactly `version`, or none.
template <typename T>
std::optional<std::reference_wrapper<const Thg::Tilo::Device::ParameterSet<T>>>
findExact(const ParameterSetContainer<T> &sets, const QString &version)
{
    const auto it = sets.find(Version(version.toStdString()));
    if (it == sets.end())
        return std::nullopt;
    return std::cref(it->second);
}

} // namespace

ParameterizeCommand::ParameterizeCommand(DeviceWithSettingsContext &context, DeviceService &service)
    : ConnectedDeviceCommand(context, nullptr), mSettingsContext(context), mService(service)
{
}

ParameterizeCommand::~ParameterizeCommand()
{
    if (isRunning())
        cancel();
}

QString ParameterizeCommand::getDescription() const
{
    return tr("Parameterizing");
}

void ParameterizeCommand::setSerialNumber(const QString &serialNumber)
{
    mSerialNumber = serialNumber;
}

ParameterizeCommand::Parameters ParameterizeCommand::mergeSettingsIntoParameters(std::optional<ParameterSetRef> parameters,
                                                                                 std::optional<SettingSetRef> settings) const
{
    Parameters merged;
    if (!parameters || !settings)
        return merged;
    merged.reserve(settings->get().parameters.size());
    QStringList invalid;
    for (const auto &[name, setting] : settings->get().parameters) {
        Parameter parameter = parameters->get().at(name);
        Value value = setting.value;
        value.type = setting.type;
        try {
            parameter.setCurrentValue(std::move(value));
        } catch (const std::invalid_argument &e) {
            Logger::error(getDepth(), "Value for parameter {} is invalid: {}", name, std::string(e.what()));
            invalid << tr("Value for parameter %1 is invalid: %2")
                           .arg(QString::fromStdString(name), QString::fromUtf8(e.what()));
            continue;
        }
        merged.push_back(std::move(parameter));
    }
    if (!invalid.isEmpty())
        throw std::invalid_argument(invalid.join(QLatin1Char('\n')).toStdString());
    return merged;
}

CompositeCommand *ParameterizeCommand::createCommand()
{
    const std::uint8_t indentation = getDepth();
    const Device &device = mSettingsContext.connectedDevice;
    const Address::Type type = device.address.getType();
    const bool addressedAsDevice = device.Name == Thg::Tilo::Communication::bootloaderDeviceName
                                   || type == Address::Type::Device || type == Address::Type::DeviceAndSubDevice;
    const bool hasSubdevice = type == Address::Type::SubDevice || type == Address::Type::DeviceAndSubDevice;

    try {
        std::optional<SettingSetRef> deviceSettings;
        if (addressedAsDevice)
            deviceSettings = findExact(mSettingsContext.deviceSettings.deviceParameterSets, device.Version);
        Parameters deviceParameters =
            mergeSettingsIntoParameters(mSettingsContext.getDeviceParameterSet(), deviceSettings);

        std::optional<SettingSetRef> subdeviceSettings;
        std::optional<ParameterSetRef> subdeviceSet;
        if (hasSubdevice) {
            subdeviceSettings = findExact(mSettingsContext.deviceSettings.subdeviceParameterSets, device.SubVersion);
            subdeviceSet = findExact(mSettingsContext.selectedDevice.subdeviceParameterSets, device.SubVersion);
        }
        Parameters subdeviceParameters = mergeSettingsIntoParameters(subdeviceSet, subdeviceSettings);
        mParameters.emplace(std::move(deviceParameters), std::move(subdeviceParameters));
    } catch (const std::invalid_argument &e) {
        Logger::error(indentation, "{}", std::string(e.what()));
        mParameters.reset();
        error(QString::fromUtf8(e.what()), System::Device, false);
        return nullptr;
    }

    if (mParameters->first.empty() && mParameters->second.empty()) {
        Logger::error(indentation, "No parameters found for the connected device and version.");
        mParameters.reset();
        error(tr("No parameters found for the connected device and version."), System::Device, false);
        return nullptr;
    }
    if (addressedAsDevice && mParameters->first.empty()) {
        Logger::warn(indentation,
                     "The parameters for the connected device version are empty, only the subdevice will be parameterized.");
        emit warningOccurred(tr("The parameters for the connected device version are empty, only the subdevice will "
                                "be parameterized."));
    }
    if (hasSubdevice && mParameters->second.empty()) {
        Logger::warn(indentation,
                     "The parameters for the connected subdevice version are empty, only the device will be parameterized.");
        emit warningOccurred(tr("The parameters for the connected subdevice version are empty, only the device will "
                                "be parameterized."));
    }

    auto *composite = new CompositeCommand({}, true, this);
    auto *write = new WriteParametersCommand(mSettingsContext, mService, QString());
    write->setDeviceParameters(std::move(mParameters->first));
    write->setSubdeviceParameters(std::move(mParameters->second));
    mParameters.reset();
    composite->addCommand(write);
    if (!mSerialNumber.isEmpty())
        addSerialNumberStep(*composite);
    composite->addCommand(new SetAsFactoryDefaultsCommand(mSettingsContext, mService));
    composite->addCommand(new RestartDeviceCommand(mSettingsContext, mService));
    composite->addCommand(new DisconnectCommand(mSettingsContext, mService));

    connect(composite, &Command::progressUpdated, this, &Command::progressUpdated);
    connect(composite, &Command::finished, this, &ParameterizeCommand::finish);
    connect(composite, &Command::warningOccurred, this, &Command::warningOccurred);
    connect(composite, &Command::errorOccurred, this, &ParameterizeCommand::error);
    return composite;
}

void ParameterizeCommand::addSerialNumberStep(CompositeCommand &composite)
{
    const std::uint8_t indentation = getDepth();
    const std::optional<ParameterSetRef> set = mSettingsContext.getDeviceParameterSet();
    const Parameter *serialParameter = nullptr;
    if (set) {
        const auto found = set->get().query(Thg::Tilo::Device::QueryTag(Thg::Tilo::Device::Tag::SERIALNUMBER));
        if (!found.empty())
            serialParameter = &found.front().get();
    }
    if (!serialParameter) {
        Logger::warn(indentation, "No parameter for serial number found in device description.");
        emit warningOccurred(tr("No parameter for serial number found in device description."));
        return;
    }

    Parameter parameter = *serialParameter;
    const QByteArray text = mSerialNumber.toUtf8();
    Value value;
    value.type = DataType::ARRSTRING;
    value.length = std::uint16_t(text.size());
    value.data = text.toStdString();
    try {
        parameter.setCurrentValue(std::move(value));
    } catch (const std::invalid_argument &e) {
        Logger::warn(indentation, "Ignoring serial number: Value is invalid: {}.", std::string(e.what()));
        emit warningOccurred(tr("Ignoring serial number: Value is invalid: %1").arg(QString::fromUtf8(e.what())));
        return;
    }
    auto *write = new WriteParametersCommand(mSettingsContext, mService, tr("Writing serial number"));
    write->setDeviceParameters({std::move(parameter)});
    composite.addCommand(write);
}

void ParameterizeCommand::error(const QString &message, System system, bool disconnected)
{
    // After a build error the port is still open; after an error of the service the failing job
    // has closed it. Either way the context still records the device, and the connector would
    // refuse every later connection. Only a run that was under way is cleaned up: a failed
    // precondition has nothing to undo.
    if (isRunning() && mSettingsContext.isDeviceConnected())
        disconnectAfterFailure();
    Command::error(message, system, disconnected);
}

void ParameterizeCommand::disconnectAfterFailure()
{
    if (mFailureDisconnect) {
        mFailureDisconnect->cancel();
        mFailureDisconnect->deleteLater();
    }
    // Its progress, warnings and errors are its own: the failure being reported is the run's.
    // The service closes the port and reports the end even when the port is closed already; the
    // context is cleared as soon as the request is out.
    auto *disconnect = new DisconnectCommand(mSettingsContext, mService, this);
    mFailureDisconnect = disconnect;
    disconnect->execute();
}

void ParameterizeCommand::doDisconnect()
{
    if (!mInnerCommand)
        return;
    disconnect(mInnerCommand, nullptr, this, nullptr);
    mInnerCommand->deleteLater();
    mInnerCommand = nullptr;
}

void ParameterizeCommand::doExecute()
{
    CompositeCommand *composite = createCommand();
    if (!composite)
        return;
    mInnerCommand = composite;
    composite->execute();
}

void ParameterizeCommand::doStop()
{
    if (!mInnerCommand || !mInnerCommand->isRunning())
        return;
    Command *inner = mInnerCommand;
    Logger::debug(inner->depth(), "Stopping {}", inner->typeName());
    inner->doStop();
}

void ParameterizeCommand::doCancel()
{
    if (mInnerCommand && mInnerCommand->isRunning())
        mInnerCommand->cancel();
}

} // namespace Thg::Tilo::Components
