#pragma once

#include "device/DataType.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace Thg::Tilo::Device {

// A typed parameter value. Which alternative `data` holds follows from `type`: DBYTEU8..DBYTEU64
// the unsigned integer, DBYTEI64 the signed one, DFLOAT32/DFLOAT64 the double, ARRSTRING the
// string, ARRBYTE the byte list, ARRFLOAT32/ARRFLOAT64 the double list, UNKNOWN nothing. Single
// precision types are held as doubles too; they are narrowed only in the byte image.
//
// Integer, string and byte-list values are built by setting the fields directly.
struct Value {
    // The alternatives' order is part of the ordering of values: keep it.
    using Data = std::variant<std::monostate, std::uint64_t, std::int64_t, double, std::string,
                              std::vector<std::uint8_t>, std::vector<double>>;

    DataType type = DataType::UNKNOWN;
    // Element count: 1 for scalars, bytes of a string, elements of a list.
    std::uint16_t length = 1;
    Data data;

    Value() = default;
    // Throws std::invalid_argument unless `type` is DFLOAT32 or DFLOAT64.
    Value(double value, DataType type);
    // Throws std::invalid_argument unless `type` is ARRFLOAT32 or ARRFLOAT64.
    Value(std::vector<double> values, DataType type);

    // The device's byte image, least significant byte first. `length` is the parameter's length
    // and matters only for strings: they are cut or zero-filled to it (0 keeps the string as is).
    // Throws std::bad_variant_access when `data` does not belong to `type`.
    std::vector<std::uint8_t> toBytes(std::uint16_t length) const;
    // The display text. Throws std::bad_variant_access when `data` does not belong to `type`.
    std::string toString() const;

    // The value as a list of one element type, as the comparisons see it.
    std::vector<std::uint8_t> toU8Array() const;
    std::vector<double> toDoubleArray() const;
    std::vector<float> toFloatArray() const;

    // Lists (ARRBYTE, ARRFLOAT32, ARRFLOAT64) of equal size compare element by element: a list is
    // below another only when every element is. Other values compare by type code, then length,
    // then content.
    bool operator<=(const Value &other) const;
    bool operator<(const Value &other) const;

    // Field-wise identity (a NaN is not equal to itself), for callers that hold on to a value.
    bool operator==(const Value &other) const = default;
};

} // namespace Thg::Tilo::Device
