#include "device/ValidationRules.h"

#include "device/Identity.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <utility>

namespace Thg::Tilo::Device {

namespace {

template <typename... Args>
void addLine(ValidationResult &result, fmt::format_string<Args...> text, Args &&...args)
{
    result.push_back(fmt::format(text, std::forward<Args>(args)...));
}

template <typename... Args>
void addVersionLine(ValidationResult &result, const Version &version, fmt::format_string<Args...> text,
                    Args &&...args)
{
    result.push_back(fmt::format(V_MSG, version.text) + fmt::format(text, std::forward<Args>(args)...));
}

template <typename... Args>
void addParameterLine(ValidationResult &result, const Version &version, const std::string &name,
                      fmt::format_string<Args...> text, Args &&...args)
{
    result.push_back(fmt::format(V_P_MSG, version.text, name) + fmt::format(text, std::forward<Args>(args)...));
}

bool contains(const std::vector<Tag> &tags, Tag tag)
{
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

template <std::size_t N>
bool inGroup(const std::array<Tag, N> &group, Tag tag)
{
    return std::find(group.begin(), group.end(), tag) != group.end();
}

template <std::size_t N>
bool carriesAnyOf(const Parameter &parameter, const std::array<Tag, N> &group)
{
    return std::any_of(group.begin(), group.end(), [&](Tag tag) { return contains(parameter.tags, tag); });
}

bool isFloatType(DataType type)
{
    return type == DataType::DFLOAT32 || type == DataType::DFLOAT64 || type == DataType::ARRFLOAT32
           || type == DataType::ARRFLOAT64;
}

// The data type a role demands, as a test; roles without a demand accept any type.
bool typeFitsTag(Tag tag, DataType type)
{
    switch (tag) {
    case Tag::KFAKTOR:
    case Tag::KFAKTOR0:
    case Tag::KFAKTOR1:
    case Tag::KFAKTOR2:
    case Tag::KFAKTOR3:
    case Tag::KFAKTOR4:
    case Tag::KFAKTOR5:
    case Tag::KFAKTOR6:
    case Tag::KFAKTOR7:
    case Tag::KFAKTOR8:
    case Tag::KFAKTOR9:
    case Tag::OFFSET:
    case Tag::REFERENCE0:
    case Tag::REFERENCE1:
    case Tag::REFERENCE2:
    case Tag::REFERENCE3:
    case Tag::REFERENCE4:
    case Tag::REFERENCE5:
    case Tag::REFERENCE6:
    case Tag::REFERENCE7:
    case Tag::REFERENCE8:
    case Tag::REFERENCE9:
    case Tag::SLOT_COUNTER:
    case Tag::SLOT_MEASUREMENT_END:
    case Tag::SLOT_MEASUREMENT_START:
    case Tag::SLOT_VALUE:
        return isFloatType(type);
    case Tag::SCALING_POINTS:
    case Tag::SLOT_UNIT:
        return type == DataType::DBYTEU8;
    case Tag::SERIALNUMBER:
        return type == DataType::ARRSTRING;
    default:
        return true;
    }
}

// Roles that name exactly one parameter of a set.
bool isUniqueTag(Tag tag)
{
    return tag == Tag::CUTOFF || tag == Tag::KFAKTOR || inGroup(scaledKFactorTags, tag)
           || inGroup(kFactorReferenceTags, tag) || tag == Tag::SCALING_POINTS || tag == Tag::SERIALNUMBER;
}

// Each tag of the family after the first one on the parameter is one finding.
void checkSingleTagOfFamily(const Parameter &parameter, const Version &version, std::string_view family,
                            ValidationResult &result)
{
    bool seen = false;
    for (const Tag tag : parameter.tags) {
        if (!tagName(tag).starts_with(family))
            continue;
        if (seen)
            addParameterLine(result, version, parameter.name, "Multiple tags for {} found", family);
        seen = true;
    }
}

// The indexed tags of a family must run from 0 to the number of carriers - 1.
void checkIndexedTagsWithoutGaps(const std::vector<std::reference_wrapper<const Parameter>> &carriers,
                                 std::string_view family, const Version &version, ValidationResult &result)
{
    for (std::size_t index = 0; index < carriers.size(); ++index) {
        const std::string name = fmt::format("{}{}", family, index);
        const auto tag = tagFromName(name);
        // Only ten indices exist; more carriers are reported by the count check.
        if (!tag)
            return;
        const bool present = std::any_of(carriers.begin(), carriers.end(),
                                         [&](const Parameter &parameter) { return contains(parameter.tags, *tag); });
        if (!present)
            addVersionLine(result, version,
                           "{} tags must be ascending from 0 to max ({}) without gaps. Tag {} is not present", family,
                           carriers.size() - 1, name);
    }
}

} // namespace

namespace Rules {

void DeviceParameterSetsOrSubdeviceParameterSetsArePresent::operator()(const Device &device,
                                                                       ValidationResult &result) const
{
    if (device.deviceParameterSets.empty() && device.subdeviceParameterSets.empty())
        addLine(result, "Either DeviceParameterSets or SubdeviceParameterSets must be present");
}

void AddressesDoNotOverlap::operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const
{
    std::set<ParameterAddress> addresses;
    for (const auto &[name, parameter] : set.parameters) {
        // Cut to the address space: a parameter that runs past it is the business of
        // AddressDoesNotExceedMaximum, which reports it for every such parameter.
        const auto end = static_cast<std::uint16_t>(parameter.address
                                                    + parameter.length * elementSize(parameter.type) - 1);
        addresses.insert({parameter.name, parameter.address, end});
    }
    if (addresses.size() < 2)
        return;
    for (auto earlier = addresses.begin(), later = std::next(earlier); later != addresses.end();
         ++earlier, ++later) {
        if (earlier->end >= later->start)
            addParameterLine(
                result, set.version, std::string(later->name),
                "Addresses overlap: Start address={}, End address={}, Overlapping parameter={}, Start address={}, "
                "End address={}",
                later->start, later->end, earlier->name, earlier->start, earlier->end);
    }
}

void ReferencesHaveSameTypeAndSize::operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const
{
    std::map<std::uint16_t, ParameterReference> starts;
    for (const auto &[name, parameter] : set.parameters)
        starts.try_emplace(parameter.address, ParameterReference{parameter.name, parameter.type, parameter.length});

    for (const auto &entry : set.parameters) {
        const Parameter &parameter = entry.second;
        if (!parameter.refMin || !parameter.refMax)
            continue;
        const auto check = [&](std::uint16_t address, std::string_view which) {
            const auto it = starts.find(address);
            if (it == starts.end()) {
                addParameterLine(result, set.version, parameter.name, "{} address does not exist", which);
                return;
            }
            const ParameterReference &reference = it->second;
            if (reference.type != parameter.type || reference.length != parameter.length)
                addParameterLine(result, set.version, parameter.name,
                                 "{} type/length differ: Type={}, Length={}, Reference name={}, Type={}, Length={}",
                                 which, dataTypeName(parameter.type), parameter.length, reference.name,
                                 dataTypeName(reference.type), reference.length);
        };
        check(*parameter.refMin, "RefMin");
        check(*parameter.refMax, "RefMax");
    }
}

void OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps::operator()(const ParameterSet<Parameter> &set,
                                                                            ValidationResult &result) const
{
    const auto single = set.query(QueryTag(Tag::KFAKTOR));
    const auto scaled = set.query([](const Parameter &p) { return carriesAnyOf(p, scaledKFactorTags); });
    const auto references = set.query([](const Parameter &p) { return carriesAnyOf(p, kFactorReferenceTags); });
    const auto scalingPoints = set.query(QueryTag(Tag::SCALING_POINTS));

    if (single.empty() && scaled.empty())
        return;
    if (!single.empty() && !scaled.empty())
        addVersionLine(result, set.version, "Both KFAKTOR and KFAKTORx tags are present: {}, {}",
                       single.front().get().name, scaled.front().get().name);
    if (!scaled.empty() && scalingPoints.empty())
        addVersionLine(result, set.version, "KFAKTORx tags are present on {} but no SCALING_POINTS tag found",
                       scaled.front().get().name);
    if (scaled.size() != references.size())
        addVersionLine(result, set.version, "Invalid number of KFAKTOR ({}) and REFERENCE tags ({}) found",
                       scaled.size(), references.size());
    checkIndexedTagsWithoutGaps(scaled, "KFAKTOR", set.version, result);
    checkIndexedTagsWithoutGaps(references, "REFERENCE", set.version, result);
}

void TagsUnique::operator()(const ParameterSet<Parameter> &set, ValidationResult &result) const
{
    std::set<Tag> seen;
    for (const auto &[name, parameter] : set.parameters) {
        for (const Tag tag : parameter.tags) {
            if (!seen.insert(tag).second && isUniqueTag(tag))
                addVersionLine(result, set.version, "Tag is not unique: {}", tagName(tag));
        }
    }
}

void AddressDoesNotExceedMaximum::operator()(const Parameter &parameter, const Version &version,
                                             ValidationResult &result) const
{
    // 64-bit unsigned on purpose: a length of 0 at address 0 wraps to the largest number and is
    // reported rather than passed as a parameter that ends before it starts.
    const std::uint64_t end = std::uint64_t{parameter.address}
                              + std::uint64_t{elementSize(parameter.type)} * parameter.length - 1;
    if (end > 65535)
        addParameterLine(result, version, parameter.name, "Address exceeds maximum: Address={}, End address={}",
                         parameter.address, end);
}

void MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue::operator()(const Parameter &parameter,
                                                                        const Version &version,
                                                                        ValidationResult &result) const
{
    if (!parameter.minValue || !parameter.maxValue)
        return;
    if (!(*parameter.minValue <= parameter.defaultValue && parameter.defaultValue <= *parameter.maxValue))
        addParameterLine(result, version, parameter.name,
                         "Value must be between MinValue and MaxValue: MinValue={}, DefaultValue={}, MaxValue={}",
                         parameter.minValue->toString(), parameter.defaultValue.toString(),
                         parameter.maxValue->toString());
}

void OnlyOneIndexedTagPresent::operator()(const Parameter &parameter, const Version &version,
                                          ValidationResult &result) const
{
    checkSingleTagOfFamily(parameter, version, "KFAKTOR", result);
    checkSingleTagOfFamily(parameter, version, "REFERENCE", result);
}

void StringLengthAndLengthMatch::operator()(const Parameter &parameter, const Version &version,
                                            ValidationResult &result) const
{
    if (parameter.type == DataType::ARRSTRING && parameter.length < parameter.defaultValue.length)
        addParameterLine(result, version, parameter.name, "String too long: string length={}, Length={}",
                         parameter.defaultValue.length, parameter.length);
}

void TaggedParametersHaveCorrectType::operator()(const Parameter &parameter, const Version &version,
                                                 ValidationResult &result) const
{
    for (const Tag tag : parameter.tags) {
        if (!typeFitsTag(tag, parameter.type))
            addParameterLine(result, version, parameter.name, "Tagged parameter has wrong type: {}",
                             dataTypeName(parameter.type));
    }
}

void ValueLengthsAndLengthMatch::operator()(const Parameter &parameter, const Version &version,
                                            ValidationResult &result) const
{
    if (!parameter.minValue || !parameter.maxValue)
        return;
    const std::uint16_t minLength = parameter.minValue->length;
    const std::uint16_t defaultLength = parameter.defaultValue.length;
    const std::uint16_t maxLength = parameter.maxValue->length;
    if (minLength != defaultLength || defaultLength != maxLength)
        addParameterLine(result, version, parameter.name,
                         "Length of MinValue, DefaultValue, MaxValue differs: MinValue={}, DefaultValue={}, "
                         "MaxValue={}",
                         minLength, defaultLength, maxLength);
    else if (defaultLength != parameter.length)
        addParameterLine(result, version, parameter.name, "Value length does not match Length: Size={}, Length={}",
                         defaultLength, parameter.length);
}

void QueueAddressesUnique::operator()(const Traits &traits, ValidationResult &result) const
{
    if (traits.test.generalQueueAddress == traits.test.calibrationQueueAddress)
        addLine(result, "TestTrait: Queue address is not unique: GeneralQueueAddress={}, CalibrationQueueAddress={}",
                traits.test.generalQueueAddress, traits.test.calibrationQueueAddress);
}

void DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent::operator()(const DeviceSettings &settings,
                                                                               ValidationResult &result) const
{
    if (settings.deviceParameterSets.empty() && settings.subdeviceParameterSets.empty())
        addLine(result, "Either DeviceParameterSets or SubdeviceParameterSets must be present");
}

void IdentitiesMatch::operator()(const DeviceSettings &settings, const Device &device, ValidationResult &result) const
{
    if (settings.identity != device.identity)
        addLine(result, "Identity does not match: DeviceSettings={}, Device={}", identityName(settings.identity),
                identityName(device.identity));
}

void MinValueSmallerEqualsValueSmallerEqualsMaxValue::operator()(const ParameterSetting &setting,
                                                                 const Parameter &parameter, const Version &version,
                                                                 ValidationResult &result) const
{
    if (setting.name != parameter.name || !parameter.minValue || !parameter.maxValue)
        return;
    if (!(*parameter.minValue <= setting.value && setting.value <= *parameter.maxValue))
        addParameterLine(result, version, setting.name,
                         "Value must be between MinValue and MaxValue: MinValue={}, Value={}, MaxValue={}",
                         parameter.minValue->toString(), setting.value.toString(), parameter.maxValue->toString());
}

void ParameterSettingValueLengthsAndLengthMatch::operator()(const ParameterSetting &setting,
                                                            const Parameter &parameter, const Version &version,
                                                            ValidationResult &result) const
{
    if (setting.name != parameter.name || parameter.type == DataType::ARRSTRING)
        return;
    if (setting.value.length != parameter.length)
        addParameterLine(result, version, setting.name, "Value length does not match Length: Array size={}, Length={}",
                         setting.value.length, parameter.length);
}

void StringLengthsMatch::operator()(const ParameterSetting &setting, const Parameter &parameter,
                                    const Version &version, ValidationResult &result) const
{
    if (setting.name != parameter.name || parameter.type != DataType::ARRSTRING)
        return;
    if (parameter.length < setting.value.length)
        addParameterLine(result, version, setting.name, "String too long: string length={}, Length={}",
                         setting.value.length, parameter.length);
}

void TypesMatch::operator()(const ParameterSetting &setting, const Parameter &parameter, const Version &version,
                            ValidationResult &result) const
{
    if (setting.name != parameter.name)
        return;
    if (setting.type != parameter.type)
        addParameterLine(result, version, setting.name, "Type does not match: DeviceSettings={}, Device={}",
                         dataTypeName(setting.type), dataTypeName(parameter.type));
}

} // namespace Rules

} // namespace Thg::Tilo::Device
