#pragma once

#include "device/EnumNames.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace Thg::Tilo::Device {

// The device's parameter data types. The codes are stored in description files and travel to the
// device, so they must not change.
enum class DataType : std::uint8_t {
    DBYTEU8 = 0,
    DBYTEU16 = 1,
    DBYTEU32 = 2,
    DBYTEU64 = 3,
    DBYTEI64 = 4,
    DFLOAT32 = 5,
    DFLOAT64 = 6,
    ARRSTRING = 7,
    ARRBYTE = 8,
    ARRFLOAT32 = 9,
    ARRFLOAT64 = 10,
    // A value that holds nothing: a default value, or one not yet set.
    UNKNOWN = 11,
};

inline constexpr EnumNameTable dataTypeNames{std::to_array<EnumName<DataType>>({
    {DataType::DBYTEU8, "DBYTEU8"},
    {DataType::DBYTEU16, "DBYTEU16"},
    {DataType::DBYTEU32, "DBYTEU32"},
    {DataType::DBYTEU64, "DBYTEU64"},
    {DataType::DBYTEI64, "DBYTEI64"},
    {DataType::DFLOAT32, "DFLOAT32"},
    {DataType::DFLOAT64, "DFLOAT64"},
    {DataType::ARRSTRING, "ARRSTRING"},
    {DataType::ARRBYTE, "ARRBYTE"},
    {DataType::ARRFLOAT32, "ARRFLOAT32"},
    {DataType::ARRFLOAT64, "ARRFLOAT64"},
    {DataType::UNKNOWN, "UNKNOWN"},
})};

// The name of any code: codes without an entry below 128 are "UNKNOWN", codes from 128 on have an
// empty name (they show up as nothing after a message's colon).
constexpr std::string_view dataTypeName(DataType type)
{
    if (const auto name = dataTypeNames.name(type))
        return *name;
    return static_cast<std::uint8_t>(type) < 128 ? std::string_view("UNKNOWN") : std::string_view();
}

// Exact, case-sensitive; "UNKNOWN" parses as the code of a value that holds nothing.
constexpr std::optional<DataType> dataTypeFromName(std::string_view name)
{
    return dataTypeNames.value(name);
}

// Bytes per element in device memory; 0 for a code that is not a data type.
constexpr std::size_t elementSize(DataType type)
{
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::ARRSTRING:
    case DataType::ARRBYTE:
        return 1;
    case DataType::DBYTEU16:
        return 2;
    case DataType::DBYTEU32:
    case DataType::DFLOAT32:
    case DataType::ARRFLOAT32:
        return 4;
    case DataType::DBYTEU64:
    case DataType::DBYTEI64:
    case DataType::DFLOAT64:
    case DataType::ARRFLOAT64:
        return 8;
    default:
        return 0;
    }
}

} // namespace Thg::Tilo::Device
