#pragma once

#include "device/EnumNames.h"

#include <QMetaType>

#include <array>
#include <cstdint>

namespace Thg::Tilo::Components {

// The part of the system an error comes from. Every error this program raises comes from the device.
enum class System : std::uint8_t {
    None = 0,
    Device = 1,
};

inline constexpr Thg::Tilo::Device::EnumNameTable systemNames{std::to_array<Thg::Tilo::Device::EnumName<System>>({
    {System::None, "None"},
    {System::Device, "Device"},
})};

// Registers System (and the device service's types) for queued connections. Harmless to repeat.
void registerMetaTypes();

} // namespace Thg::Tilo::Components

Q_DECLARE_METATYPE(Thg::Tilo::Components::System)
