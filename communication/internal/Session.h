#pragma once

#include "communication/Address.h"
#include "communication/LogLevel.h"

#include "protocol/parlink/PARLINK_Session.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>

class PARLINK;
class PARLINK_SessionInfo;
class QTimer;

namespace Thg::Tilo::Communication::Internal {

// Runs one PARLINK master session for a job: one command, or a list of up to 100 sent one after the
// other to one five-byte address, after an optional start delay. Each reply is handed to the job
// through newData; a reply that does not come within the response time-out ends the session with
// noResponse.
//
// Every job's Session listens to the one facade, so every reply reaches every Session: only the one
// that is running acts on it.
class Session : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultResponseTimeoutMs = 15000;
    static constexpr int MaxCommands = PARLINK_Session::QueueCapacity;

    using FieldMap = QMap<QString, QVariant>;

    // One command of a session: its number and its request fields under the protocol's field names.
    struct Data {
        PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command = PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND;
        FieldMap fields;

        bool operator==(const Data &) const = default;
    };

    // `responseTimeoutMs` is how long each reply may take; jobs pass DefaultResponseTimeoutMs, tests a
    // shorter time.
    Session(QObject *parent, PARLINK *facade, int responseTimeoutMs = DefaultResponseTimeoutMs);
    ~Session() override;

    // Sends `commands` to `address`, the first request `delayMs` from now (at once for 0). Refused,
    // with a trace line, while the Session is running.
    void startWith(const Address::Bytes &address, const QList<Session::Data> &commands, int delayMs);
    // Ends the session: no further reply is taken and no time-out reported.
    void stop();

    bool isRunning() const { return mRunning; }
    int responseTimeoutMs() const;
    // Commands of the current start, and replies still awaited of a list.
    qint64 count() const { return mCount; }
    qint64 remaining() const { return mRemaining; }
    // The session handed to the facade.
    PARLINK_Session *parlinkSession() const { return mSession; }

    // The standard request fields of `command`.
    static FieldMap getDefaultData(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command);
    // `command` with its standard request fields.
    static Data request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND command);
    // The decoded fields of the reply's current command, on top of the command's standard fields.
    static FieldMap getCommandData(const PARLINK_Session &reply);
    // The five bytes in decimal, run together, for log lines.
    static QString getAddressAsString(const Address::Bytes &address);

signals:
    void newInfo(PARLINK_SessionInfo *info);
    void newData(PARLINK_Session *data);
    void noResponse();
    void log(Thg::Tilo::Communication::LogLevel level, const QString &entry);
    void startSession(PARLINK_Session *session, QPrivateSignal);
    void stopSession(QPrivateSignal);

private:
    void delayedStart();
    void replyReceived(PARLINK_Session *reply);
    void responseTimedOut();

    PARLINK *mFacade = nullptr;
    PARLINK_Session *mSession = nullptr;
    QTimer *mResponseTimer = nullptr;
    QTimer *mStartDelayTimer = nullptr;
    bool mRunning = false;
    qint64 mCount = 0;
    qint64 mRemaining = 0;
    // Counts starts and stops, so that a reply handler can tell whether the job stopped or restarted
    // the session while it handled the reply.
    quint64 mGeneration = 0;
};

} // namespace Thg::Tilo::Communication::Internal

Q_DECLARE_METATYPE(Thg::Tilo::Communication::Internal::Session::Data)
