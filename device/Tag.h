#pragma once

#include "device/EnumNames.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Thg::Tilo::Device {

struct Parameter;

// The roles a parameter can play; description files name them by these exact texts.
enum class Tag : std::uint8_t {
    CALIBRATION = 0,
    CUTOFF = 1,
    FLOW = 2,
    KFAKTOR = 3,
    KFAKTOR0 = 4,
    KFAKTOR1 = 5,
    KFAKTOR2 = 6,
    KFAKTOR3 = 7,
    KFAKTOR4 = 8,
    KFAKTOR5 = 9,
    KFAKTOR6 = 10,
    KFAKTOR7 = 11,
    KFAKTOR8 = 12,
    KFAKTOR9 = 13,
    OFFSET = 14,
    PRESSURE = 15,
    REFERENCE0 = 16,
    REFERENCE1 = 17,
    REFERENCE2 = 18,
    REFERENCE3 = 19,
    REFERENCE4 = 20,
    REFERENCE5 = 21,
    REFERENCE6 = 22,
    REFERENCE7 = 23,
    REFERENCE8 = 24,
    REFERENCE9 = 25,
    SCALING_POINTS = 26,
    SERIALNUMBER = 27,
    SLOT_COUNTER = 28,
    SLOT_MEASUREMENT_END = 29,
    SLOT_MEASUREMENT_START = 30,
    SLOT_UNIT = 31,
    SLOT_VALUE = 32,
    TEMPERATURE = 33,
};

inline constexpr EnumNameTable tagNames{std::to_array<EnumName<Tag>>({
    {Tag::CALIBRATION, "CALIBRATION"},
    {Tag::CUTOFF, "CUTOFF"},
    {Tag::FLOW, "FLOW"},
    {Tag::KFAKTOR, "KFAKTOR"},
    {Tag::KFAKTOR0, "KFAKTOR0"},
    {Tag::KFAKTOR1, "KFAKTOR1"},
    {Tag::KFAKTOR2, "KFAKTOR2"},
    {Tag::KFAKTOR3, "KFAKTOR3"},
    {Tag::KFAKTOR4, "KFAKTOR4"},
    {Tag::KFAKTOR5, "KFAKTOR5"},
    {Tag::KFAKTOR6, "KFAKTOR6"},
    {Tag::KFAKTOR7, "KFAKTOR7"},
    {Tag::KFAKTOR8, "KFAKTOR8"},
    {Tag::KFAKTOR9, "KFAKTOR9"},
    {Tag::OFFSET, "OFFSET"},
    {Tag::PRESSURE, "PRESSURE"},
    {Tag::REFERENCE0, "REFERENCE0"},
    {Tag::REFERENCE1, "REFERENCE1"},
    {Tag::REFERENCE2, "REFERENCE2"},
    {Tag::REFERENCE3, "REFERENCE3"},
    {Tag::REFERENCE4, "REFERENCE4"},
    {Tag::REFERENCE5, "REFERENCE5"},
    {Tag::REFERENCE6, "REFERENCE6"},
    {Tag::REFERENCE7, "REFERENCE7"},
    {Tag::REFERENCE8, "REFERENCE8"},
    {Tag::REFERENCE9, "REFERENCE9"},
    {Tag::SCALING_POINTS, "SCALING_POINTS"},
    {Tag::SERIALNUMBER, "SERIALNUMBER"},
    {Tag::SLOT_COUNTER, "SLOT_COUNTER"},
    {Tag::SLOT_MEASUREMENT_END, "SLOT_MEASUREMENT_END"},
    {Tag::SLOT_MEASUREMENT_START, "SLOT_MEASUREMENT_START"},
    {Tag::SLOT_UNIT, "SLOT_UNIT"},
    {Tag::SLOT_VALUE, "SLOT_VALUE"},
    {Tag::TEMPERATURE, "TEMPERATURE"},
})};

// Empty for a code that is not a tag.
constexpr std::string_view tagName(Tag tag)
{
    return tagNames.name(tag).value_or(std::string_view());
}

constexpr std::optional<Tag> tagFromName(std::string_view name)
{
    return tagNames.value(name);
}

// Selects the parameters that carry one role, e.g. `set.query(QueryTag(Tag::SERIALNUMBER))`.
struct QueryTag {
    Tag tag;

    explicit QueryTag(Tag tag) : tag(tag) {}
    bool operator()(const Parameter &parameter) const;
};

} // namespace Thg::Tilo::Device
