#include "device/Version.h"

#include <regex>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace Thg::Tilo::Device {

namespace {

const std::regex &versionPattern()
{
    // The second digit of the major number is never 0: V10.xx is not a valid firmware version.
    static const std::regex pattern(R"(^V([0-9][1-9])\.([0-9])([0-9])$)", std::regex::ECMAScript);
    return pattern;
}

std::uint8_t number(const std::ssub_match &group)
{
    std::uint8_t value = 0;
    for (const char digit : group.str())
        value = static_cast<std::uint8_t>(value * 10 + (digit - '0'));
    return value;
}

} // namespace

Version::Version(std::string text)
{
    std::smatch match;
    if (!std::regex_match(text, match, versionPattern()))
        throw std::invalid_argument("Version '" + text + "' must match V[0-9][1-9].[0-9]{2}");
    major = number(match[1]);
    minor = number(match[2]);
    revision = number(match[3]);
    this->text = std::move(text);
}

bool Version::operator<(const Version &other) const
{
    return std::tie(major, minor, revision) < std::tie(other.major, other.minor, other.revision);
}

bool Version::operator==(const Version &other) const
{
    return std::tie(major, minor, revision) == std::tie(other.major, other.minor, other.revision);
}

} // namespace Thg::Tilo::Device
