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

// To single precision, rounding to nearest. Finite numbers beyond the float range become the
// infinity of their sign; NaN stays NaN.
inline float narrowToFloat(double value)
{
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    constexpr double floatMax = std::numeric_limits<float>::max();
    if (value > floatMax)
        return std::numeric_limits<float>::infinity();
    if (value < -floatMax)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

} // namespace Thg::Tilo::Device
