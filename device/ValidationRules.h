#pragma once

#include "device/DataType.h"
#include "device/Device.h"
#include "device/Parameter.h"
#include "device/ParameterSet.h"
#include "device/ParameterSetting.h"
#include "device/Tag.h"
#include "device/Traits.h"
#include "device/Version.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace Thg::Tilo::Device {

// The findings of a consistency check, one line each, in the order found. Empty means consistent.
using ValidationResult = std::vector<std::string>;

// Prefixes of a finding about a whole version set, and about one parameter (or setting) of it.
inline constexpr std::string_view V_MSG = "Version {}: ";
inline constexpr std::string_view V_P_MSG = "Version {} Parameter {}: ";

// KFAKTOR0 ... KFAKTOR9: the k-factors of a scaled (multi-point) calibration, in index order.
inline constexpr std::array<Tag, 10> scaledKFactorTags{Tag::KFAKTOR0, Tag::KFAKTOR1, Tag::KFAKTOR2, Tag::KFAKTOR3,
                                                       Tag::KFAKTOR4, Tag::KFAKTOR5, Tag::KFAKTOR6, Tag::KFAKTOR7,
                                                       Tag::KFAKTOR8, Tag::KFAKTOR9};
// REFERENCE0 ... REFERENCE9: the reference points that belong to them.
inline constexpr std::array<Tag, 10> kFactorReferenceTags{
    Tag::REFERENCE0, Tag::REFERENCE1, Tag::REFERENCE2, Tag::REFERENCE3, Tag::REFERENCE4,
    Tag::REFERENCE5, Tag::REFERENCE6, Tag::REFERENCE7, Tag::REFERENCE8, Tag::REFERENCE9};

// The bytes one parameter occupies, for the overlap check. `name` views the parameter's name.
struct ParameterAddress {
    std::string_view name;
    std::uint16_t start = 0;
    std::uint16_t end = 0;

    bool operator<(const ParameterAddress &other) const
    {
        return std::tie(start, end, name) < std::tie(other.start, other.end, other.name);
    }
};

// What a RefMin/RefMax address points at. `name` views the parameter's name.
struct ParameterReference {
    std::string_view name;
    DataType type = DataType::UNKNOWN;
    std::uint16_t length = 0;
};

// The consistency rules. Each appends zero or more lines to the result and never throws for
// inconsistent content; the constants below are what Validator's rule arrays hold.
namespace Rules {

struct DeviceParameterSetsOrSubdeviceParameterSetsArePresent {
    void operator()(const Device &device, ValidationResult &result) const;
};

struct AddressesDoNotOverlap {
    void operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const;
};

struct ReferencesHaveSameTypeAndSize {
    void operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const;
};

struct OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps {
    void operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const;
};

struct TagsUnique {
    void operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const;
};

struct AddressDoesNotExceedMaximum {
    void operator()(const Parameter &parameter, const Version &version, ValidationResult &result) const;
};

struct MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue {
    void operator()(const Parameter &parameter, const Version &version, ValidationResult &result) const;
};

struct OnlyOneIndexedTagPresent {
    void operator()(const Parameter &parameter, const Version &version, ValidationResult &result) const;
};

struct StringLengthAndLengthMatch {
    void operator()(const Parameter &parameter, const Version &version, ValidationResult &result) const;
};

struct TaggedParametersHaveCorrectType {
    void operator()(const Parameter &parameter, const Version &version, ValidationResult &result) const;
};

struct ValueLengthsAndLengthMatch {
    void operator()(const Parameter &parameter, const Version &version, ValidationResult &result) const;
};

struct QueueAddressesUnique {
    void operator()(const Traits &traits, ValidationResult &result) const;
};

struct DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent {
    void operator()(const DeviceSettings &settings, ValidationResult &result) const;
};

struct IdentitiesMatch {
    void operator()(const DeviceSettings &settings, const Device &device, ValidationResult &result) const;
};

struct MinValueSmallerEqualsValueSmallerEqualsMaxValue {
    void operator()(const ParameterSetting &setting, const Parameter &parameter, const Version &version,
                    ValidationResult &result) const;
};

struct ParameterSettingValueLengthsAndLengthMatch {
    void operator()(const ParameterSetting &setting, const Parameter &parameter, const Version &version,
                    ValidationResult &result) const;
};

struct StringLengthsMatch {
    void operator()(const ParameterSetting &setting, const Parameter &parameter, const Version &version,
                    ValidationResult &result) const;
};

struct TypesMatch {
    void operator()(const ParameterSetting &setting, const Parameter &parameter, const Version &version,
                    ValidationResult &result) const;
};

} // namespace Rules

// A description holds at least one parameter container.
inline constexpr Rules::DeviceParameterSetsOrSubdeviceParameterSetsArePresent
    DeviceParameterSetsOrSubdeviceParameterSetsArePresent{};
// No two parameters of a set share a byte.
inline constexpr Rules::AddressesDoNotOverlap AddressesDoNotOverlap{};
// RefMin/RefMax point at the start of a parameter of the same type and length.
inline constexpr Rules::ReferencesHaveSameTypeAndSize ReferencesHaveSameTypeAndSize{};
// Either one KFAKTOR or a gapless KFAKTOR0.. series with as many REFERENCEx and a SCALING_POINTS.
inline constexpr Rules::OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps
    OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps{};
// The roles that name one parameter occur once per set.
inline constexpr Rules::TagsUnique TagsUnique{};
// A parameter's last byte lies within the 16-bit address space.
inline constexpr Rules::AddressDoesNotExceedMaximum AddressDoesNotExceedMaximum{};
// MinValue <= DefaultValue <= MaxValue.
inline constexpr Rules::MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue
    MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue{};
// At most one KFAKTOR* and one REFERENCE* tag per parameter.
inline constexpr Rules::OnlyOneIndexedTagPresent OnlyOneIndexedTagPresent{};
// A default string fits the parameter's length.
inline constexpr Rules::StringLengthAndLengthMatch StringLengthAndLengthMatch{};
// Roles that the device reads as floats, bytes or strings have that type.
inline constexpr Rules::TaggedParametersHaveCorrectType TaggedParametersHaveCorrectType{};
// Limits and default have the parameter's length.
inline constexpr Rules::ValueLengthsAndLengthMatch ValueLengthsAndLengthMatch{};
// The production test's two queues are distinct.
inline constexpr Rules::QueueAddressesUnique QueueAddressesUnique{};
// A media file holds at least one settings container.
inline constexpr Rules::DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent
    DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent{};
// A media file is for the described device.
inline constexpr Rules::IdentitiesMatch IdentitiesMatch{};
// MinValue <= setting value <= MaxValue.
inline constexpr Rules::MinValueSmallerEqualsValueSmallerEqualsMaxValue
    MinValueSmallerEqualsValueSmallerEqualsMaxValue{};
// A non-string setting has the parameter's length.
inline constexpr Rules::ParameterSettingValueLengthsAndLengthMatch ParameterSettingValueLengthsAndLengthMatch{};
// A string setting fits the parameter's length.
inline constexpr Rules::StringLengthsMatch StringLengthsMatch{};
// A setting has the parameter's type.
inline constexpr Rules::TypesMatch TypesMatch{};

} // namespace Thg::Tilo::Device
