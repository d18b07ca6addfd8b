#pragma once

#include "device/Device.h"

namespace Thg::Tilo::Device {

class Reader;

// Turns the text of one file format into the device model.
class FormatImporter {
public:
    virtual ~FormatImporter() = default;

    virtual Device importDevice(const Reader &reader) const = 0;
    virtual DeviceSettings importDeviceSettings(const Reader &reader) const = 0;
};

} // namespace Thg::Tilo::Device
