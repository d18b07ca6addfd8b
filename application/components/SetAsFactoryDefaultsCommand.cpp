#include "application/components/SetAsFactoryDefaultsCommand.h"

#include "application/components/SystemCommandAddress.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;

SetAsFactoryDefaultsCommand::SetAsFactoryDefaultsCommand(ConnectedDeviceContext &context, DeviceService &service, QObject *parent)
    : SimpleConnectedDeviceCommand(context, service, parent)
{
    connect(this, &SetAsFactoryDefaultsCommand::setCurrentAsFactoryDefaults, &service, &DeviceService::setCurrentAsFactoryDefaults);
}

QString SetAsFactoryDefaultsCommand::getDescription() const
{
    return tr("Setting parameters as factory defaults");
}

void SetAsFactoryDefaultsCommand::doConnect()
{
    SimpleConnectedDeviceCommand::doConnect();
    finishOn(&DeviceService::successSetCurrentAsFactoryDefaults);
}

void SetAsFactoryDefaultsCommand::doExecute()
{
    const Device &device = mContext.connectedDevice;
    emit setCurrentAsFactoryDefaults(systemCommandAddressType(device), device, QPrivateSignal());
}

} // namespace Thg::Tilo::Components
