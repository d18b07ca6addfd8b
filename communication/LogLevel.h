#pragma once

#include "device/EnumNames.h"

// Streamed as its underlying byte by the enumeration operators of QDataStream.
#include <QDataStream>
#include <QMetaType>

#include <cstdint>

namespace Thg::Tilo::Communication {

// The severity of a line of the device service's log.
enum class LogLevel : std::uint8_t {
    Trace = 0,
    Debug = 1,
    Info = 2,
    Warning = 3,
    Error = 4,
    Critical = 5,
};

inline constexpr Thg::Tilo::Device::EnumNameTable logLevelNames{std::to_array<Thg::Tilo::Device::EnumName<LogLevel>>({
    {LogLevel::Trace, "Trace"},
    {LogLevel::Debug, "Debug"},
    {LogLevel::Info, "Info"},
    {LogLevel::Warning, "Warning"},
    {LogLevel::Error, "Error"},
    {LogLevel::Critical, "Critical"},
})};

} // namespace Thg::Tilo::Communication

Q_DECLARE_METATYPE(Thg::Tilo::Communication::LogLevel)
