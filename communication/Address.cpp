#include "communication/Address.h"

namespace Thg::Tilo::Communication {

Address::Type Address::getType() const
{
    const bool hasDevice = bytes[1] != 0 || bytes[2] != 0;
    const bool hasSubDevice = bytes[3] != 0 || bytes[4] != 0;
    if (hasDevice)
        return hasSubDevice ? Type::DeviceAndSubDevice : Type::Device;
    return hasSubDevice ? Type::SubDevice : Type::None;
}

Address::Bytes Address::asArray(Type type) const
{
    Bytes masked = bytes;
    if (type == Type::Device) {
        masked[3] = 0;
        masked[4] = 0;
    } else if (type == Type::SubDevice) {
        masked[1] = 0;
        masked[2] = 0;
    }
    return masked;
}

QList<QString> Address::getAddressAsString(const Bytes &address) const
{
    QList<QString> texts;
    for (const std::uint8_t byte : address)
        texts.append(QString::number(byte));
    return texts;
}

} // namespace Thg::Tilo::Communication
