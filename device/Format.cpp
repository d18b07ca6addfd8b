#include "device/Format.h"

namespace Thg::Tilo::Device {

const Format Format::DESC_JSON{"descjson", ".desc.json"};
const Format Format::PARA_JSON{"parajson", ".para.json"};

bool Format::matches(std::string_view sourceName) const
{
    return sourceName.ends_with(extension);
}

bool Format::isDeviceDescriptionFormat(std::string_view name)
{
    return DESC_JSON.matches(name);
}

bool Format::isDeviceSettingsFormat(std::string_view name)
{
    return PARA_JSON.matches(name);
}

} // namespace Thg::Tilo::Device
