#pragma once

#include "device/FormatImporter.h"
#include "device/JsonValidator.h"

namespace Thg::Tilo::Device {

// Description and media files in JSON: schema check, then the mapping into the device model.
class JsonFormatImporter : public FormatImporter {
public:
    // Compiles the description schema first, then the settings schema.
    JsonFormatImporter(const Reader &deviceSchemaReader, const Reader &settingsSchemaReader);

    // The JSON library's errors (syntax, missing key, wrong kind) become FormatMismatchException;
    // schema violations a ValidationException; everything else passes through.
    Device importDevice(const Reader &reader) const override;
    DeviceSettings importDeviceSettings(const Reader &reader) const override;

private:
    JsonValidator deviceValidator;
    JsonValidator settingsValidator;
};

// Reads, checks and maps one file into T (Device or DeviceSettings).
template <typename T>
T importData(const Reader &reader, const JsonValidator &validator);

} // namespace Thg::Tilo::Device
