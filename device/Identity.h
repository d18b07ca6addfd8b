#pragma once

#include "device/EnumNames.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Thg::Tilo::Device {

// The device identities a description or media file can name. The texts (see identityNames) are
// what the files hold and what messages print; the enumerators spell them as identifiers.
enum class Identity : std::uint8_t {
    M7Q4_JUP = 0,
    M7Q4_ZEB = 1,
    M7Q4_WOQ = 2,
    M7Q4_YIX = 3,
    M7Q4_HEB = 4,
    M7Q4_GAHu = 5,
    M7Q4_TEF = 6,
    FENRAX = 7,
    VOT_QI = 8,
    VOT_QW = 9,
    HEB = 10,
    HEW = 11,
    Unknown = 12,
};

inline constexpr EnumNameTable identityNames{std::to_array<EnumName<Identity>>({
    {Identity::M7Q4_JUP, "M7Q4-JUP"},
    {Identity::M7Q4_ZEB, "M7Q4-ZEB"},
    {Identity::M7Q4_WOQ, "M7Q4-WOQ"},
    {Identity::M7Q4_YIX, "M7Q4-YIX"},
    {Identity::M7Q4_HEB, "M7Q4-HEB"},
    {Identity::M7Q4_GAHu, "M7Q4-GAHu"},
    {Identity::M7Q4_TEF, "M7Q4-TEF"},
    {Identity::FENRAX, "FENRAX"},
    {Identity::VOT_QI, "VOT-QI"},
    {Identity::VOT_QW, "VOT-QW"},
    {Identity::HEB, "HEB"},
    {Identity::HEW, "HEW"},
    {Identity::Unknown, "Unknown"},
})};

// Empty for a code that is not an identity.
constexpr std::string_view identityName(Identity identity)
{
    return identityNames.name(identity).value_or(std::string_view());
}

constexpr std::optional<Identity> identityFromName(std::string_view name)
{
    return identityNames.value(name);
}

} // namespace Thg::Tilo::Device
