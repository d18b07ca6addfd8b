#pragma once

#include "device/DataType.h"
#include "device/EnumNames.h"
#include "device/Tag.h"
#include "device/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Thg::Tilo::Device {

enum class AccessRight : std::uint8_t {
    Read = 0,
    Write = 1,
    ReadWrite = 2,
};

inline constexpr EnumNameTable accessRightNames{std::to_array<EnumName<AccessRight>>({
    {AccessRight::Read, "Read"},
    {AccessRight::Write, "Write"},
    {AccessRight::ReadWrite, "ReadWrite"},
})};

// Empty for a code that is not an access right.
constexpr std::string_view accessRightName(AccessRight right)
{
    return accessRightNames.name(right).value_or(std::string_view());
}

constexpr std::optional<AccessRight> accessRightFromName(std::string_view name)
{
    return accessRightNames.value(name);
}

// The IO-Link view of a parameter.
struct ParameterIoLink {
    std::uint16_t address = 0;
    AccessRight factoryAccess = AccessRight::Read;
    AccessRight userAccess = AccessRight::Read;
    std::vector<std::string> menu;
};

// One parameter of the device's parameter memory, as a description file declares it. It occupies
// `length` x elementSize(`type`) bytes from `address` on.
struct Parameter {
    std::string name;
    std::string description;
    DataType type = DataType::UNKNOWN;
    // Element count; for ARRSTRING the maximum string length in bytes.
    std::uint16_t length = 0;
    std::uint16_t address = 0;
    std::vector<Tag> tags;
    Value defaultValue;
    // Holds nothing (UNKNOWN) until set; a write then sends the default value.
    Value currentValue;
    std::optional<Value> maxValue;
    std::optional<Value> minValue;
    std::optional<ParameterIoLink> ioLink;
    // Addresses of the parameters that hold the run-time limits.
    std::optional<std::uint16_t> refMax;
    std::optional<std::uint16_t> refMin;

    // Stores `value` as the current value if its type, length and range fit this parameter;
    // otherwise throws std::invalid_argument and changes nothing. A value equal to a limit fits.
    void setCurrentValue(Value value);
};

} // namespace Thg::Tilo::Device
