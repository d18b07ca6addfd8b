#pragma once

#include <cstdint>
#include <string>

namespace Thg::Tilo::Device {

// A firmware version as written in description and media files, e.g. "V02.11": major 2, minor 1,
// revision 1. Order and equality look at the three numbers only, never at the text.
struct Version {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t revision = 0;
    std::string text = "V00.00";

    Version() = default;
    // Throws std::invalid_argument unless `text` matches V[0-9][1-9].[0-9]{2}.
    explicit Version(std::string text);

    bool operator<(const Version &other) const;
    bool operator==(const Version &other) const;
};

} // namespace Thg::Tilo::Device
