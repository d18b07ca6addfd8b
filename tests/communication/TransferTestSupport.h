#pragma once

// Parameters, chunks and plans of parameter transfers written the short way for tests.

#include "communication/Chunks.h"
#include "communication/TransferableData.h"

#include "device/DeviceTestValues.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace TransferTest {

using namespace Thg::Tilo::Device;
using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::ParameterRefs;

inline Parameter withValue(DataType type, std::uint16_t length, std::uint16_t address, Value current,
                           const std::string &name = {})
{
    Parameter p = TestValues::parameter(name.empty() ? "P" + std::to_string(address) : name, type, length, address);
    p.currentValue = std::move(current);
    return p;
}

inline Parameter u16At(std::uint16_t address, std::uint64_t number)
{
    return withValue(DataType::DBYTEU16, 1, address, TestValues::unsignedValue(DataType::DBYTEU16, number));
}

inline Parameter u8At(std::uint16_t address, std::uint64_t number)
{
    return withValue(DataType::DBYTEU8, 1, address, TestValues::u8(number));
}

// `size` bytes counting up from `first`, as one byte-list parameter.
inline Parameter bytesAt(std::uint16_t address, std::uint16_t size, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::uint16_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t(first + i);
    return withValue(DataType::ARRBYTE, size, address, TestValues::byteValue(bytes));
}

inline ParameterRefs refs(const std::vector<Parameter> &parameters)
{
    return ParameterRefs(parameters.begin(), parameters.end());
}

inline Address addressOf(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4)
{
    return Address(Address::Bytes{b0, b1, b2, b3, b4});
}

// "type:address:size", one entry per chunk in sending order.
inline QStringList chunkShapes(const Thg::Tilo::Communication::Internal::Chunks<50> &chunks)
{
    QStringList shapes;
    for (const auto &chunk : chunks.chunks)
        shapes.append(QStringLiteral("%1:%2:%3").arg(int(chunk.type)).arg(chunk.address).arg(chunk.data.size()));
    return shapes;
}

} // namespace TransferTest
