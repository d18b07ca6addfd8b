#pragma once

#include "application/components/DeviceContext.h"
#include "application/components/DeviceSettingsContext.h"

namespace Thg::Tilo::Components {

// The program's one shared context: one connection, one description, one media file.
class DeviceWithSettingsContext : public DeviceContext, public DeviceSettingsContext {
};

} // namespace Thg::Tilo::Components
