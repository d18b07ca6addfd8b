#pragma once

#include <QLowEnergyService>
#include <QObject>
#include <QPointer>
#include <QString>

// One GATT service of the connected device. The info owns the service object: deleting the info
// deletes the service.
class BTLE_ServiceInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString serviceName READ getName NOTIFY serviceChanged)
    Q_PROPERTY(QString serviceUuid READ getUuid NOTIFY serviceChanged)
    Q_PROPERTY(QString serviceType READ getType NOTIFY serviceChanged)

public:
    explicit BTLE_ServiceInfo(QLowEnergyService *service, QObject *parent = nullptr);

    QLowEnergyService *service() const;
    QString getName() const;
    QString getUuid() const;
    QString getType() const;

    // "primary" or "secondary", with " included" for an included service.
    static QString typeText(QLowEnergyService::ServiceTypes types);

signals:
    void serviceChanged();

private:
    QPointer<QLowEnergyService> mService;
};
