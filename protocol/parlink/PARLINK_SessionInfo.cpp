#include "protocol/parlink/PARLINK_SessionInfo.h"

PARLINK_SessionInfo::PARLINK_SessionInfo(QObject *parent) : QObject(parent) {}

bool PARLINK_SessionInfo::isRunning() const
{
    return mRunning;
}

void PARLINK_SessionInfo::setRunning(bool running)
{
    mRunning = running;
}

PARLINK_Session::PARLINK_ENUM_SESSION_ERROR PARLINK_SessionInfo::getError() const
{
    return mError;
}

void PARLINK_SessionInfo::setError(PARLINK_Session::PARLINK_ENUM_SESSION_ERROR error)
{
    mError = error;
}

PARLINK_Session::PARLINK_ENUM_SESSION_STATE PARLINK_SessionInfo::getState() const
{
    return mState;
}

void PARLINK_SessionInfo::setState(PARLINK_Session::PARLINK_ENUM_SESSION_STATE state)
{
    mState = state;
}

bool PARLINK_SessionInfo::isBurstModeActive() const
{
    return mBurstModeActive;
}

void PARLINK_SessionInfo::setBurstModeActive(bool active)
{
    mBurstModeActive = active;
}

quint64 PARLINK_SessionInfo::getBurstRoundTripLatencyNs() const
{
    return mBurstRoundTripLatencyNs;
}

void PARLINK_SessionInfo::setBurstRoundTripLatencyNs(quint64 ns)
{
    mBurstRoundTripLatencyNs = ns;
}

quint32 PARLINK_SessionInfo::getBaudrate() const
{
    return mBaudrate;
}

void PARLINK_SessionInfo::setBaudrate(quint32 baudrate)
{
    mBaudrate = baudrate;
}

qint64 PARLINK_SessionInfo::getErrorCount() const
{
    return mErrorCount;
}

void PARLINK_SessionInfo::setErrorCount(qint64 count)
{
    mErrorCount = count;
}
