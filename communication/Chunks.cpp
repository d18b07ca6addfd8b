#include "communication/Chunks.h"

namespace Thg::Tilo::Communication::Internal {

std::optional<Address::Type> subDeviceChunkType(const Address &address)
{
    switch (address.getType()) {
    case Address::Type::SubDevice:
    case Address::Type::DeviceAndSubDevice:
        return address.getType();
    default:
        return std::nullopt;
    }
}

} // namespace Thg::Tilo::Communication::Internal
