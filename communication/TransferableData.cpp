#include "communication/TransferableData.h"

#include <algorithm>
#include <variant>

namespace Thg::Tilo::Communication {

using Thg::Tilo::Device::DataType;
using Thg::Tilo::Device::Parameter;

namespace {
constexpr std::size_t AddressSpace = 0x10000;
} // namespace

std::size_t declaredSize(const Parameter &parameter)
{
    return std::size_t(parameter.length) * Thg::Tilo::Device::elementSize(parameter.type);
}

TransferableData TransferableData::fromParameters(ParameterRefs &parameters)
{
    std::sort(parameters.begin(), parameters.end(),
              [](const Parameter &a, const Parameter &b) { return a.address < b.address; });

    TransferableData result;
    const Parameter *previous = nullptr;
    for (const Parameter &parameter : parameters) {
        // The end as a plain integer: a parameter that ends exactly at 65536 has no neighbour after it.
        const bool joins = previous && std::size_t(parameter.address) == previous->address + declaredSize(*previous);
        if (!joins)
            result.blocks.push_back({parameter.address, {}});
        result.appendData(parameter);
        previous = &parameter;
    }
    return result;
}

void TransferableData::appendData(const Parameter &parameter)
{
    const auto &value = parameter.currentValue.type == DataType::UNKNOWN ? parameter.defaultValue : parameter.currentValue;
    std::vector<std::uint8_t> image;
    try {
        image = value.toBytes(parameter.length);
    } catch (const std::bad_variant_access &) {
        // A value whose contents do not belong to its type has no image.
        fits = false;
        return;
    }
    if (image.size() != declaredSize(parameter) || parameter.address + image.size() > AddressSpace)
        fits = false;
    auto &block = blocks.back().data;
    block.insert(block.end(), image.begin(), image.end());
}

} // namespace Thg::Tilo::Communication
