#pragma once

#include "application/components/ConnectedDeviceContext.h"

#include "device/Device.h"

namespace Thg::Tilo::Components {

// The connection together with the media file to be written.
class DeviceSettingsContext : public virtual ConnectedDeviceContext {
public:
    Thg::Tilo::Device::DeviceSettings deviceSettings;
};

} // namespace Thg::Tilo::Components
