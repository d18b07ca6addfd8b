#include "application/components/ConnectCommand.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;

ConnectCommand::ConnectCommand(ConnectedDeviceContext &context, DeviceService &service, Comport comPort,
                               bool deviceIdentification, QObject *parent)
    : SimpleConnectedDeviceCommand(context, service, parent), mComPort(std::move(comPort)),
      mDeviceIdentification(deviceIdentification)
{
    connect(this, &ConnectCommand::connectToDevice, &service, &DeviceService::start);
}

QString ConnectCommand::getDescription() const
{
    return tr("Connecting to device");
}

bool ConnectCommand::checkPreconditions()
{
    if (!mContext.isDeviceConnected())
        return true;
    error(tr("Device already connected"), System::Device, false);
    return false;
}

void ConnectCommand::doConnect()
{
    SimpleConnectedDeviceCommand::doConnect();
    listen(&DeviceService::foundDevice, [this](const Device &device) {
        // The outcome is decided. Whatever the service reports from now on belongs to what the
        // receivers of deviceFound start (a foreign device is restarted at once), also while they
        // handle it in a nested event loop, such as a message box's.
        doDisconnect();
        emit deviceFound(device);
        // Unless a receiver cancelled it meanwhile, which ends it silently.
        if (isRunning())
            finish();
    });
}

void ConnectCommand::doExecute()
{
    emit connectToDevice(mComPort, mDeviceIdentification, QPrivateSignal());
}

} // namespace Thg::Tilo::Components
