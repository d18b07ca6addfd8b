#pragma once

#include "device/NumericConversion.h"

#include <nlohmann/json.hpp>

#include <concepts>
#include <cstdint>
#include <limits>
#include <string>

// Reading single JSON values into the device model's widths. Every function takes a reference into
// the parsed document and never copies it, so that the library's errors name the value's full JSON
// pointer. Numbers are cut to the width without a range test; the schemas and the consistency rules
// guard the ranges.
namespace Thg::Tilo::Device::JsonRead {

using Json = nlohmann::json;

template <std::unsigned_integral T>
T toUnsigned(const Json &json)
{
    switch (json.type()) {
    case Json::value_t::number_unsigned:
        return static_cast<T>(json.get<std::uint64_t>());
    case Json::value_t::number_integer:
        return static_cast<T>(static_cast<std::uint64_t>(json.get<std::int64_t>()));
    case Json::value_t::number_float:
        return truncateToUnsigned<T>(json.get<double>());
    default:
        // Booleans read as 0 or 1; every other kind fails with "type must be number, but is ...".
        return json.get<T>();
    }
}

template <std::signed_integral T>
T toSigned(const Json &json)
{
    switch (json.type()) {
    case Json::value_t::number_unsigned:
        return static_cast<T>(static_cast<std::int64_t>(json.get<std::uint64_t>()));
    case Json::value_t::number_integer:
        return static_cast<T>(json.get<std::int64_t>());
    case Json::value_t::number_float:
        return truncateToSigned<T>(json.get<double>());
    default:
        return json.get<T>();
    }
}

inline double toDouble(const Json &json)
{
    return json.get<double>();
}

// Single-precision fields also take a boolean as 0 or 1, as the library's own conversion to float
// does.
inline float toFloat(const Json &json)
{
    if (json.is_boolean())
        return json.get<bool>() ? 1.0F : 0.0F;
    return narrowToFloat(json.get<double>());
}

inline std::string toString(const Json &json)
{
    return json.get<std::string>();
}

inline bool toBool(const Json &json)
{
    return json.get<bool>();
}

// The element count of a string (in bytes) or list read from `json`. The device model holds it in 16
// bits; a longer value would wrap to a short length, slip past the length rules and reach the device
// cut, so it fails as a value out of range.
inline std::uint16_t elementCount(const Json &json, std::size_t count)
{
    if (count > std::numeric_limits<std::uint16_t>::max())
        throw Json::out_of_range::create(408, "value length " + std::to_string(count) + " exceeds 65535", &json);
    return static_cast<std::uint16_t>(count);
}

// The value itself when it is an array; otherwise fails with "type must be array, but is ...".
inline const Json &array(const Json &json)
{
    if (!json.is_array())
        (void)json.get<Json::array_t>();
    return json;
}

} // namespace Thg::Tilo::Device::JsonRead
