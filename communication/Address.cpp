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

QByteArray Address::asArray(Type type) const
{
    Bytes masked = bytes;
    if (type == Type::Device) {
        masked[3] = 0;
        masked[4] = 0;
    } else if (type == Type::SubDevice) {
        masked[1] = 0;
        masked[2] = 0;
    }
    return QByteArray(reinterpret_cast<const char *>(masked.data()), Size);
}

QList<QString> Address::getAddressAsString(const QByteArray &address) const
{
    QList<QString> texts;
    for (int i = 0; i < Size; ++i)
        texts.append(QString::number(i < address.size() ? quint8(address.at(i)) : 0));
    return texts;
}

QDataStream &operator<<(QDataStream &stream, Address::Type type)
{
    return stream << quint32(type);
}

QDataStream &operator>>(QDataStream &stream, Address::Type &type)
{
    quint32 value = 0;
    stream >> value;
    type = Address::Type(value);
    return stream;
}

} // namespace Thg::Tilo::Communication
