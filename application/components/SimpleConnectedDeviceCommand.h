#pragma once

#include "application/components/ConnectedDeviceCommand.h"

#include "communication/DeviceService.h"

#include <cstdint>

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

    // Connects a signal of the service to `handler` for the current run only. The service lives on
    // another thread, so its signals arrive queued: what it emitted before `doDisconnect` still
    // arrives afterwards, and must reach neither the ended run nor a later one.
    template <typename Signal, typename Handler>
    void listen(Signal signal, Handler handler)
    {
        connect(&mService, signal, this, [this, run = mRun, handler](const auto &...arguments) {
            if (mListening && run == mRun)
                handler(arguments...);
        });
    }

    // Ends the command on a success signal of the service.
    template <typename Signal>
    void finishOn(Signal signal)
    {
        listen(signal, [this](const auto &...) { finish(); });
    }

    Thg::Tilo::Communication::DeviceService &mService;

private:
    std::uint64_t mRun = 0;
    bool mListening = false;
};

} // namespace Thg::Tilo::Components
