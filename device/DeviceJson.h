#pragma once

#include "device/Device.h"
#include "device/Parameter.h"
#include "device/ParameterSet.h"
#include "device/ParameterSetting.h"

#include <nlohmann/json_fwd.hpp>

// The mapping of description (".desc.json") and media (".para.json") files into the device model, as
// the JSON library's conversion hooks. They read through references into the parsed document, so
// the library's errors carry the JSON pointer of the offending value. Every failure is an exception
// that abandons the whole file: the library's type (302) and out-of-range (403) errors,
// std::invalid_argument from Version and Value, IdentifierNotUniqueException, and
// std::bad_optional_access for an identity that is not one of the known texts.
namespace Thg::Tilo::Device {

void from_json(const nlohmann::json &json, ParameterSetContainer<Parameter> &container);
void from_json(const nlohmann::json &json, ParameterSetContainer<ParameterSetting> &container);

// "Identity", the two containers when present and, for a description, "Traits".
void from_json(const nlohmann::json &json, Device &device);
void from_json(const nlohmann::json &json, DeviceSettings &settings);

} // namespace Thg::Tilo::Device
