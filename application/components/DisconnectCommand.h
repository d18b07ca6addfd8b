#pragma once

#include "application/components/SimpleConnectedDeviceCommand.h"

namespace Thg::Tilo::Components {

// Closes the port. The context forgets the device at once, without waiting for the service: the connection counts as gone from the moment it is asked to go.
class DisconnectCommand : public SimpleConnectedDeviceCommand {
    Q_OBJECT
public:
    DisconnectCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                      QObject *parent = nullptr);

    QString getDescription() const override;

signals:
    void disconnectDevice(QPrivateSignal);

protected:
    void doConnect() override;
    void doExecute() override;
};

} // namespace Thg::Tilo::Components
