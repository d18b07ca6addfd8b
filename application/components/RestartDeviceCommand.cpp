#include "application/components/RestartDeviceCommand.h"

#include "application/components/SystemCommandAddress.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;

RestartDeviceCommand::RestartDeviceCommand(ConnectedDeviceContext &context, DeviceService &service, QObject *parent)
    : SimpleConnectedDeviceCommand(context, service, parent)
{
    connect(this, &RestartDeviceCommand::restartDevice, &service, &DeviceService::restartDevice);
}

QString RestartDeviceCommand::getDescription() const
{
    return tr("Restarting device");
}

void RestartDeviceCommand::doConnect()
{
    SimpleConnectedDeviceCommand::doConnect();
    finishOn(&DeviceService::successRestartDevice);
}

void RestartDeviceCommand::doExecute()
{
    const Device &device = mContext.connectedDevice;
    emit restartDevice(systemCommandAddressType(device), device, QPrivateSignal());
}

} // namespace Thg::Tilo::Components
