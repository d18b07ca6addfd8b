#include "device/Value.h"

#include "device/NumericConversion.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <functional>
#include <charconv>
#include <climits>
#include <stdexcept>
#include <system_error>

namespace Thg::Tilo::Device {

namespace {

// Appends the low `byteCount` bytes of `number`, least significant first, whatever the host's order.
void numberToBytes(std::vector<std::uint8_t> &bytes, std::uint64_t number, std::size_t byteCount)
{
    for (std::size_t i = 0; i < byteCount; ++i)
        bytes.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
}

void numberToBytes(std::vector<std::uint8_t> &bytes, float number)
{
    numberToBytes(bytes, std::bit_cast<std::uint32_t>(number), 4);
}

void numberToBytes(std::vector<std::uint8_t> &bytes, double number)
{
    numberToBytes(bytes, std::bit_cast<std::uint64_t>(number), 8);
}

std::vector<float> convertArray(const std::vector<double> &values)
{
    std::vector<float> converted;
    converted.reserve(values.size());
    for (const double value : values)
        converted.push_back(narrowToFloat(value));
    return converted;
}

bool isBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// A string read as a signed decimal integer the way a user would type it: leading blanks and a sign
// are allowed, trailing text is ignored. No number, or one beyond int, reads as 0.
int stringToInteger(const std::string &text)
{
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long magnitude = 0;
    const char *first = text.data() + pos;
    const char *last = text.data() + text.size();
    // from_chars alone would accept a second sign; the sign was taken above.
    if (first == last || !std::isdigit(static_cast<unsigned char>(*first)))
        return 0;
    const auto [end, error] = std::from_chars(first, last, magnitude);
    (void)end;
    if (error != std::errc())
        return 0;
    const long long number = negative ? -magnitude : magnitude;
    if (number < INT_MIN || number > INT_MAX)
        return 0;
    return static_cast<int>(number);
}

// A string read as a decimal floating-point number, with leading blanks and a sign allowed and
// trailing text ignored. No number, or one beyond double, reads as 0.0.
double stringToDouble(const std::string &text)
{
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const char *first = text.data() + pos;
    const char *last = text.data() + text.size();
    if (first == last || *first == '+' || *first == '-')
        return 0.0;
    double number = 0.0;
    const auto [end, error] = std::from_chars(first, last, number, std::chars_format::general);
    (void)end;
    if (error != std::errc())
        return 0.0;
    return negative ? -number : number;
}

// Lists of unequal size order by size; lists of equal size compare element by element, and hold
// only when every element does. Two empty lists are equal, so they satisfy <= but not <, which is
// what comparing their (equal) sizes gives.
template <typename T, typename Compare>
bool allElements(const std::vector<T> &a, const std::vector<T> &b, Compare compare)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    if (a.empty())
        return compare(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!compare(a[i], b[i]))
            return false;
    }
    return true;
}

// The ordering behind both comparison operators; `compare` is std::less<> or std::less_equal<>.
template <typename Compare>
bool compareValues(const Value &a, const Value &b, Compare compare)
{
    if (a.type != b.type)
        return a.type < b.type;
    switch (a.type) {
    case DataType::ARRBYTE:
        return allElements(a.toU8Array(), b.toU8Array(), compare);
    case DataType::ARRFLOAT32:
        return allElements(a.toFloatArray(), b.toFloatArray(), compare);
    case DataType::ARRFLOAT64:
        return allElements(a.toDoubleArray(), b.toDoubleArray(), compare);
    default:
        if (a.length != b.length)
            return a.length < b.length;
        // Alternatives by index first, then their contents; a NaN is never <= anything.
        return compare(a.data, b.data);
    }
}

} // namespace

Value::Value(double value, DataType type) : type(type), length(1), data(value)
{
    if (type != DataType::DFLOAT32 && type != DataType::DFLOAT64)
        throw std::invalid_argument(fmt::format("Type must be either float or double: {}", dataTypeName(type)));
}

Value::Value(std::vector<double> values, DataType type) : type(type)
{
    if (type != DataType::ARRFLOAT32 && type != DataType::ARRFLOAT64)
        throw std::invalid_argument(
            fmt::format("Type must be either float array or double array: {}", dataTypeName(type)));
    length = static_cast<std::uint16_t>(values.size());
    data = std::move(values);
}

