#include "application/components/ConnectedDeviceContext.h"

#include <algorithm>

namespace Thg::Tilo::Components {

void ConnectedDeviceContext::clearConnectedDeviceAndPort()
{
    connectedDevice = Thg::Tilo::Communication::Device();
    connectedPort = Thg::Tilo::Communication::Comport();
}

bool ConnectedDeviceContext::isDeviceConnected() const
{
    if (connectedDevice.Name == Thg::Tilo::Communication::bootloaderDeviceName)
        return true;
    const auto &bytes = connectedDevice.address.bytes;
    return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte != 0; });
}

} // namespace Thg::Tilo::Components
