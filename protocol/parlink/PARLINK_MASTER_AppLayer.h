#pragma once

#include "protocol/parlink/PARLINK_Session.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

// The master side of PARLINK above the link layer: it takes the commands of a session off its queue
// one by one, lays each command's named fields out as a request, hands the request to the link layer
// after a fixed delay, decodes every response into the command's field map with its byte-count checks,
// switches the baud rate when 129 succeeds, enters burst mode when 142 succeeds, acknowledges burst
// frames and reports every decoded response with sessionNewData.
//
// The facade creates it, starts and stops it and wires it to the link layer; all on one thread.
class PARLINK_MASTER_AppLayer : public QObject {
    Q_OBJECT
public:
    // Milliseconds from building a request to handing it to the link layer: the device needs this
    // pause after its last reply before it listens again.
    static constexpr int RequestDelayMs = 150;
    // Extra pause after a 129 reply, so that both ends have changed their baud rate before the next
    // request (250 ms from the reply in all).
    static constexpr int BaudrateChangeDelayMs = 100;
    static constexpr quint32 InitialBaudrate = 1200;

    explicit PARLINK_MASTER_AppLayer(QObject *parent = nullptr);
    ~PARLINK_MASTER_AppLayer() override = default;

    // Takes the next command off the request session's queue and schedules its request.
    void setRequestBufferAndRequest();

    // Facade side: a new session becomes the request session and its first request is built at once.
    void startSession(PARLINK_Session *session);
    // Facade side: emits sessionStop and leaves the active state; a request still waiting out its
    // delay is not sent.
    void stopSession();

    // The caller's session while it lives, else the layer's own.
    PARLINK_Session *requestSession() const;
    PARLINK_Session *responseSession() const { return mResponseSession; }
    bool isActive() const { return mActive; }
    bool isBurstMode() const { return mBurstMode; }
    quint32 baudrate() const { return mBaudrate; }

signals:
    void sessionStart(PARLINK_Session *s);
    void sessionStop();
    void sessionNewData(PARLINK_Session *data);
    void sessionDataTxSetBuffer(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command, QByteArray &buffer);
    void sessionBurstModeSetActivate();
    void sessionBurstModeSetAcknowledge();
    bool sessionBaudrateSetNew(uint ulNewBaudrate, bool *bSuccess);

public slots:
    void sessionDataWritten();
    void sessionDataReady(QByteArray buffer);
    void sessionBurstModeDeactive();

private slots:
    void requestDelay();

private:
    // A request waiting out its delay. Command and frame are taken when the send is scheduled, so a
    // session that changes meanwhile cannot alter or repeat it; a request of an older session than the
    // current one is dropped.
    struct PendingRequest {
        quint64 session;
        PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command;
        QByteArray frame;
    };

    QByteArray buildRequest(PARLINK_Session *session, PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command);
    void scheduleNextRequest(int delayMs);

    QPointer<PARLINK_Session> mRequestSession;
    PARLINK_Session *mOwnSession = nullptr;
    PARLINK_Session *mResponseSession = nullptr;
    quint32 mBaudrate = InitialBaudrate;
    bool mActive = false;
    bool mBurstMode = false;
    // Counts the sessions started and stopped, to tell a stale delayed step from a current one.
    quint64 mSessionNumber = 0;
    QList<PendingRequest> mPendingRequests;
};
