#pragma once

#include "device/Device.h"
#include "device/Format.h"
#include "device/FormatImporter.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace Thg::Tilo::Device {

class Reader;

// Imports description (".desc.json") and media (".para.json") files: name check, schema check,
// mapping, then the consistency rules that concern the one file. Nothing is repaired and nothing
// partial is returned; every failure is one of the import exceptions (ImportException.h) or the
// exception of the value, version or identity that could not be read.
class Importer {
public:
    struct Config {
        std::string deviceDescriptionSchema;
        std::string deviceSettingsSchema;
    };

    // Reads and compiles both schemas. A schema file that is missing or cannot be read or used fails
    // with ImportException "Import error: Could not read schema file: ..."; one that is not JSON with
    // FormatMismatchException.
    explicit Importer(const Config &config);

    Device importDevice(const Reader &reader) const;
    // The check against the description is the caller's (deviceSettingsDeviceRules and the
    // settings driver of the validator).
    DeviceSettings importDeviceSettings(const Reader &reader) const;

private:
    const FormatImporter &formatImporter(const std::string &sourceName) const;

    std::unordered_map<Format, std::shared_ptr<FormatImporter>> importers;
};

} // namespace Thg::Tilo::Device
