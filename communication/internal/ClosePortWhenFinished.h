#pragma once

#include <cstdint>

namespace Thg::Tilo::Communication {

// Whether a protocol job closes the serial port once it has finished its plan. Failures close the
// port whatever this says.
enum class ClosePortWhenFinished : std::uint32_t {
    No = 0,
    Yes = 1,
};

} // namespace Thg::Tilo::Communication
