#include "application/components/WriteParametersCommand.h"

#include "application/Logger.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;
using Thg::Tilo::Device::Parameter;

WriteParametersCommand::WriteParametersCommand(ConnectedDeviceContext &context, DeviceService &service,
                                               QString description, QObject *parent)
    : SimpleConnectedDeviceCommand(context, service, parent),
      mDescription(description.isEmpty() ? tr("Writing parameters") : std::move(description))
{
    connect(this, &WriteParametersCommand::write, &service, &DeviceService::write);
}

QString WriteParametersCommand::getDescription() const
{
    return mDescription;
}

void WriteParametersCommand::setDeviceParameters(std::vector<Parameter> parameters)
{
    mDeviceParameters = std::move(parameters);
}

void WriteParametersCommand::setSubdeviceParameters(std::vector<Parameter> parameters)
{
    mSubdeviceParameters = std::move(parameters);
}

void WriteParametersCommand::doConnect()
{
    SimpleConnectedDeviceCommand::doConnect();
    finishOn(&DeviceService::successWriting);
}

void WriteParametersCommand::logParameters(const char *target, const std::vector<Parameter> &parameters) const
{
    if (parameters.empty())
        return;
    const std::uint8_t indentation = getDepth();
    Logger::info(indentation, "Writing parameters to {}:", target);
    for (const Parameter &parameter : parameters)
        Logger::info(indentation, "{}: {}", parameter.name, parameter.currentValue.toString());
}

void WriteParametersCommand::refuse(const char *logText, const QString &message)
{
    Logger::error(getDepth(), "{}", logText);
    error(message, System::Device, false);
}

void WriteParametersCommand::doExecute()
{
    logParameters("device", mDeviceParameters);
    logParameters("subdevice", mSubdeviceParameters);

    // Each refusal ends the command: nothing may reach the device after it.
    if (mDeviceParameters.empty() && mSubdeviceParameters.empty()) {
        refuse("The parameters are empty", tr("The parameters are empty."));
        return;
    }
    const Device &device = mContext.connectedDevice;
    const Address::Type type = device.address.getType();
    const bool hasDevice = type == Address::Type::Device || type == Address::Type::DeviceAndSubDevice;
    const bool hasSubdevice = type == Address::Type::SubDevice || type == Address::Type::DeviceAndSubDevice;
    if (device.Name != Thg::Tilo::Communication::bootloaderDeviceName && !hasDevice && !mDeviceParameters.empty()) {
        refuse("No device is connected but parameters are not empty",
               tr("No device is connected but parameters are not empty."));
        return;
    }
    if (!hasSubdevice && !mSubdeviceParameters.empty()) {
        refuse("No subdevice is connected but parameters are not empty",
               tr("No subdevice is connected but parameters are not empty."));
        return;
    }
    emit write(device, mDeviceParameters, mSubdeviceParameters, true, QPrivateSignal());
}

} // namespace Thg::Tilo::Components
