#pragma once

#include "protocol/parlink/PARLINK_Session.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

// The device's side of PARLINK above the link layer: it answers each request that the link layer
// accepts in the slave role with a response built from prepared field values (the reply session),
// decodes the request's fields, changes the baud rate once its 129 reply has been written, and
// supplies the frames of burst mode. Acts only while a slave session runs; it lets the stack emulate
// a device.
class PARLINK_SLAVE_AppLayer : public QObject {
    Q_OBJECT
public:
    // A memory read answers at most this many data bytes (count 100, the most a master accepts).
    static constexpr int MaxBytesToRead = 98;
    // The field maps hold eight measured variables.
    static constexpr int MaxVariables = 8;

    explicit PARLINK_SLAVE_AppLayer(QObject *parent = nullptr);
    ~PARLINK_SLAVE_AppLayer() override = default;

    // Decodes the request session's raw frame into its command's field map.
    void setRequestDataSets();

    // Facade side: the caller's session becomes the reply session and the layer waits for requests.
    void startSession(PARLINK_Session *session);
    // Facade side: emits sessionStop and leaves the active state.
    void stopSession();

    PARLINK_Session *requestSession() const { return mRequestSession; }
    // The caller's session while it lives, else the layer's own.
    PARLINK_Session *replySession() const;
    bool isActive() const { return mActive; }

signals:
    void sessionStart(PARLINK_Session *s);
    void sessionStop();
    void sessionNewData(PARLINK_Session *data);
    void sessionDataTxSetBuffer(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command, QByteArray &buffer);
    void sessionBurstModeSetActivate();
    bool sessionBaudrateSetNew(uint ulNewBaudrate, bool *bSuccess);
    // A request has been decoded into the request session and its answer is about to be built from
    // the reply session: a device emulation fills in its reply fields here (direct connection only).
    void sessionRequestDecoded(PARLINK_Session *request);

public slots:
    void sessionDataWritten();
    void sessionDataReady(QByteArray buffer);
    void sessionBurstModeSetData(QByteArray &buffer);

private slots:
    void changeBaudrate();

private:
    QByteArray buildResponse(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command);

    PARLINK_Session *mRequestSession = nullptr;
    QPointer<PARLINK_Session> mReplySession;
    PARLINK_Session *mOwnSession = nullptr;
    bool mBaudrateChangePending = false;
    quint32 mNewBaudrate = 0;
    bool mActive = false;
};
