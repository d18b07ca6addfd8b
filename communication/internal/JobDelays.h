#pragma once

namespace Thg::Tilo::Communication::Internal {

// How long a job waits before the first session of its plan, and between one sequence's last reply
// and the next sequence, in milliseconds. The device needs the pause after a port open (its start-up)
// and after each answer before it listens again.
struct JobDelays {
    int startMs;
    int stepMs;
};

inline constexpr JobDelays FirstContactDelays{600, 150};
inline constexpr JobDelays SysCommandDelays{200, 100};
inline constexpr JobDelays ValuesDelays{100, 50};
inline constexpr JobDelays ParameterDelays{300, 150};

} // namespace Thg::Tilo::Communication::Internal
