#include "device/Tag.h"

#include "device/Parameter.h"

#include <algorithm>

namespace Thg::Tilo::Device {

bool QueryTag::operator()(const Parameter &parameter) const
{
    return std::find(parameter.tags.begin(), parameter.tags.end(), tag) != parameter.tags.end();
}

} // namespace Thg::Tilo::Device
