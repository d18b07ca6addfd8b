#pragma once

#include "communication/Address.h"
#include "communication/Device.h"

namespace Thg::Tilo::Components {

// System commands go to the device when it has a device id; otherwise (a sub-device alone, or a
// boot loader) to the full address.
inline Thg::Tilo::Communication::Address::Type
systemCommandAddressType(const Thg::Tilo::Communication::Device &device)
{
    using Type = Thg::Tilo::Communication::Address::Type;
    const Type type = device.address.getType();
    return type == Type::Device || type == Type::DeviceAndSubDevice ? Type::Device : Type::None;
}

} // namespace Thg::Tilo::Components
