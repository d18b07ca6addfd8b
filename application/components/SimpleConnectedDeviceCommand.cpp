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
    ++mRun;
    mListening = true;
    listen(&DeviceService::progress, [this](std::uint8_t percent) { emit progressUpdated(percent, getDescription()); });
    listen(&DeviceService::warning, [this](const QString &text) { emit warningOccurred(text); });
    listen(&DeviceService::error, [this](const QString &text) { error(text, System::Device, true); });
}

void SimpleConnectedDeviceCommand::doDisconnect()
{
    mListening = false;
    disconnect(&mService, nullptr, this, nullptr);
}

} // namespace Thg::Tilo::Components
