#pragma once

#include "device/Identity.h"
#include "device/Parameter.h"
#include "device/ParameterSet.h"
#include "device/ParameterSetting.h"
#include "device/Traits.h"

namespace Thg::Tilo::Device {

// A device description (".desc.json"): the parameters of every firmware version of the device and of
// its sub-device, and the device's traits.
struct Device {
    Identity identity = Identity::Unknown;
    ParameterSetContainer<Parameter> deviceParameterSets;
    ParameterSetContainer<Parameter> subdeviceParameterSets;
    Traits traits;
};

// A media file (".para.json"): values for some of the described parameters, by name.
struct DeviceSettings {
    Identity identity = Identity::Unknown;
    ParameterSetContainer<ParameterSetting> deviceParameterSets;
    ParameterSetContainer<ParameterSetting> subdeviceParameterSets;
};

} // namespace Thg::Tilo::Device
