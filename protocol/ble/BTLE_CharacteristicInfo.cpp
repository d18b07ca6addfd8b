#include "protocol/ble/BTLE_CharacteristicInfo.h"

#include "protocol/ble/BTLE_Texts.h"

#include <QLowEnergyDescriptor>

#include <array>
#include <utility>

BTLE_CharacteristicInfo::BTLE_CharacteristicInfo(const QLowEnergyCharacteristic &characteristic, QObject *parent)
    : QObject(parent), mCharacteristic(characteristic)
{
}

const QLowEnergyCharacteristic &BTLE_CharacteristicInfo::getCharacteristic() const
{
    return mCharacteristic;
}

QString BTLE_CharacteristicInfo::getName() const
{
    const QLowEnergyDescriptor userDescription =
        mCharacteristic.descriptor(QBluetoothUuid::DescriptorType::CharacteristicUserDescription);
    return nameText(mCharacteristic.name(),
                    userDescription.isValid() ? QString::fromUtf8(userDescription.value()) : QString());
}

QString BTLE_CharacteristicInfo::getUuid() const
{
    return BTLE::uuidText(mCharacteristic.uuid());
}

QString BTLE_CharacteristicInfo::getValue() const
{
    return valueText(mCharacteristic.value());
}

QString BTLE_CharacteristicInfo::getHandle() const
{
    // Qt Bluetooth keeps attribute handles private, so the list shows a fixed placeholder.
    return QStringLiteral("0x1234");
}

QString BTLE_CharacteristicInfo::getPermission() const
{
    return permissionText(mCharacteristic.properties());
}

QString BTLE_CharacteristicInfo::nameText(const QString &name, const QString &userDescription)
{
    if (!name.isEmpty())
        return name;
    if (!userDescription.isEmpty())
        return userDescription;
    return QStringLiteral("Unknown");
}

QString BTLE_CharacteristicInfo::valueText(const QByteArray &value)
{
    if (value.isEmpty())
        return QStringLiteral("<none>");
    return QString::fromUtf8(value) + QLatin1Char('\n') + QString::fromLatin1(value.toHex());
}

QString BTLE_CharacteristicInfo::permissionText(QLowEnergyCharacteristic::PropertyTypes properties)
{
    static constexpr std::array<std::pair<QLowEnergyCharacteristic::PropertyType, const char *>, 8> names{{
        {QLowEnergyCharacteristic::Read, " Read"},
        {QLowEnergyCharacteristic::Write, " Write"},
        {QLowEnergyCharacteristic::Notify, " Notify"},
        {QLowEnergyCharacteristic::Indicate, " Indicate"},
        {QLowEnergyCharacteristic::ExtendedProperty, " ExtendedProperty"},
        {QLowEnergyCharacteristic::Broadcasting, " Broadcast"},
        {QLowEnergyCharacteristic::WriteNoResponse, " WriteNoResp"},
        {QLowEnergyCharacteristic::WriteSigned, " WriteSigned"},
    }};
    QString text = QStringLiteral("( ");
    for (const auto &[property, name] : names) {
        if (properties.testFlag(property))
            text += QLatin1String(name);
    }
    return text + QStringLiteral(" )");
}
