#pragma once

#include "application/components/ConnectedDeviceContext.h"
#include "application/components/SelectedDeviceContext.h"

#include "device/Parameter.h"
#include "device/ParameterSet.h"

#include <functional>
#include <optional>

namespace Thg::Tilo::Components {

// The connection together with the description it is checked against.
class DeviceContext : public virtual ConnectedDeviceContext, public SelectedDeviceContext {
public:
    using ParameterSetRef = std::reference_wrapper<const Thg::Tilo::Device::ParameterSet<Thg::Tilo::Device::Parameter>>;

    // The description's parameters for exactly the connected firmware version; none for a device
    // without device id or a version the description lacks. Throws std::invalid_argument for a
    // version text that is no version.
    std::optional<ParameterSetRef> getDeviceParameterSet() const;
};

} // namespace Thg::Tilo::Components
