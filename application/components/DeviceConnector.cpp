#include "application/components/DeviceConnector.h"

#include "application/components/CompositeCommand.h"
#include "application/components/ConnectCommand.h"
#include "application/components/DisconnectCommand.h"
#include "application/components/RestartDeviceCommand.h"

#include <algorithm>

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::DeviceService;

namespace {

// Cancels a command of an earlier run and lets it go once the event loop is done with it.
void retire(Command *command, QObject *owner)
{
    if (!command)
        return;
    command->cancel();
    QObject::disconnect(command, nullptr, owner, nullptr);
    command->deleteLater();
}

} // namespace

DeviceConnector::DeviceConnector(DeviceContext &context, DeviceService &service, QObject *parent)
    : ComPortConnector(parent), mContext(context), mService(service)
{
}

DeviceConnector::~DeviceConnector()
{
    for (Command *command : {static_cast<Command *>(mConnectCommand.data()),
                             static_cast<Command *>(mDisconnectCommand.data())}) {
        if (command) {
            command->cancel();
            disconnect(command, nullptr, this, nullptr);
        }
    }
}

bool DeviceConnector::isTargetConnected() const
{
    return mContext.isDeviceConnected();
}

void DeviceConnector::clear()
{
    mContext.clearConnectedDeviceAndPort();
}

bool DeviceConnector::containsConnectedPort(const QList<Comport> &ports) const
{
    return std::any_of(ports.begin(), ports.end(),
                       [this](const Comport &port) { return port.Number == mContext.connectedPort.Number; });
}

void DeviceConnector::doConnectTarget(const QString &port)
{
    if (mContext.selectedDevice.identity == Thg::Tilo::Device::Identity::Unknown) {
        setBusy(false);
        emit errorOccurred(tr("No device has been selected"));
        return;
    }
    retire(mConnectCommand, this);

    const auto &interface = mContext.selectedDevice.traits.interface;
    Comport &connectedPort = mContext.connectedPort;
    connectedPort.Number = port;
    connectedPort.Startup = interface.startUpMs;
    connectedPort.PowerDown = interface.powerDownMs;
    connectedPort.HalfDuplex = interface.halfDuplex;

    auto *command = new ConnectCommand(mContext, mService, connectedPort, mCheckExpectedDevice, this);
    connect(command, &Command::progressUpdated, this, [this](std::uint32_t progress, const QString &description) {
        emit progressUpdated(std::uint8_t(progress), description);
    });
    connect(command, &ConnectCommand::deviceFound, this, &DeviceConnector::handleDeviceConnected);
    connect(command, &Command::errorOccurred, this, [this](const QString &message) {
        clear();
        setBusy(false);
        emit errorOccurred(message);
    });
    mConnectCommand = command;
    command->execute();
}

void DeviceConnector::handleDeviceConnected(const Device &device)
{
    mContext.connectedDevice = device;
    if (mCheckExpectedDevice && device.address.bytes != mContext.selectedDevice.traits.interface.address) {
        // Busy until the device has been restarted and the port closed.
        doDisconnectTarget(false);
        emit unexpectedDeviceConnected(device);
        return;
    }
    setBusy(false);
    emit deviceConnected(device);
}

void DeviceConnector::doDisconnectTarget(bool notify)
{
    retire(mDisconnectCommand, this);

    // The device restarts before the port closes, so it is left running as it was found.
    auto *command = new CompositeCommand(
        {new RestartDeviceCommand(mContext, mService), new DisconnectCommand(mContext, mService)}, false, this);
    if (notify) {
        connect(command, &Command::progressUpdated, this, [this](std::uint32_t progress, const QString &description) {
            emit progressUpdated(std::uint8_t(progress), description);
        });
    }
    connect(command, &Command::finished, this, [this, notify] {
        clear();
        setBusy(false);
        if (notify)
            emit targetDisconnected();
    });
    connect(command, &Command::errorOccurred, this, [this, notify](const QString &message) {
        clear();
        setBusy(false);
        if (notify)
            emit errorOccurred(message);
    });
    mDisconnectCommand = command;
    command->execute();
}

} // namespace Thg::Tilo::Components
