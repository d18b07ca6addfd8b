#pragma once

#include "device/EnumNames.h"

// Streamed as its underlying byte by the enumeration operators of QDataStream.
#include <QDataStream>
#include <QMetaType>

#include <cstdint>

namespace Thg::Tilo::Communication {

// The boot loader family of a firmware upload.
enum class BootloaderType : std::uint8_t {
    Undefined = 0,
    MSP432 = 1,
    TIVA = 2,
};

inline constexpr Thg::Tilo::Device::EnumNameTable bootloaderTypeNames{std::to_array<Thg::Tilo::Device::EnumName<BootloaderType>>({
    {BootloaderType::Undefined, "Undefined"},
    {BootloaderType::MSP432, "MSP432"},
    {BootloaderType::TIVA, "TIVA"},
})};

} // namespace Thg::Tilo::Communication

Q_DECLARE_METATYPE(Thg::Tilo::Communication::BootloaderType)
