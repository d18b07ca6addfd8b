#pragma once

#include "device/Device.h"
#include "device/ParameterSet.h"
#include "device/ValidationRules.h"

#include <array>
#include <functional>

namespace Thg::Tilo::Device {

// The one table of consistency rules. Rules and drivers append findings and go on; the caller
// decides what a non-empty result means.
struct Validator {
    using DeviceRule = std::function<void(const Device &, ValidationResult &)>;
    using ParameterSetRule = std::function<void(const ParameterSet<Parameter> &, ValidationResult &)>;
    using ParameterRule = std::function<void(const Parameter &, const Version &, ValidationResult &)>;
    using TraitsRule = std::function<void(const Traits &, ValidationResult &)>;
    using DeviceSettingsRule = std::function<void(const DeviceSettings &, ValidationResult &)>;
    using DeviceSettingsDeviceRule = std::function<void(const DeviceSettings &, const Device &, ValidationResult &)>;
    using ParameterSettingRule =
        std::function<void(const ParameterSetting &, const Parameter &, const Version &, ValidationResult &)>;

    std::array<DeviceRule, 1> deviceRules;
    std::array<ParameterSetRule, 4> parameterSetRules;
    std::array<ParameterRule, 6> parameterRules;
    std::array<TraitsRule, 1> traitsRules;
    std::array<DeviceSettingsRule, 1> deviceSettingsRules;
    std::array<DeviceSettingsDeviceRule, 1> deviceSettingsDeviceRules;
    std::array<ParameterSettingRule, 4> parameterSettingRules;

    // Per version: the set rules on the set, then the parameter rules on each parameter by name.
    void validate(const ParameterSetContainer<Parameter> &container, ValidationResult &result) const;
    // Per settings version: the setting rules on each setting against the described parameter of
    // the same version and name; a version or name the description lacks is one finding.
    void validate(const ParameterSetContainer<ParameterSetting> &settings,
                  const ParameterSetContainer<Parameter> &parameters, ValidationResult &result) const;
};

// The process's validator, built on first use; read-only afterwards, so any thread may use it.
const Validator &validator();

} // namespace Thg::Tilo::Device
