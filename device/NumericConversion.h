#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>

namespace Thg::Tilo::Device {

// Conversions of doubles into integers and floats that are defined for every input. A plain C++
// conversion is undefined for NaN, infinities, negative numbers into unsigned types and numbers
// outside the target's range, and description files or device reads can carry any of them.
//
// Integers: truncate toward zero, NaN gives 0, saturate to the 64-bit range, then keep the low bits
// that fit the target (as a number that is already an integer would be cut). For inputs inside the
// target's range the result is the plain truncation.

// Into an unsigned type. Negative numbers are taken as signed 64-bit two's complement first, so -1.0
// gives all bits set, as the integer -1 cut to the width does.
template <std::unsigned_integral T>
T truncateToUnsigned(double value)
{
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    // 2^64 and -2^63 are exact doubles; comparing against them avoids the rounding of 2^64 - 1.
    constexpr double twoPow64 = 18446744073709551616.0;
    constexpr double minusTwoPow63 = -9223372036854775808.0;
    std::uint64_t bits;
    if (truncated >= twoPow64)
        bits = std::numeric_limits<std::uint64_t>::max();
    else if (truncated >= 0)
        bits = static_cast<std::uint64_t>(truncated);
    else if (truncated >= minusTwoPow63)
        bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(truncated));
    else
        bits = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::min());
    return static_cast<T>(bits);
}

// Into a signed type.
template <std::signed_integral T>
T truncateToSigned(double value)
{
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    constexpr double twoPow63 = 9223372036854775808.0;
    constexpr double minusTwoPow63 = -9223372036854775808.0;
    std::int64_t wide;
    if (truncated >= twoPow63)
        wide = std::numeric_limits<std::int64_t>::max();
    else if (truncated < minusTwoPow63)
        wide = std::numeric_limits<std::int64_t>::min();
    else
        wide = static_cast<std::int64_t>(truncated);
    return static_cast<T>(wide);
}

// To single precision, rounding to nearest (ties to even) for every input; NaN stays NaN.
//
// Rounding to nearest holds beyond the largest float as well: a magnitude below the midpoint between
// FLT_MAX (2^128 - 2^104) and 2^128, that is below 2^128 - 2^103, rounds down to FLT_MAX; from the
// midpoint on (a tie goes to the even 2^128) it becomes the infinity of its sign. The plain conversion
// is undefined there in C++, so both sides of FLT_MAX are handled here.
inline float narrowToFloat(double value)
{
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    constexpr double floatMax = std::numeric_limits<float>::max();
    constexpr double roundsToInfinity = 0x1.ffffffp127;  // 2^128 - 2^103
    static_assert(roundsToInfinity == floatMax + 0x1p103);
    constexpr float infinity = std::numeric_limits<float>::infinity();
    constexpr float largest = std::numeric_limits<float>::max();
    const double magnitude = std::fabs(value);
    if (magnitude >= roundsToInfinity)
        return value < 0 ? -infinity : infinity;
    if (magnitude > floatMax)
        return value < 0 ? -largest : largest;
    return static_cast<float>(value);
}

} // namespace Thg::Tilo::Device
