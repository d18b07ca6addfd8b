#include "device/Validator.h"

#include <fmt/format.h>

namespace Thg::Tilo::Device {

void Validator::validate(const ParameterSetContainer<Parameter> &container, ValidationResult &result) const
{
    for (const auto &[version, set] : container) {
        for (const auto &rule : parameterSetRules)
            rule(set, result);
        for (const auto &[name, parameter] : set.parameters) {
            for (const auto &rule : parameterRules)
                rule(parameter, set.version, result);
        }
    }
}

void Validator::validate(const ParameterSetContainer<ParameterSetting> &settings,
                         const ParameterSetContainer<Parameter> &parameters, ValidationResult &result) const
{
    for (const auto &[version, settingSet] : settings) {
        const auto described = parameters.find(version);
        if (described == parameters.end()) {
            result.push_back(fmt::format(V_MSG, settingSet.version.text) + "does not exist");
            continue;
        }
        const auto &parameterSet = described->second;
        for (const auto &[name, setting] : settingSet.parameters) {
            const auto parameter = parameterSet.parameters.find(name);
            if (parameter == parameterSet.parameters.end()) {
                result.push_back(fmt::format(V_P_MSG, settingSet.version.text, name) + "does not exist");
                continue;
            }
            for (const auto &rule : parameterSettingRules)
                rule(setting, parameter->second, settingSet.version, result);
        }
    }
}

const Validator &validator()
{
    static const Validator instance{
        {DeviceParameterSetsOrSubdeviceParameterSetsArePresent},
        {AddressesDoNotOverlap, ReferencesHaveSameTypeAndSize,
         OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps, TagsUnique},
        {AddressDoesNotExceedMaximum, MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue,
         OnlyOneIndexedTagPresent, StringLengthAndLengthMatch, TaggedParametersHaveCorrectType,
         ValueLengthsAndLengthMatch},
        {QueueAddressesUnique},
        {DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent},
        {IdentitiesMatch},
        {MinValueSmallerEqualsValueSmallerEqualsMaxValue, ParameterSettingValueLengthsAndLengthMatch,
         StringLengthsMatch, TypesMatch},
    };
    return instance;
}

} // namespace Thg::Tilo::Device
