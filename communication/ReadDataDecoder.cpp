#include "communication/ReadDataDecoder.h"

#include <algorithm>
#include <bit>
#include <string>

namespace Thg::Tilo::Communication {

using Thg::Tilo::Device::DataType;
using Thg::Tilo::Device::Parameter;
using Thg::Tilo::Device::ParameterSetting;
using Thg::Tilo::Device::Value;

namespace {

using Bytes = std::span<const std::uint8_t>;

// The first `count` bytes as a number; bytes missing at the end count as zero.
std::uint64_t littleEndian(Bytes bytes, std::size_t count)
{
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < count && i < bytes.size(); ++i)
        number |= std::uint64_t(bytes[i]) << (8 * i);
    return number;
}

double float32At(Bytes bytes)
{
    return double(std::bit_cast<float>(std::uint32_t(littleEndian(bytes, 4))));
}

double float64At(Bytes bytes)
{
    return std::bit_cast<double>(littleEndian(bytes, 8));
}

Value unsignedValue(DataType type, std::uint64_t number)
{
    Value value;
    value.type = type;
    value.data = number;
    return value;
}

// A string field is zero-filled when its text is shorter; a field whose last byte is not zero is
// full, and then every byte, zeros included, belongs to the text.
std::string stringOf(Bytes bytes)
{
    if (bytes.empty())
        return {};
    const char *text = reinterpret_cast<const char *>(bytes.data());
    if (bytes.back() != 0)
        return std::string(text, bytes.size());
    std::size_t end = 0;
    while (bytes[end] != 0)
        ++end;
    return std::string(text, end);
}

void decodeList(const QByteArray &data, std::size_t &cursor, const ParameterRefs &parameters,
                std::vector<ParameterSetting> &settings)
{
    const Bytes bytes(reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()));
    for (const Parameter &parameter : parameters) {
        const std::size_t need = declaredSize(parameter);
        if (cursor + need > bytes.size())
            return;
        Value value = ReadData::decodeValue(parameter, bytes.subspan(cursor, need));
        settings.push_back({parameter.name, value.type, std::move(value)});
        cursor += need;
    }
}

} // namespace

Value ReadData::decodeValue(const Parameter &parameter, Bytes bytes)
{
    const std::size_t length = parameter.length;
    switch (parameter.type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        return unsignedValue(parameter.type, littleEndian(bytes, Thg::Tilo::Device::elementSize(parameter.type)));
    case DataType::DBYTEI64: {
        Value value;
        value.type = DataType::DBYTEI64;
        value.data = std::int64_t(littleEndian(bytes, 8));
        return value;
    }
    case DataType::DFLOAT32:
        return Value(float32At(bytes), DataType::DFLOAT32);
    case DataType::DFLOAT64:
        return Value(float64At(bytes), DataType::DFLOAT64);
    case DataType::ARRSTRING: {
        Value value;
        value.type = DataType::ARRSTRING;
        std::string text = stringOf(bytes.first(std::min(length, bytes.size())));
        value.length = std::uint16_t(text.size());
        value.data = std::move(text);
        return value;
    }
    case DataType::ARRBYTE: {
        Value value;
        value.type = DataType::ARRBYTE;
        value.length = parameter.length;
        const Bytes own = bytes.first(std::min(length, bytes.size()));
        value.data = std::vector<std::uint8_t>(own.begin(), own.end());
        return value;
    }
    case DataType::ARRFLOAT32:
    case DataType::ARRFLOAT64: {
        const bool single = parameter.type == DataType::ARRFLOAT32;
        const std::size_t size = single ? 4 : 8;
        std::vector<double> values;
        values.reserve(length);
        for (std::size_t i = 0; i < length && (i + 1) * size <= bytes.size(); ++i) {
            const Bytes element = bytes.subspan(i * size, size);
            values.push_back(single ? float32At(element) : float64At(element));
        }
        return Value(std::move(values), parameter.type);
    }
    default:
        return Value();
    }
}

ReadData ReadData::decode(const QByteArray &data, const ParameterRefs &deviceParameters,
                          const ParameterRefs &subdeviceParameters)
{
    ReadData result;
    std::size_t cursor = 0;
    decodeList(data, cursor, deviceParameters, result.deviceSettings);
    decodeList(data, cursor, subdeviceParameters, result.subdeviceSettings);
    return result;
}

} // namespace Thg::Tilo::Communication
