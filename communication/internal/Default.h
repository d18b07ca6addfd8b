#pragma once

#include "communication/LogLevel.h"
#include "communication/internal/ClosePortWhenFinished.h"
#include "communication/internal/Sequence.h"
#include "communication/internal/Session.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class PARLINK;
class PARLINK_SessionInfo;

namespace Thg::Tilo::Communication::Internal {

class Port;

// The base of every protocol job: its progress, its log, progress and error signals, the busy flag,
// the step timer between the sequences of its plan, the close-port policy, and the log line of every
// link error the stack reports. It also holds the steps every job takes through its plan: starting a
// sequence's session, checking a reply against the command awaited, and moving on after it. A job
// owns its Session and its plan; the Port is the service's and shared.
class Default : public QObject {
    Q_OBJECT
public:
    // Why a reply does not count as the device's answer, as the job logs it and as it reports it.
    struct Refusal {
        QString logEntry;
        QString errorText;
    };

    Default(QObject *parent, PARLINK *facade, Port *port, Thg::Tilo::Communication::ClosePortWhenFinished closePort,
            int responseTimeoutMs = Session::DefaultResponseTimeoutMs);
    ~Default() override;

    // Adds `percent` to the progress unless that would pass 100, and reports the progress either way.
    void incProgress(unsigned int percent);
    unsigned int progressValue() const { return mProgress; }
    bool isActive() const { return mActive; }
    Session *session() const { return mSession; }

    // The field's text, with a "0" in front of a one-character text: "7" gives "07". Empty when the
    // key is missing.
    static QString prependZero(const QMap<QString, QVariant> &fields, const QString &key);
    // The log text of a link error code; empty for 0.
    static QString linkErrorText(int code);

    // A reply carries the device's answer only when its "Status Low" and its "Universal Error" are
    // both 0. "Universal Error" also reports a reply of the wrong length and a baud-rate switch that
    // failed on our side; its default fields would otherwise pass as the device's values. The log
    // line names the "Universal Error" when the device itself did not refuse; the error text is the
    // same for both, translated in the job's own class.
    std::optional<Refusal> checkAcknowledged(const QMap<QString, QVariant> &fields, int command) const;
    // A reply to `received` where the plan awaits `expected`.
    Refusal wrongCommand(int expected, int received) const;
    // A reply counts when it answers the command at the plan's cursor and the device carried it out;
    // otherwise why not, the wrong command checked first.
    std::optional<Refusal> checkReply(const Sequences &plan, int received, const QMap<QString, QVariant> &fields) const;

    // Logs `sourceText` and reports it translated; the job stays as it is.
    void refuse(const char *sourceText);
    // Logs `logEntry` and reports `errorText` translated; the job stays as it is.
    void refuse(const char *logEntry, const char *errorText);

signals:
    void log(Thg::Tilo::Communication::LogLevel level, const QString &entry);
    void progress(unsigned int percent);
    void error(const QString &err);

public slots:
    virtual void abort() = 0;

protected:
    // What follows the awaited reply to the plan's current command.
    enum class Next {
        Command,  // the next command of the same session
        Sequence, // the next sequence, once the step timer has run out
        Nothing,  // the reply was the plan's last
    };

    // `sourceText` translated with the job's own class as context.
    QString translated(const char *sourceText) const;
    // Starts the job's session with `commands` to `address`, the first `delayMs` from now. False, with
    // a trace line, while the session still runs.
    bool startSession(const Thg::Tilo::Communication::Address::Bytes &address, const QList<Session::Data> &commands,
                      int delayMs);
    // The session of `sequence`, sent to its part of `address`.
    bool startSequence(const Thg::Tilo::Communication::Address &address, const Sequence &sequence, int delayMs);
    // The plan's next sequence at once, as the step timer starts it; nothing after the last one.
    void startNextSequence(Sequences &plan, const Thg::Tilo::Communication::Address &address);
    // After the awaited reply: moves the sequence's cursor on, or arms the step timer (`stepMs`) when
    // the plan has another sequence; says which.
    Next moveOn(Sequences &plan, int stepMs);
    // Stores the progress and reports it.
    void setProgress(unsigned int percent);
    void closePortWhenDone();

    PARLINK *mFacade = nullptr;
    Port *mPort = nullptr;
    Session *mSession = nullptr;
    ClosePortWhenFinished mClosePortWhenFinished = ClosePortWhenFinished::No;
    unsigned int mProgress = 0;
    QTimer mStepTimer;
    bool mActive = false;

private:
    void logLinkError(PARLINK_SessionInfo *info);
};

} // namespace Thg::Tilo::Communication::Internal
