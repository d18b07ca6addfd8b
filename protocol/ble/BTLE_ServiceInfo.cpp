#include "protocol/ble/BTLE_ServiceInfo.h"

#include "protocol/ble/BTLE_Texts.h"

BTLE_ServiceInfo::BTLE_ServiceInfo(QLowEnergyService *service, QObject *parent)
    : QObject(parent), mService(service)
{
    if (mService)
        mService->setParent(this);
}

QLowEnergyService *BTLE_ServiceInfo::service() const
{
    return mService;
}

QString BTLE_ServiceInfo::getName() const
{
    return mService ? mService->serviceName() : QString();
}

QString BTLE_ServiceInfo::getUuid() const
{
    return mService ? BTLE::uuidText(mService->serviceUuid()) : QString();
}

QString BTLE_ServiceInfo::getType() const
{
    return mService ? typeText(mService->type()) : QString();
}

QString BTLE_ServiceInfo::typeText(QLowEnergyService::ServiceTypes types)
{
    QString text = types.testFlag(QLowEnergyService::PrimaryService) ? QStringLiteral("primary")
                                                                     : QStringLiteral("secondary");
    if (types.testFlag(QLowEnergyService::IncludedService))
        text += QStringLiteral(" included");
    return text;
}
