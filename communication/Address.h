#pragma once

// Address::Type is streamed as its underlying number by the enumeration operators of QDataStream.
#include <QDataStream>
#include <QList>
#include <QMetaType>
#include <QString>

#include <array>
#include <cstdint>

namespace Thg::Tilo::Communication {

// The five bus address bytes of a device: the vendor id, the 16-bit device id and the 16-bit
// sub-device id, each id high byte first as on the wire.
class Address {
public:
    // Which part of an address a request is meant for.
    enum class Type : std::uint32_t {
        Device = 0,
        SubDevice = 1,
        DeviceAndSubDevice = 2,
        None = 255,
    };

    static constexpr int Size = 5;
    using Bytes = std::array<std::uint8_t, Size>;

    Address() = default;
    explicit Address(const Bytes &bytes) : bytes(bytes) {}

    // Decided by the two ids alone; the vendor id plays no part.
    Type getType() const;
    // The five bytes as a request of `type` is addressed: a device request masks the sub-device id,
    // a sub-device request the device id; any other type keeps all five bytes.
    Bytes asArray(Type type) const;
    // Each byte of `address` in decimal, in byte order.
    QList<QString> getAddressAsString(const Bytes &address) const;

    bool operator==(const Address &) const = default;

    Bytes bytes{};
};

} // namespace Thg::Tilo::Communication

Q_DECLARE_METATYPE(Thg::Tilo::Communication::Address::Type)
