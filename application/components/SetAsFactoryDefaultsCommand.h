#pragma once

#include "application/components/SimpleConnectedDeviceCommand.h"

namespace Thg::Tilo::Components {

// Stores the device's current parameters as its factory defaults.
class SetAsFactoryDefaultsCommand : public SimpleConnectedDeviceCommand {
    Q_OBJECT
public:
    SetAsFactoryDefaultsCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                                QObject *parent = nullptr);

    QString getDescription() const override;

signals:
    void setCurrentAsFactoryDefaults(Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &device,
                                     QPrivateSignal);

protected:
    void doConnect() override;
    void doExecute() override;
};

} // namespace Thg::Tilo::Components
