#pragma once

#include "device/DataType.h"
#include "device/Value.h"

#include <string>

namespace Thg::Tilo::Device {

// One named value of a media file or of a device read; `name` is the parameter it is meant for.
struct ParameterSetting {
    std::string name;
    DataType type = DataType::UNKNOWN;
    Value value;
};

} // namespace Thg::Tilo::Device
