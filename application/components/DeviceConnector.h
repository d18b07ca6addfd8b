#pragma once

#include "application/components/ComPortConnector.h"
#include "application/components/CompositeCommand.h"
#include "application/components/ConnectCommand.h"
#include "application/components/DeviceContext.h"

#include "communication/DeviceService.h"

#include <QPointer>

namespace Thg::Tilo::Components {

// Connects the device on a port through the device service and checks that it is the device the
// selected description describes; any other device is restarted and disconnected again.
class DeviceConnector : public ComPortConnector {
    Q_OBJECT
public:
    DeviceConnector(DeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                    QObject *parent = nullptr);
    ~DeviceConnector() override;

    bool isTargetConnected() const override;
    void doDisconnectTarget(bool notify) override;
    void clear() override;

signals:
    void deviceConnected(const Thg::Tilo::Communication::Device &device);
    void unexpectedDeviceConnected(const Thg::Tilo::Communication::Device &device);

protected:
    void doConnectTarget(const QString &port) override;
    bool containsConnectedPort(const QList<Thg::Tilo::Communication::Comport> &ports) const override;

private:
    void handleDeviceConnected(const Thg::Tilo::Communication::Device &device);

    DeviceContext &mContext;
    Thg::Tilo::Communication::DeviceService &mService;
    QPointer<ConnectCommand> mConnectCommand;
    QPointer<CompositeCommand> mDisconnectCommand;
    // Also the identification flag the service is given.
    bool mCheckExpectedDevice = true;
};

} // namespace Thg::Tilo::Components
