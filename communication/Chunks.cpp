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

std::optional<Chunks<50>> combineChunks(const Thg::Tilo::Communication::Device &dev, ParameterRefs &deviceParameters,
                                        ParameterRefs &subdeviceParameters)
{
    const TransferableData deviceBlocks = TransferableData::fromParameters(deviceParameters);
    const TransferableData subdeviceBlocks = TransferableData::fromParameters(subdeviceParameters);
    if (deviceBlocks.blocks.empty() && subdeviceBlocks.blocks.empty())
        return std::nullopt;

    Chunks<50> result;
    result.device = dev;
    result.append(Address::Type::Device, deviceBlocks);
    const auto subType = subDeviceChunkType(dev.address);
    if (!subdeviceBlocks.blocks.empty() && !subType)
        result.subDeviceAddressable = false;
    result.append(subType.value_or(Address::Type::None), subdeviceBlocks);
    return result;
}

} // namespace Thg::Tilo::Communication::Internal
