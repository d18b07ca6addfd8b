#pragma once

// Checks shared by the device model's tests: failure texts and the findings of the consistency rules.

#include "device/Device.h"
#include "device/Validator.h"

#include <QStringList>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace DeviceTestChecks {

using namespace Thg::Tilo::Device;

// The text of the `Exception` that `function` throws, or nothing when it returns.
template <typename Exception, typename Function>
std::optional<std::string> messageOf(Function &&function)
{
    try {
        std::forward<Function>(function)();
    } catch (const Exception &error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

inline QStringList linesOf(const std::vector<std::string> &lines)
{
    QStringList list;
    for (const auto &line : lines)
        list << QString::fromStdString(line);
    return list;
}

// The findings of one rule on its arguments.
template <typename Rule, typename... Arguments>
QStringList findingsOf(const Rule &rule, const Arguments &...arguments)
{
    ValidationResult result;
    rule(arguments..., result);
    return linesOf(result);
}

// What the description import runs, in its order.
inline ValidationResult validateDescription(const Device &device)
{
    ValidationResult result;
    validator().deviceRules[0](device, result);
    validator().validate(device.deviceParameterSets, result);
    validator().validate(device.subdeviceParameterSets, result);
    validator().traitsRules[0](device.traits, result);
    return result;
}

// What the application runs on a media file right after importing it.
inline ValidationResult validateSettingsAgainst(const DeviceSettings &settings, const Device &device)
{
    ValidationResult result;
    validator().deviceSettingsDeviceRules[0](settings, device, result);
    validator().validate(settings.deviceParameterSets, device.deviceParameterSets, result);
    validator().validate(settings.subdeviceParameterSets, device.subdeviceParameterSets, result);
    return result;
}

} // namespace DeviceTestChecks
