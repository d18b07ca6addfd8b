#pragma once

#include "application/components/SimpleConnectedDeviceCommand.h"

#include "communication/Comport.h"
#include "communication/Device.h"

namespace Thg::Tilo::Components {

// Opens the port and identifies the device on it; ends when the service has found the device.
class ConnectCommand : public SimpleConnectedDeviceCommand {
    Q_OBJECT
public:
    ConnectCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                   Thg::Tilo::Communication::Comport comPort, bool deviceIdentification, QObject *parent = nullptr);

    QString getDescription() const override;

signals:
    // Emitted just before `finished`, when the command has stopped hearing the service.
    void deviceFound(const Thg::Tilo::Communication::Device &device);
    void connectToDevice(const Thg::Tilo::Communication::Comport &comPort, bool deviceIdentification,
                         QPrivateSignal);

protected:
    // Passes only while no device is recorded as connected.
    bool checkPreconditions() override;
    void doConnect() override;
    void doExecute() override;

private:
    Thg::Tilo::Communication::Comport mComPort;
    bool mDeviceIdentification = false;
};

} // namespace Thg::Tilo::Components
