#pragma once

#include "communication/Comport.h"
#include "communication/Device.h"

namespace Thg::Tilo::Components {

// The port and the device of the current connection; everything that talks to the device reads
// them. The virtual base of the contexts, so a full context holds exactly one connection.
class ConnectedDeviceContext {
public:
    virtual ~ConnectedDeviceContext() = default;

    // Back to no connection: an empty port, every device text "-" and a zero address.
    void clearConnectedDeviceAndPort();
    // The rule every precondition and the connector apply: a device in boot-loader mode, or a
    // device with any address byte set.
    bool isDeviceConnected() const;

    Thg::Tilo::Communication::Comport connectedPort;
    Thg::Tilo::Communication::Device connectedDevice;
};

} // namespace Thg::Tilo::Components
