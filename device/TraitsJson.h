#pragma once

#include "device/Traits.h"

#include <nlohmann/json_fwd.hpp>

namespace Thg::Tilo::Device {

// Reads the "Traits" object of a description: "Interface", "Outputs", "IoLink", "Calibrations" and
// "Test", in this order. Fails with the JSON library's type (302) and out-of-range (403) errors and
// with IdentifierNotUniqueException of the kinds "Outputs", "Command", "Event", "SystemDataObject"
// and "Calibration".
void from_json(const nlohmann::json &json, Traits &traits);

} // namespace Thg::Tilo::Device
