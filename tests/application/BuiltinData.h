#pragma once

#include "device/Device.h"
#include "device/FileReader.h"
#include "device/Importer.h"

#include <string>

// The built-in description and media files as the program imports them, read from the source tree
// (the tests run in the project's top folder, where the schemas are found).
namespace BuiltinData {

inline const Thg::Tilo::Device::Importer &importer()
{
    static const Thg::Tilo::Device::Importer instance(
        {"Resources/DeviceDescription.schema.json", "Resources/DeviceSettings.schema.json"});
    return instance;
}

inline const Thg::Tilo::Device::Device &description()
{
    static const Thg::Tilo::Device::Device device =
        importer().importDevice(Thg::Tilo::Device::FileReader("builtin/M7Q4-ZEB.desc.json"));
    return device;
}

// `name` as the page lists it, e.g. "001 ZEB_Water".
inline Thg::Tilo::Device::DeviceSettings medium(const std::string &name)
{
    return importer().importDeviceSettings(
        Thg::Tilo::Device::FileReader("builtin/ParameterFiles/" + name + ".para.json"));
}

} // namespace BuiltinData
