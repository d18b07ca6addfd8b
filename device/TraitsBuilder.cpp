#include "device/TraitsBuilder.h"

#include "device/ImportException.h"

#include <algorithm>
#include <string>

namespace Thg::Tilo::Device {

namespace {

template <typename Map>
typename Map::mapped_type &addUnique(Map &map, const std::string &name, const char *kind)
{
    const auto [it, inserted] = map.try_emplace(name);
    if (!inserted)
        throw IdentifierNotUniqueException(kind, name);
    return it->second;
}

} // namespace

OutputTraits &OutputTraitsBuilder::add(OutputTraits::Name name)
{
    if (name != OutputTraits::Name::OUT1 && name != OutputTraits::Name::OUT2) {
        discarded = OutputTraits{};
        return discarded;
    }
    OutputTraits &output = outputs[static_cast<std::size_t>(name)];
    if (output.name != OutputTraits::Name::Unknown)
        throw IdentifierNotUniqueException(IdentifierNotUniqueException::Outputs,
                                           std::string(outputNames.name(name).value_or("")));
    output.name = name;
    return output;
}

CommandTraits &IoLinkTraitsBuilder::addCommand(const std::string &name)
{
    return addUnique(ioLink.commands, name, IdentifierNotUniqueException::Command);
}

EventTraits &IoLinkTraitsBuilder::addEvent(const std::string &name)
{
    return addUnique(ioLink.events, name, IdentifierNotUniqueException::Event);
}

SystemDataObjectTraits &IoLinkTraitsBuilder::addSystemDataObject(const std::string &name)
{
    return addUnique(ioLink.systemDataObjects, name, IdentifierNotUniqueException::SystemDataObject);
}

CalibrationTraits &CalibrationTraitsBuilder::add(std::uint64_t slot)
{
    const bool known = std::any_of(calibrations.begin(), calibrations.end(),
                                   [slot](const CalibrationTraits &entry) { return entry.slot == slot; });
    if (known)
        throw IdentifierNotUniqueException(IdentifierNotUniqueException::Calibration, std::to_string(slot));
    CalibrationTraits &entry = calibrations.emplace_back();
    entry.slot = slot;
    return entry;
}

void CalibrationTraitsBuilder::sort()
{
    std::sort(calibrations.begin(), calibrations.end(),
              [](const CalibrationTraits &a, const CalibrationTraits &b) { return a.slot < b.slot; });
}

} // namespace Thg::Tilo::Device
