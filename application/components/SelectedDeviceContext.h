#pragma once

#include "device/Device.h"

namespace Thg::Tilo::Components {

// The device description the user works with; identity Unknown until the page has imported it.
class SelectedDeviceContext {
public:
    virtual ~SelectedDeviceContext() = default;

    Thg::Tilo::Device::Device selectedDevice;
};

} // namespace Thg::Tilo::Components
