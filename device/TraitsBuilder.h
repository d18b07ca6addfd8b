#pragma once

#include "device/Traits.h"

#include <cstdint>
#include <string>

namespace Thg::Tilo::Device {

// The builders file each entry of a description's traits under its identifier and refuse an
// identifier that was filed before (IdentifierNotUniqueException). They hand out the new entry for
// the caller to fill, so that a repeated identifier is reported before the rest of its entry is read.

class OutputTraitsBuilder {
public:
    explicit OutputTraitsBuilder(OutputTraitsContainer &outputs) : outputs(outputs) {}

    // The entry of "OUT1" or "OUT2", now carrying its name. An output named `Unknown` gets an entry
    // of its own that goes nowhere: its flags are read but belong to no output.
    OutputTraits &add(OutputTraits::Name name);

private:
    OutputTraitsContainer &outputs;
    OutputTraits discarded;
};

class IoLinkTraitsBuilder {
public:
    explicit IoLinkTraitsBuilder(IoLinkTraits &ioLink) : ioLink(ioLink) {}

    CommandTraits &addCommand(const std::string &name);
    EventTraits &addEvent(const std::string &name);
    SystemDataObjectTraits &addSystemDataObject(const std::string &name);

private:
    IoLinkTraits &ioLink;
};

class CalibrationTraitsBuilder {
public:
    explicit CalibrationTraitsBuilder(CalibrationTraitsContainer &calibrations) : calibrations(calibrations) {}

    // Appends a fresh entry for `slot`. The reference is valid until the next add.
    CalibrationTraits &add(std::uint64_t slot);
    // Ascending slots, as the container promises its readers.
    void sort();

private:
    CalibrationTraitsContainer &calibrations;
};

} // namespace Thg::Tilo::Device
