#pragma once

#include "application/components/SimpleConnectedDeviceCommand.h"

namespace Thg::Tilo::Components {

// Restarts the connected device.
class RestartDeviceCommand : public SimpleConnectedDeviceCommand {
    Q_OBJECT
public:
    RestartDeviceCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                         QObject *parent = nullptr);

    QString getDescription() const override;

signals:
    void restartDevice(Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &device,
                       QPrivateSignal);

protected:
    void doConnect() override;
    void doExecute() override;
};

} // namespace Thg::Tilo::Components
