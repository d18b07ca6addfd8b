#pragma once

#include "communication/TransferableData.h"

#include "device/ParameterSetting.h"
#include "device/Value.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace Thg::Tilo::Communication {

// Turns the bytes of a parameter read back into values: the inverse of the device's byte image.
// Multi-byte numbers come least significant byte first.
struct ReadData {
    std::vector<Thg::Tilo::Device::ParameterSetting> deviceSettings;
    std::vector<Thg::Tilo::Device::ParameterSetting> subdeviceSettings;

    // The value of `parameter` from its declaredSize(parameter) bytes. A scalar takes its first
    // element; one declared with no bytes at all reads as 0.
    static Thg::Tilo::Device::Value decodeValue(const Thg::Tilo::Device::Parameter &parameter,
                                                std::span<const std::uint8_t> bytes);

    // Decodes the device list, then the sub-device list, with one cursor over `data`, each list in the
    // order given (the sorted order of the read). A parameter that finds too few bytes left ends its
    // list; the other list goes on from the same cursor.
    static ReadData decode(const QByteArray &data, const ParameterRefs &deviceParameters,
                           const ParameterRefs &subdeviceParameters);
};

} // namespace Thg::Tilo::Communication
