#include "device/JsonFormatImporter.h"

#include "device/DeviceJson.h"
#include "device/ImportException.h"
#include "device/Reader.h"

#include <nlohmann/json.hpp>

namespace Thg::Tilo::Device {

template <typename T>
T importData(const Reader &reader, const JsonValidator &validator)
{
    try {
        const nlohmann::json document = readAndValidate(reader, validator);
        T result;
        from_json(document, result);
        return result;
    } catch (const nlohmann::json::exception &error) {
        throw FormatMismatchException(reader.getSourceName(), error.what());
    }
}

template Device importData<Device>(const Reader &, const JsonValidator &);
template DeviceSettings importData<DeviceSettings>(const Reader &, const JsonValidator &);

JsonFormatImporter::JsonFormatImporter(const Reader &deviceSchemaReader, const Reader &settingsSchemaReader)
    : deviceValidator(deviceSchemaReader), settingsValidator(settingsSchemaReader)
{
}

Device JsonFormatImporter::importDevice(const Reader &reader) const
{
    return importData<Device>(reader, deviceValidator);
}

DeviceSettings JsonFormatImporter::importDeviceSettings(const Reader &reader) const
{
    return importData<DeviceSettings>(reader, settingsValidator);
}

} // namespace Thg::Tilo::Device
