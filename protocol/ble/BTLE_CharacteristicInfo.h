#pragma once

#include <QByteArray>
#include <QLowEnergyCharacteristic>
#include <QObject>
#include <QString>

// One characteristic of the chosen service, with the texts a characteristic list shows.
class BTLE_CharacteristicInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString characteristicName READ getName NOTIFY characteristicChanged)
    Q_PROPERTY(QString characteristicUuid READ getUuid NOTIFY characteristicChanged)
    Q_PROPERTY(QString characteristicValue READ getValue NOTIFY characteristicChanged)
    Q_PROPERTY(QString characteristicHandle READ getHandle NOTIFY characteristicChanged)
    Q_PROPERTY(QString characteristicPermission READ getPermission NOTIFY characteristicChanged)

public:
    explicit BTLE_CharacteristicInfo(const QLowEnergyCharacteristic &characteristic, QObject *parent = nullptr);

    const QLowEnergyCharacteristic &getCharacteristic() const;
    QString getName() const;
    QString getUuid() const;
    QString getValue() const;
    QString getHandle() const;
    QString getPermission() const;

    // The characteristic's own name, else its user description (descriptor 0x2901), else "Unknown".
    static QString nameText(const QString &name, const QString &userDescription);
    // "<none>", or the value as UTF-8 text, a line feed and the value in hexadecimal.
    static QString valueText(const QByteArray &value);
    // "( Read Notify )"-style list of the properties, always in the same order.
    static QString permissionText(QLowEnergyCharacteristic::PropertyTypes properties);

signals:
    void characteristicChanged();

private:
    QLowEnergyCharacteristic mCharacteristic;
};
