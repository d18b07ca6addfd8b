#pragma once

#include "communication/Comport.h"
#include "communication/LogLevel.h"

#include "protocol/parlink/PARLINK_Session.h"

#include <QObject>

class PARLINK;
class QTimer;

namespace Thg::Tilo::Communication::Internal {

// The serial port as the jobs see it: opened and closed through the facade, with a time-out on the
// open. The service owns one Port that every job uses. Asking for another port than the open one
// closes that one first and opens the new one once the close is reported.
class Port : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultOpenTimeoutMs = 150;

    Port(QObject *parent, PARLINK *facade);
    ~Port() override;

    // Opens `comport`, or keeps it when it is the open one (opened() then comes at once). A port whose
    // close has been asked for is opened again once the close is reported.
    void open(const Thg::Tilo::Communication::Comport &comport, int openTimeoutMs);
    // Asks the facade to open `comport` and gives it `openTimeoutMs` to report the port open.
    void reopen(const Thg::Tilo::Communication::Comport &comport, int openTimeoutMs);
    // Asks the facade to close the port of the last open request.
    void close();

    bool isOpen() const { return mOpen; }
    const Comport &comport() const { return mComport; }

    // The serial settings of a port open for `comport`: 1200 baud 8O1 without flow control, the
    // device powered down and up again through DTR and RTS.
    static PARLINK_Session::InterfaceSettings interfaceSettings(const Thg::Tilo::Communication::Comport &comport);

signals:
    void opened();
    void closed();
    void failed();
    void log(Thg::Tilo::Communication::LogLevel level, const QString &entry);
    void openPort(bool bOpen, const PARLINK_Session::InterfaceSettings &set, QPrivateSignal);

private:
    void portStateChanged(bool open);
    void openTimedOut();

    PARLINK *mFacade = nullptr;
    QTimer *mOpenTimer = nullptr;
    Comport mComport;
    bool mOpen = false;
    bool mReopenPending = false;
    // A close has been asked for and not reported yet.
    bool mClosing = false;
    int mOpenTimeoutMs = DefaultOpenTimeoutMs;
};

} // namespace Thg::Tilo::Communication::Internal