std::vector<std::uint8_t> Value::toBytes(std::uint16_t length) const
{
    std::vector<std::uint8_t> bytes;
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        // Bits beyond the width are dropped: the limits are checked elsewhere, not here.
        numberToBytes(bytes, std::get<std::uint64_t>(data), elementSize(type));
        break;
    case DataType::DBYTEI64:
        numberToBytes(bytes, static_cast<std::uint64_t>(std::get<std::int64_t>(data)), 8);
        break;
    case DataType::DFLOAT32:
        numberToBytes(bytes, narrowToFloat(std::get<double>(data)));
        break;
    case DataType::DFLOAT64:
        numberToBytes(bytes, std::get<double>(data));
        break;
    case DataType::ARRSTRING: {
        const auto &text = std::get<std::string>(data);
        // The device reads a fixed-size field: cut or zero-fill to it. Without a field size the
        // string goes as it is, without a terminating zero.
        const std::size_t size = length != 0 ? length : static_cast<std::uint16_t>(text.size());
        bytes.assign(size, 0);
        std::copy_n(text.begin(), std::min(size, text.size()), bytes.begin());
        break;
    }
    case DataType::ARRBYTE:
        bytes = std::get<std::vector<std::uint8_t>>(data);
        break;
    case DataType::ARRFLOAT32: {
        const auto &values = std::get<std::vector<double>>(data);
        bytes.reserve(values.size() * 4);
        for (const double value : values)
            numberToBytes(bytes, narrowToFloat(value));
        break;
    }
    case DataType::ARRFLOAT64: {
        const auto &values = std::get<std::vector<double>>(data);
        bytes.reserve(values.size() * 8);
        for (const double value : values)
            numberToBytes(bytes, value);
        break;
    }
    default:
        break;
    }
    return bytes;
}

std::string Value::toString() const
{
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        return fmt::format("{}", std::get<std::uint64_t>(data));
    case DataType::DBYTEI64:
        return fmt::format("{}", std::get<std::int64_t>(data));
    case DataType::DFLOAT32:
    case DataType::DFLOAT64:
        return fmt::format("{}", std::get<double>(data));
    case DataType::ARRSTRING:
        return std::get<std::string>(data);
    case DataType::ARRBYTE:
        return fmt::format("{}", fmt::join(std::get<std::vector<std::uint8_t>>(data), ";"));
    case DataType::ARRFLOAT32:
    case DataType::ARRFLOAT64:
        return fmt::format("{}", fmt::join(std::get<std::vector<double>>(data), ";"));
    default:
        return {};
    }
}

std::vector<std::uint8_t> Value::toU8Array() const
{
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        return {static_cast<std::uint8_t>(std::get<std::uint64_t>(data))};
    case DataType::DBYTEI64:
        return {static_cast<std::uint8_t>(std::get<std::int64_t>(data))};
    case DataType::DFLOAT32:
    case DataType::DFLOAT64:
        return {truncateToUnsigned<std::uint8_t>(std::get<double>(data))};
    case DataType::ARRSTRING:
        return {static_cast<std::uint8_t>(stringToInteger(std::get<std::string>(data)))};
    case DataType::ARRBYTE:
        return std::get<std::vector<std::uint8_t>>(data);
    case DataType::ARRFLOAT32:
    case DataType::ARRFLOAT64: {
        const auto &values = std::get<std::vector<double>>(data);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(values.size());
        for (const double value : values)
            bytes.push_back(truncateToUnsigned<std::uint8_t>(value));
        return bytes;
    }
    default:
        return {};
    }
}

std::vector<double> Value::toDoubleArray() const
{
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        return {static_cast<double>(std::get<std::uint64_t>(data))};
    case DataType::DBYTEI64:
        return {static_cast<double>(std::get<std::int64_t>(data))};
    case DataType::DFLOAT32:
    case DataType::DFLOAT64:
        return {std::get<double>(data)};
    case DataType::ARRSTRING:
        return {stringToDouble(std::get<std::string>(data))};
    case DataType::ARRBYTE: {
        const auto &bytes = std::get<std::vector<std::uint8_t>>(data);
        return {bytes.begin(), bytes.end()};
    }
    case DataType::ARRFLOAT32:
    case DataType::ARRFLOAT64:
        return std::get<std::vector<double>>(data);
    default:
        return {};
    }
}

std::vector<float> Value::toFloatArray() const
{
    switch (type) {
    case DataType::DBYTEU8:
    case DataType::DBYTEU16:
    case DataType::DBYTEU32:
    case DataType::DBYTEU64:
        return {static_cast<float>(std::get<std::uint64_t>(data))};
    case DataType::DBYTEI64:
        return {static_cast<float>(std::get<std::int64_t>(data))};
    case DataType::ARRBYTE: {
        const auto &bytes = std::get<std::vector<std::uint8_t>>(data);
        return {bytes.begin(), bytes.end()};
    }
    case DataType::DFLOAT32:
    case DataType::DFLOAT64:
    case DataType::ARRSTRING:
    case DataType::ARRFLOAT32:
    case DataType::ARRFLOAT64:
        return convertArray(toDoubleArray());
    default:
        return {};
    }
}

bool Value::operator<=(const Value &other) const
{
    return compareValues(*this, other, std::less_equal<>());
}

bool Value::operator<(const Value &other) const
{
    return compareValues(*this, other, std::less<>());
}

} // namespace Thg::Tilo::Device
