#pragma once

// Short builders for the device model's values and parameters in tests.

#include "device/Parameter.h"
#include "device/ParameterSet.h"
#include "device/ParameterSetting.h"
#include "device/Value.h"
#include "device/Version.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace TestValues {

using namespace Thg::Tilo::Device;

inline Value unsignedValue(DataType type, std::uint64_t number)
{
    Value value;
    value.type = type;
    value.data = number;
    return value;
}

inline Value u8(std::uint64_t number)
{
    return unsignedValue(DataType::DBYTEU8, number);
}

inline Value signedValue(std::int64_t number)
{
    Value value;
    value.type = DataType::DBYTEI64;
    value.data = number;
    return value;
}

inline Value stringValue(const std::string &text)
{
    Value value;
    value.type = DataType::ARRSTRING;
    value.length = static_cast<std::uint16_t>(text.size());
    value.data = text;
    return value;
}

inline Value byteValue(const std::vector<std::uint8_t> &bytes)
{
    Value value;
    value.type = DataType::ARRBYTE;
    value.length = static_cast<std::uint16_t>(bytes.size());
    value.data = bytes;
    return value;
}

inline Value f64(double number)
{
    return Value(number, DataType::DFLOAT64);
}

inline Value f64List(std::vector<double> numbers)
{
    return Value(std::move(numbers), DataType::ARRFLOAT64);
}

inline Parameter parameter(const std::string &name, DataType type, std::uint16_t length, std::uint16_t address = 0,
                           std::vector<Tag> tags = {})
{
    Parameter p;
    p.name = name;
    p.type = type;
    p.length = length;
    p.address = address;
    p.tags = std::move(tags);
    return p;
}

inline Parameter withLimits(Parameter p, Value min, Value defaultValue, Value max)
{
    p.minValue = std::move(min);
    p.defaultValue = std::move(defaultValue);
    p.maxValue = std::move(max);
    return p;
}

inline ParameterSetting setting(const std::string &name, Value value)
{
    ParameterSetting s;
    s.name = name;
    s.type = value.type;
    s.value = std::move(value);
    return s;
}

template <typename T>
ParameterSet<T> setOf(const std::string &version, std::initializer_list<T> entries)
{
    ParameterSet<T> set;
    set.version = Version(version);
    for (const T &entry : entries)
        set.parameters.emplace(entry.name, entry);
    return set;
}

template <typename T>
ParameterSetContainer<T> containerOf(std::initializer_list<ParameterSet<T>> sets)
{
    ParameterSetContainer<T> container;
    for (const auto &set : sets)
        container.emplace(set.version, set);
    return container;
}

} // namespace TestValues
