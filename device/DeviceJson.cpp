#include "device/DeviceJson.h"

#include "device/ImportException.h"
#include "device/JsonRead.h"
#include "device/Tag.h"
#include "device/TraitsJson.h"

#include <nlohmann/json.hpp>

#include <exception>
#include <limits>
#include <string>
#include <vector>

namespace Thg::Tilo::Device {

namespace {

using Json = nlohmann::json;

Value unsignedValue(const Json &json, DataType type)
{
    Value value;
    value.type = type;
    value.length = 1;
    switch (type) {
    case DataType::DBYTEU8:
        value.data = std::uint64_t{JsonRead::toUnsigned<std::uint8_t>(json)};
        break;
    case DataType::DBYTEU16:
        value.data = std::uint64_t{JsonRead::toUnsigned<std::uint16_t>(json)};
        break;
    case DataType::DBYTEU32:
        value.data = std::uint64_t{JsonRead::toUnsigned<std::uint32_t>(json)};
        break;
    default:
        value.data = JsonRead::toUnsigned<std::uint64_t>(json);
        break;
    }
    return value;
}

Value signedValue(const Json &json)
{
    Value value;
    value.type = DataType::DBYTEI64;
    value.length = 1;
    value.data = JsonRead::toSigned<std::int64_t>(json);
    return value;
}

Value stringValue(const Json &json)
{
    Value value;
    value.type = DataType::ARRSTRING;
    value.data = JsonRead::toString(json);
    value.length = JsonRead::elementCount(json, std::get<std::string>(value.data).size());
    return value;
}

Value byteListValue(const Json &json)
{
    std::vector<std::uint8_t> bytes;
    for (const Json &element : JsonRead::array(json))
        bytes.push_back(JsonRead::toUnsigned<std::uint8_t>(element));
    Value value;
    value.type = DataType::ARRBYTE;
    value.length = JsonRead::elementCount(json, bytes.size());
    value.data = std::move(bytes);
    return value;
}

Value doubleListValue(const Json &json, DataType type)
{
    std::vector<double> values;
    for (const Json &element : JsonRead::array(json))
        values.push_back(JsonRead::toDouble(element));
    JsonRead::elementCount(json, values.size());
    return Value(std::move(values), type);
}

// One of "MinValue", "DefaultValue", "MaxValue" on the typed path.
Value limitValue(const Json &json, DataType type)
{
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        return unsignedValue(json, type);
    case DataType::DBYTEI64:
        return signedValue(json);
    case DataType::DFLOAT32:
    case DataType::DFLOAT64:
        return Value(JsonRead::toDouble(json), type);
    case DataType::ARRBYTE:
        return byteListValue(json);
    default:
        return doubleListValue(json, type);
    }
}

void readReferences(const Json &json, Parameter &parameter)
{
    if (const auto it = json.find("RefMin"); it != json.end())
        parameter.refMin = JsonRead::toUnsigned<std::uint16_t>(*it);
    if (const auto it = json.find("RefMax"); it != json.end())
        parameter.refMax = JsonRead::toUnsigned<std::uint16_t>(*it);
}

// A string parameter takes its length from "Length", whatever its "Type" said.
void readStringParameter(const Json &json, Parameter &parameter)
{
    parameter.length = JsonRead::toUnsigned<std::uint16_t>(json.at("Length"));
    parameter.defaultValue = stringValue(json.at("DefaultValue"));
    parameter.type = DataType::ARRSTRING;
}

void readTypedValues(const Json &json, Parameter &parameter)
{
    const DataType type = parameter.type;
    switch (type) {
    case DataType::ARRSTRING:
        if (json.contains("Length"))
            readStringParameter(json, parameter);
        return;
    case DataType::UNKNOWN:
        parameter.length = 0;
        return;
    default:
        break;
    }

    parameter.maxValue = limitValue(json.at("MaxValue"), type);
    parameter.defaultValue = limitValue(json.at("DefaultValue"), type);
    parameter.minValue = limitValue(json.at("MinValue"), type);

    const bool isList = type == DataType::ARRBYTE || type == DataType::ARRFLOAT32 || type == DataType::ARRFLOAT64;
    parameter.length = isList ? parameter.defaultValue.length : 1;
}

AccessRight accessRight(const Json &json)
{
    return accessRightFromName(JsonRead::toString(json)).value_or(AccessRight::Read);
}

void readIoLinkAndTags(const Json &json, Parameter &parameter)
{
    if (const auto it = json.find("IoLink"); it != json.end()) {
        const Json &ioLinkJson = *it;
        ParameterIoLink ioLink;
        ioLink.address = JsonRead::toUnsigned<std::uint16_t>(ioLinkJson.at("Address"));
        ioLink.factoryAccess = accessRight(ioLinkJson.at("FactoryAccess"));
        ioLink.userAccess = accessRight(ioLinkJson.at("UserAccess"));
        for (const Json &entry : JsonRead::array(ioLinkJson.at("Menu")))
            ioLink.menu.push_back(JsonRead::toString(entry));
        parameter.ioLink = std::move(ioLink);
    }
    if (const auto it = json.find("Tags"); it != json.end()) {
        for (const Json &entry : JsonRead::array(*it)) {
            // A role this program does not know is no error: the file may be meant for a newer one.
            if (const auto tag = tagFromName(JsonRead::toString(entry)))
                parameter.tags.push_back(*tag);
        }
    }
}

// A parameter of a description.
void readEntry(const Json &json, Parameter &parameter)
{
    parameter.description = JsonRead::toString(json.at("Description"));
    parameter.address = JsonRead::toUnsigned<std::uint16_t>(json.at("Address"));
    const auto type = dataTypeFromName(JsonRead::toString(json.at("Type")));
    if (type) {
        parameter.type = *type;
        if (json.contains("MinValue") && json.contains("MaxValue")) {
            readTypedValues(json, parameter);
            readReferences(json, parameter);
        } else if (json.contains("Length")) {
            readStringParameter(json, parameter);
            readReferences(json, parameter);
        }
    }
    readIoLinkAndTags(json, parameter);
}

// A setting of a media file.
void readEntry(const Json &json, ParameterSetting &setting)
{
    const auto type = dataTypeFromName(JsonRead::toString(json.at("Type")));
    if (!type)
        return; // the type rule reports it against the description
    const Json &valueJson = json.at("Value");
    switch (*type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        setting.value = unsignedValue(valueJson, *type);
        break;
    case DataType::DBYTEI64:
        setting.value = signedValue(valueJson);
        break;
    case DataType::DFLOAT32:
    case DataType::DFLOAT64:
        setting.value = Value(valueJson.is_null() ? std::numeric_limits<double>::quiet_NaN()
                                                  : JsonRead::toDouble(valueJson),
                              *type);
        break;
    case DataType::ARRSTRING:
        setting.value = stringValue(valueJson);
        break;
    case DataType::ARRBYTE:
        setting.value = byteListValue(valueJson);
        break;
    case DataType::ARRFLOAT32:
    case DataType::ARRFLOAT64:
        setting.value = doubleListValue(valueJson, *type);
        break;
    default:
        // A setting that holds nothing cannot be written to a device.
        throw std::exception();
    }
    setting.type = setting.value.type;
}

template <typename T>
void readContainer(const Json &json, ParameterSetContainer<T> &container)
{
    for (const Json &setJson : JsonRead::array(json)) {
        ParameterSet<T> set;
        if (const auto it = setJson.find("Description"); it != setJson.end())
            set.description = JsonRead::toString(*it);
        set.version = Version(JsonRead::toString(setJson.at("Version")));
        if (container.contains(set.version))
            throw IdentifierNotUniqueException(IdentifierNotUniqueException::Version, set.version.text);

        const Json &parameters = setJson.at("Parameters");
        if (!parameters.is_null()) {
            for (const Json &entryJson : JsonRead::array(parameters)) {
                std::string name = JsonRead::toString(entryJson.at("Name"));
                const auto [it, inserted] = set.parameters.try_emplace(name);
                if (!inserted)
                    throw IdentifierNotUniqueException(IdentifierNotUniqueException::Parameter, name);
                it->second.name = std::move(name);
                readEntry(entryJson, it->second);
            }
        }
        const Version version = set.version;
        container.emplace(version, std::move(set));
    }
}

template <typename T>
void readIdentityAndContainers(const Json &json, T &target)
{
    // An identity this program does not know fails the file: it must never be taken for another.
    target.identity = identityFromName(JsonRead::toString(json.at("Identity"))).value();
    if (const auto it = json.find("DeviceParameterSets"); it != json.end())
        from_json(*it, target.deviceParameterSets);
    if (const auto it = json.find("SubdeviceParameterSets"); it != json.end())
        from_json(*it, target.subdeviceParameterSets);
}

} // namespace

void from_json(const nlohmann::json &json, ParameterSetContainer<Parameter> &container)
{
    readContainer(json, container);
}

void from_json(const nlohmann::json &json, ParameterSetContainer<ParameterSetting> &container)
{
    readContainer(json, container);
}

void from_json(const nlohmann::json &json, Device &device)
{
    readIdentityAndContainers(json, device);
    from_json(json.at("Traits"), device.traits);
}

void from_json(const nlohmann::json &json, DeviceSettings &settings)
{
    readIdentityAndContainers(json, settings);
}

} // namespace Thg::Tilo::Device
