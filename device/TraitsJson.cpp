#include "device/TraitsJson.h"

#include "device/JsonRead.h"
#include "device/TraitsBuilder.h"

#include <nlohmann/json.hpp>

namespace Thg::Tilo::Device {

namespace {

using Json = nlohmann::json;

AccessRight accessRight(const Json &json)
{
    return accessRightFromName(JsonRead::toString(json)).value_or(AccessRight::Read);
}

void readInterface(const Json &json, InterfaceTraits &interface)
{
    interface.name = JsonRead::toString(json.at("Name"));
    // Only the first five numbers form the address; a shorter array fails on the missing element.
    const Json &address = JsonRead::array(json.at("Address"));
    for (std::size_t i = 0; i < interface.address.size(); ++i)
        interface.address[i] = JsonRead::toUnsigned<std::uint8_t>(address.at(i));
    interface.halfDuplex = JsonRead::toBool(json.at("HalfDuplex"));
    interface.startUpMs = JsonRead::toUnsigned<std::uint16_t>(json.at("StartUp_ms"));
    interface.powerDownMs = JsonRead::toUnsigned<std::uint16_t>(json.at("PowerDown_ms"));
    interface.type = JsonRead::toString(json.at("Type")) == "UART" ? InterfaceTraits::Type::UART
                                                                   : InterfaceTraits::Type::Unknown;
}

void readOutputs(const Json &json, OutputTraitsContainer &outputs)
{
    OutputTraitsBuilder builder(outputs);
    for (const Json &outputJson : JsonRead::array(json)) {
        const auto name = outputNames.value(JsonRead::toString(outputJson.at("Name")));
        OutputTraits &output = builder.add(name.value_or(OutputTraits::Name::Unknown));
        output.alarm = JsonRead::toBool(outputJson.at("Alarm"));
        output.ctrlInput = JsonRead::toBool(outputJson.at("CtrlInput"));
        output.current = JsonRead::toBool(outputJson.at("Current"));
        output.frequency = JsonRead::toBool(outputJson.at("Frequency"));
        output.ioLink = JsonRead::toBool(outputJson.at("IoLink"));
        output.parLink = JsonRead::toBool(outputJson.at("ParLink"));
        output.pulse = JsonRead::toBool(outputJson.at("Pulse"));
        output.voltage = JsonRead::toBool(outputJson.at("Voltage"));
    }
}

void readIoLink(const Json &json, IoLinkTraits &ioLink)
{
    IoLinkTraitsBuilder builder(ioLink);
    for (const Json &entry : JsonRead::array(json.at("Commands"))) {
        CommandTraits &command = builder.addCommand(JsonRead::toString(entry.at("Name")));
        command.description = JsonRead::toString(entry.at("Description"));
        command.address = JsonRead::toUnsigned<std::uint16_t>(entry.at("Address"));
    }
    for (const Json &entry : JsonRead::array(json.at("Events"))) {
        EventTraits &event = builder.addEvent(JsonRead::toString(entry.at("Name")));
        event.description = JsonRead::toString(entry.at("Description"));
        event.address = JsonRead::toUnsigned<std::uint16_t>(entry.at("Address"));
        event.deviceStatus = JsonRead::toUnsigned<std::uint8_t>(entry.at("DeviceStatus"));
        // An unknown event type is taken as the mildest one rather than failing the description.
        event.type = eventTypeNames.value(JsonRead::toString(entry.at("Type"))).value_or(EventTraits::Type::Message);
    }
    for (const Json &entry : JsonRead::array(json.at("SystemDataObjects"))) {
        SystemDataObjectTraits &object = builder.addSystemDataObject(JsonRead::toString(entry.at("Name")));
        object.description = JsonRead::toString(entry.at("Description"));
        object.address = JsonRead::toUnsigned<std::uint16_t>(entry.at("Address"));
        // As for parameters, a type name this program does not know leaves the object without type.
        object.type = dataTypeFromName(JsonRead::toString(entry.at("Type"))).value_or(DataType::UNKNOWN);
        object.factoryAccess = accessRight(entry.at("FactoryAccess"));
        object.userAccess = accessRight(entry.at("UserAccess"));
    }
}

void readCalibrations(const Json &json, CalibrationTraitsContainer &calibrations)
{
    CalibrationTraitsBuilder builder(calibrations);
    for (const Json &entry : JsonRead::array(json)) {
        CalibrationTraits &calibration = builder.add(JsonRead::toUnsigned<std::uint64_t>(entry.at("Slot")));
        calibration.deviationPercent = JsonRead::toFloat(entry.at("DeviationPercent"));
        calibration.sampleCount = JsonRead::toUnsigned<std::uint64_t>(entry.at("SampleCount"));
        calibration.averageAlgorithm = averageAlgorithmNames.value(JsonRead::toString(entry.at("AverageAlgorithm")))
                                           .value_or(CalibrationTraits::AverageAlgorithm::Standard);
    }
    builder.sort();
}

void readTest(const Json &json, TestTraits &test)
{
    test.slotCount = JsonRead::toUnsigned<std::uint64_t>(json.at("SlotCount"));
    test.calibrationQueueAddress = JsonRead::toUnsigned<std::uint16_t>(json.at("CalibrationQueueAddress"));
    test.generalQueueAddress = JsonRead::toUnsigned<std::uint16_t>(json.at("GeneralQueueAddress"));
    test.currentConsumptionMinMa = JsonRead::toFloat(json.at("CurrentConsumptionMin_mA"));
    test.currentConsumptionMaxMa = JsonRead::toFloat(json.at("CurrentConsumptionMax_mA"));
    test.progressStepCount = JsonRead::toUnsigned<std::uint64_t>(json.at("ProgressStepCount"));
    test.sensorResistor = JsonRead::toBool(json.at("SensorResistor"));
}

} // namespace

void from_json(const nlohmann::json &json, Traits &traits)
{
    readInterface(json.at("Interface"), traits.interface);
    readOutputs(json.at("Outputs"), traits.outputs);
    readIoLink(json.at("IoLink"), traits.ioLink);
    readCalibrations(json.at("Calibrations"), traits.calibrations);
    readTest(json.at("Test"), traits.test);
}

} // namespace Thg::Tilo::Device
