#pragma once

// The parameters that a parameterization writes for one built-in medium: the described parameters of
// the device's and the sub-device's firmware versions that the medium sets, each carrying the
// medium's value. Read from the source tree (the working directory of every test and benchmark).

#include "device/Device.h"
#include "device/FileReader.h"
#include "device/Importer.h"

#include <QDir>
#include <QString>

#include <stdexcept>
#include <string>
#include <vector>

namespace BuiltinMedium {

struct Parameters {
    std::vector<Thg::Tilo::Device::Parameter> device;
    std::vector<Thg::Tilo::Device::Parameter> subdevice;
};

// The medium file whose name starts with `prefix` ("001 "); throws std::runtime_error when none does.
inline std::string mediumPath(const QString &prefix)
{
    const QStringList files = QDir(QStringLiteral("builtin/ParameterFiles"))
                                  .entryList({prefix + QStringLiteral("*.para.json")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        throw std::runtime_error("no built-in medium " + prefix.toStdString());
    return QStringLiteral("builtin/ParameterFiles/%1").arg(files.first()).toStdString();
}

// Throws whatever the import or a value check throws.
inline Parameters load(const QString &prefix, const std::string &version = "V02.11",
                       const std::string &subVersion = "V02.00")
{
    using namespace Thg::Tilo::Device;
    const Importer importer({"Resources/DeviceDescription.schema.json", "Resources/DeviceSettings.schema.json"});
    const Device description = importer.importDevice(FileReader("builtin/M7Q4-ZEB.desc.json"));
    const DeviceSettings medium = importer.importDeviceSettings(FileReader(mediumPath(prefix)));

    const auto merge = [](const ParameterSet<Parameter> &described, const ParameterSet<ParameterSetting> &settings) {
        std::vector<Parameter> merged;
        for (const auto &[name, setting] : settings.parameters) {
            Parameter parameter = described.at(name);
            parameter.setCurrentValue(setting.value);
            merged.push_back(parameter);
        }
        return merged;
    };
    return {merge(description.deviceParameterSets.at(Version(version)), medium.deviceParameterSets.at(Version(version))),
            merge(description.subdeviceParameterSets.at(Version(subVersion)),
                  medium.subdeviceParameterSets.at(Version(subVersion)))};
}

// The built-in water medium, "001 ZEB_Water", for the built-in description's versions.
inline Parameters water()
{
    return load(QStringLiteral("001 "));
}

} // namespace BuiltinMedium

// In a Qt Test function: loads the built-in water medium into `parameters`, or fails the test with
// the reason.
#define ZEB_LOAD_WATER(parameters)                                                                 \
    do {                                                                                           \
        try {                                                                                      \
            (parameters) = BuiltinMedium::water();                                                 \
        } catch (const std::exception &e_) {                                                       \
            QFAIL(e_.what());                                                                      \
        }                                                                                          \
    } while (false)
