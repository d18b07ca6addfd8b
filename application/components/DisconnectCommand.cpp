#include "application/components/DisconnectCommand.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::DeviceService;

DisconnectCommand::DisconnectCommand(ConnectedDeviceContext &context, DeviceService &service, QObject *parent)
    : SimpleConnectedDeviceCommand(context, service, parent)
{
    connect(this, &DisconnectCommand::disconnectDevice, &service, &DeviceService::abort);
}

QString DisconnectCommand::getDescription() const
{
    return tr("Disconnecting from device");
}

void DisconnectCommand::doConnect()
{
    SimpleConnectedDeviceCommand::doConnect();
    finishOn(&DeviceService::successDisconnecting);
}

void DisconnectCommand::doExecute()
{
    emit disconnectDevice(QPrivateSignal());
    mContext.clearConnectedDeviceAndPort();
}

} // namespace Thg::Tilo::Components
