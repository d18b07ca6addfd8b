#pragma once

#include "protocol/parlink/PARLINK_Session.h"

#include <QObject>

// The link's status object: created and owned by the link layer and handed out by pointer with
// sessionNewInfo. The error is non-zero only while the emission that reports it is delivered.
class PARLINK_SessionInfo : public QObject {
    Q_OBJECT
public:
    explicit PARLINK_SessionInfo(QObject *parent = nullptr);
    ~PARLINK_SessionInfo() override = default;

    bool isRunning() const;
    void setRunning(bool running);
    PARLINK_Session::PARLINK_ENUM_SESSION_ERROR getError() const;
    void setError(PARLINK_Session::PARLINK_ENUM_SESSION_ERROR error);
    PARLINK_Session::PARLINK_ENUM_SESSION_STATE getState() const;
    void setState(PARLINK_Session::PARLINK_ENUM_SESSION_STATE state);
    bool isBurstModeActive() const;
    void setBurstModeActive(bool active);
    quint64 getBurstRoundTripLatencyNs() const;
    void setBurstRoundTripLatencyNs(quint64 ns);
    quint32 getBaudrate() const;
    void setBaudrate(quint32 baudrate);
    qint64 getErrorCount() const;
    void setErrorCount(qint64 count);

private:
    bool mRunning = false;
    PARLINK_Session::PARLINK_ENUM_SESSION_ERROR mError = PARLINK_Session::PARLINK_ENUM_SESSION_NO_ERROR;
    PARLINK_Session::PARLINK_ENUM_SESSION_STATE mState = PARLINK_Session::PARLINK_ENUM_SESSION_STATE_INACTIVE;
    bool mBurstModeActive = false;
    quint64 mBurstRoundTripLatencyNs = 0;
    quint32 mBaudrate = 0;
    qint64 mErrorCount = 0;
};
