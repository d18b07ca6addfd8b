#include "device/Parameter.h"

#include <fmt/format.h>

#include <stdexcept>
#include <utility>

namespace Thg::Tilo::Device {

void Parameter::setCurrentValue(Value value)
{
    if (value.type != type)
        throw std::invalid_argument(fmt::format("Types must match: Expected: {} Actual: {}", dataTypeName(type),
                                                dataTypeName(value.type)));
    if (type == DataType::ARRSTRING) {
        // A shorter string is zero-filled on the device, a longer one would be cut.
        if (value.length > length)
            throw std::invalid_argument(
                fmt::format("Length is too big: Maximum: {} Actual: {}", length, value.length));
    } else if (value.length != length) {
        throw std::invalid_argument(
            fmt::format("Length is different: Expected: {} Actual: {}", length, value.length));
    }
    if (minValue && value < *minValue)
        throw std::invalid_argument(
            fmt::format("Value is too small: Minimum: {} Actual: {}", minValue->toString(), value.toString()));
    if (maxValue && *maxValue < value)
        throw std::invalid_argument(
            fmt::format("Value is too big: Maximum: {} Actual: {}", maxValue->toString(), value.toString()));
    currentValue = std::move(value);
}

} // namespace Thg::Tilo::Device
