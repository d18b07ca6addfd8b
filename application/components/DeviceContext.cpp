#include "application/components/DeviceContext.h"

#include "device/Version.h"

namespace Thg::Tilo::Components {

using Thg::Tilo::Communication::Address;

std::optional<DeviceContext::ParameterSetRef> DeviceContext::getDeviceParameterSet() const
{
    const Address::Type type = connectedDevice.address.getType();
    if (connectedDevice.Name != Thg::Tilo::Communication::bootloaderDeviceName && type != Address::Type::Device
        && type != Address::Type::DeviceAndSubDevice)
        return std::nullopt;

    const Thg::Tilo::Device::Version version(connectedDevice.Version.toStdString());
    const auto &sets = selectedDevice.deviceParameterSets;
    const auto it = sets.find(version);
    if (it == sets.end())
        return std::nullopt;
    return std::cref(it->second);
}

} // namespace Thg::Tilo::Components
