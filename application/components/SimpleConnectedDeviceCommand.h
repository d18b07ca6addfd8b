#pragma once

#include "application/components/ConnectedDeviceCommand.h"

#include "communication/DeviceService.h"

namespace Thg::Tilo::Components {

// A command that runs one operation of the device service and follows its progress, warnings and
// errors. Subclasses add the request signal and the success signal that ends them.
class SimpleConnectedDeviceCommand : public ConnectedDeviceCommand {
public:
    SimpleConnectedDeviceCommand(ConnectedDeviceContext &context, Thg::Tilo::Communication::DeviceService &service,
                                 QObject *parent = nullptr);
    ~SimpleConnectedDeviceCommand() override;

protected:
    void doConnect() override;
    void doDisconnect() override;

    // Connects a success signal of the service to `finish`. The service lives on another thread:
    // a reply it queued before this command ended still arrives, and must not end a later run.
    template <typename Signal>
    void finishOn(Signal signal)
    {
        connect(&mService, signal, this, [this] {
            if (isRunning())
                finish();
        });
    }

    Thg::Tilo::Communication::DeviceService &mService;
};

} // namespace Thg::Tilo::Components
