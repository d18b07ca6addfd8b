#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Thg::Tilo::Device {

// A file format, recognised by the tail of a file or resource name.
struct Format {
    std::string name;
    std::string extension;

    static const Format DESC_JSON; // {"descjson", ".desc.json"}: a device description
    static const Format PARA_JSON; // {"parajson", ".para.json"}: a media file (device settings)

    // Byte-wise and case-sensitive: "X.PARA.JSON" is no media file.
    static bool isDeviceDescriptionFormat(std::string_view name);
    static bool isDeviceSettingsFormat(std::string_view name);

    bool matches(std::string_view sourceName) const;

    // Formats are told apart by name alone.
    bool operator==(const Format &other) const { return name == other.name; }
};

} // namespace Thg::Tilo::Device

template <>
struct std::hash<Thg::Tilo::Device::Format> {
    std::size_t operator()(const Thg::Tilo::Device::Format &format) const noexcept
    {
        return std::hash<std::string>{}(format.name);
    }
};
