#include "protocol/ble/BTLE_Texts.h"

#include <QMetaEnum>

namespace BTLE {

namespace {

template <typename E>
QString enumeratorName(E value)
{
    const char *key = QMetaEnum::fromType<E>().valueToKey(static_cast<int>(value));
    return key ? QString::fromLatin1(key) : QString::number(static_cast<int>(value));
}

} // namespace

QString uuidText(const QBluetoothUuid &uuid)
{
    bool isShort = false;
    const quint16 shortId = uuid.toUInt16(&isShort);
    if (isShort)
        return QStringLiteral("0x") + QString::number(shortId, 16);
    const quint32 longId = uuid.toUInt32(&isShort);
    if (isShort)
        return QStringLiteral("0x") + QString::number(longId, 16);
    return uuid.toString(QUuid::WithoutBraces);
}

bool sameUuidText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString discoveryErrorText(QBluetoothDeviceDiscoveryAgent::Error error)
{
    switch (error) {
    case QBluetoothDeviceDiscoveryAgent::PoweredOffError:
        return QStringLiteral("BT Adapter is powered off");
    case QBluetoothDeviceDiscoveryAgent::InputOutputError:
        return QStringLiteral("BT IO Error");
    default:
        return QStringLiteral("BT Error: ") + enumeratorName(error);
    }
}

QString controllerErrorText(QLowEnergyController::Error error)
{
    switch (error) {
    case QLowEnergyController::UnknownRemoteDeviceError:
        return QStringLiteral("BT Remote Device Error");
    case QLowEnergyController::NetworkError:
        return QStringLiteral("BT Network Error");
    case QLowEnergyController::InvalidBluetoothAdapterError:
        return QStringLiteral("BT invalid Adapter Error");
    case QLowEnergyController::ConnectionError:
        return QStringLiteral("BT connection error");
    default:
        return QStringLiteral("BT unknown Error");
    }
}

QString serviceErrorText(QLowEnergyService::ServiceError error)
{
    return QStringLiteral("BT Error: ") + enumeratorName(error);
}

} // namespace BTLE
