#pragma once

#include "device/DataType.h"
#include "device/EnumNames.h"
#include "device/Parameter.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Thg::Tilo::Device {

// How the device is reached. The connector compares a found device's address with `address`, and
// the connect command copies the times and the half-duplex flag into the serial-port settings.
struct InterfaceTraits {
    enum class Type : std::uint8_t { Unknown = 0, UART = 1 };

    std::string name;
    std::uint16_t startUpMs = 0;   // the device's start-up time after power-up, in milliseconds
    std::uint16_t powerDownMs = 0; // how long the supply stays off for a power cycle, in milliseconds
    std::array<std::uint8_t, 5> address{};
    Type type = Type::Unknown;
    bool halfDuplex = false;

    bool operator==(const InterfaceTraits &) const = default;
};

inline constexpr EnumNameTable interfaceTypeNames{std::array{
    EnumName<InterfaceTraits::Type>{InterfaceTraits::Type::Unknown, "Unknown"},
    EnumName<InterfaceTraits::Type>{InterfaceTraits::Type::UART, "UART"},
}};

// What one of the two outputs can work as. The flags are bits 0 to 7 of one byte on the device, in
// the order of the members.
struct OutputTraits {
    enum class Name : std::uint8_t { OUT1 = 0, OUT2 = 1, Unknown = 2 };

    Name name = Name::Unknown;
    bool current = false;
    bool voltage = false;
    bool pulse = false;
    bool frequency = false;
    bool parLink = false;
    bool ioLink = false;
    bool alarm = false;
    bool ctrlInput = false;

    bool operator==(const OutputTraits &) const = default;
};

inline constexpr EnumNameTable outputNames{std::array{
    EnumName<OutputTraits::Name>{OutputTraits::Name::OUT1, "OUT1"},
    EnumName<OutputTraits::Name>{OutputTraits::Name::OUT2, "OUT2"},
    EnumName<OutputTraits::Name>{OutputTraits::Name::Unknown, "Unknown"},
}};

// Index 0 is "OUT1", index 1 is "OUT2".
using OutputTraitsContainer = std::array<OutputTraits, 2>;

struct CommandTraits {
    std::string description;
    std::uint16_t address = 0;

    bool operator==(const CommandTraits &) const = default;
};

struct EventTraits {
    enum class Type : std::uint8_t { Message = 0, Warning = 1, Error = 2 };

    std::string description;
    std::uint16_t address = 0;
    std::uint8_t deviceStatus = 0;
    Type type = Type::Message;

    bool operator==(const EventTraits &) const = default;
};

inline constexpr EnumNameTable eventTypeNames{std::array{
    EnumName<EventTraits::Type>{EventTraits::Type::Message, "Message"},
    EnumName<EventTraits::Type>{EventTraits::Type::Warning, "Warning"},
    EnumName<EventTraits::Type>{EventTraits::Type::Error, "Error"},
}};

struct SystemDataObjectTraits {
    std::string description;
    std::uint16_t address = 0;
    DataType type = DataType::UNKNOWN;
    AccessRight factoryAccess = AccessRight::Read;
    AccessRight userAccess = AccessRight::Read;

    bool operator==(const SystemDataObjectTraits &) const = default;
};

// Filed under the entry's "Name".
using CommandTraitsContainer = std::unordered_map<std::string, CommandTraits>;
using EventTraitsContainer = std::unordered_map<std::string, EventTraits>;
using SystemDataObjectTraitsContainer = std::unordered_map<std::string, SystemDataObjectTraits>;

struct IoLinkTraits {
    CommandTraitsContainer commands;
    EventTraitsContainer events;
    SystemDataObjectTraitsContainer systemDataObjects;

    bool operator==(const IoLinkTraits &) const = default;
};

struct CalibrationTraits {
    enum class AverageAlgorithm : std::uint8_t { Standard = 0, Gauss = 1 };

    std::uint64_t slot = 0;
    std::uint64_t sampleCount = 0;
    float deviationPercent = 0.0F;
    AverageAlgorithm averageAlgorithm = AverageAlgorithm::Standard;

    bool operator==(const CalibrationTraits &) const = default;
};

inline constexpr EnumNameTable averageAlgorithmNames{std::array{
    EnumName<CalibrationTraits::AverageAlgorithm>{CalibrationTraits::AverageAlgorithm::Standard, "Standard"},
    EnumName<CalibrationTraits::AverageAlgorithm>{CalibrationTraits::AverageAlgorithm::Gauss, "Gauss"},
}};

// Kept in ascending order of `slot`.
using CalibrationTraitsContainer = std::vector<CalibrationTraits>;

// Settings of the production test.
struct TestTraits {
    std::uint64_t slotCount = 0;
    std::uint16_t calibrationQueueAddress = 0;
    std::uint16_t generalQueueAddress = 0;
    float currentConsumptionMinMa = 0.0F; // milliamperes
    float currentConsumptionMaxMa = 0.0F; // milliamperes
    std::uint64_t progressStepCount = 0;
    bool sensorResistor = false;

    bool operator==(const TestTraits &) const = default;
};

// The fixed properties of a device that its description carries besides the parameters.
struct Traits {
    InterfaceTraits interface;
    OutputTraitsContainer outputs;
    IoLinkTraits ioLink;
    CalibrationTraitsContainer calibrations;
    TestTraits test;

    bool operator==(const Traits &) const = default;
};

} // namespace Thg::Tilo::Device
