#include "application/components/SimpleConnectedDeviceCommand.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::DeviceService;

SimpleConnectedDeviceCommand::SimpleConnectedDeviceCommand(ConnectedDeviceContext &context, DeviceService &service,
                                                           QObject *parent)
    : ConnectedDeviceCommand(context, parent), mService(service)
{
}

SimpleConnectedDeviceCommand::~SimpleConnectedDeviceCommand()
{
    if (isRunning())
        cancel();
}

void SimpleConnectedDeviceCommand::doConnect()
{
    // Replies queued before this command ended may still arrive; they belong to no run of ours.
    connect(&mService, &DeviceService::progress, this, [this](std::uint8_t percent) {
        if (isRunning())
            emit progressUpdated(percent, getDescription());
    });
    connect(&mService, &DeviceService::warning, this, [this](const QString &text) {
        if (isRunning())
            emit warningOccurred(text);
    });
    connect(&mService, &DeviceService::error, this, [this](const QString &text) {
        if (isRunning())
            error(text, System::Device, true);
    });
}

void SimpleConnectedDeviceCommand::doDisconnect()
{
    disconnect(&mService, nullptr, this, nullptr);
}

} // namespace Thg::Tilo::Components
