#include "device/Importer.h"

#include "device/FileReader.h"
#include "device/ImportException.h"
#include "device/JsonFormatImporter.h"
#include "device/Reader.h"
#include "device/Validator.h"

#include <stdexcept>
#include <utility>

namespace Thg::Tilo::Device {

namespace {

// Runs `import` and then `check` on its result; the findings of the check fail the import.
template <typename Import, typename Check>
auto importChecked(const std::string &sourceName, Import import, Check check)
{
    try {
        auto result = import();
        ValidationResult findings;
        check(result, findings);
        if (!findings.empty())
            throw ValidationException(sourceName, findings);
        return result;
    } catch (const IoException &error) {
        throw ImportException(sourceName + ": " + error.what());
    } catch (const IdentifierNotUniqueException &error) {
        throw ValidationException(sourceName, {error.what()});
    }
}

} // namespace

Importer::Importer(const Config &config)
{
    try {
        const FileReader settingsSchema(config.deviceSettingsSchema);
        const FileReader deviceSchema(config.deviceDescriptionSchema);
        auto importer = std::make_shared<JsonFormatImporter>(deviceSchema, settingsSchema);
        importers.emplace(Format::DESC_JSON, importer);
        importers.emplace(Format::PARA_JSON, std::move(importer));
    } catch (const std::invalid_argument &error) {
        throw ImportException(std::string("Could not read schema file: ") + error.what());
    } catch (const IoException &error) {
        throw ImportException(std::string("Could not read schema file: ") + error.what());
    }
}

const FormatImporter &Importer::formatImporter(const std::string &sourceName) const
{
    for (const auto &[format, importer] : importers) {
        if (format.matches(sourceName))
            return *importer;
    }
    throw UnsupportedFormatException(sourceName);
}

Device Importer::importDevice(const Reader &reader) const
{
    const std::string &name = reader.getSourceName();
    if (!Format::isDeviceDescriptionFormat(name))
        throw UnsupportedFormatException(name);
    const FormatImporter &importer = formatImporter(name);

    return importChecked(
        name, [&] { return importer.importDevice(reader); },
        [](const Device &device, ValidationResult &findings) {
            const Validator &rules = validator();
            rules.deviceRules[0](device, findings);
            rules.validate(device.deviceParameterSets, findings);
            rules.validate(device.subdeviceParameterSets, findings);
            rules.traitsRules[0](device.traits, findings);
        });
}

DeviceSettings Importer::importDeviceSettings(const Reader &reader) const
{
    const std::string &name = reader.getSourceName();
    if (!Format::isDeviceSettingsFormat(name))
        throw UnsupportedFormatException(name);
    const FormatImporter &importer = formatImporter(name);

    return importChecked(
        name, [&] { return importer.importDeviceSettings(reader); },
        [](const DeviceSettings &settings, ValidationResult &findings) {
            validator().deviceSettingsRules[0](settings, findings);
        });
}

} // namespace Thg::Tilo::Device
