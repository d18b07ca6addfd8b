#pragma once

#include "communication/LogLevel.h"
#include "communication/internal/ClosePortWhenFinished.h"
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
// link error the stack reports. A job owns its Session; the Port is the service's and shared.
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

signals:
    void log(Thg::Tilo::Communication::LogLevel level, const QString &entry);
    void progress(unsigned int percent);
    void error(const QString &err);

public slots:
    virtual void abort() = 0;

protected:
    // `sourceText` translated with the job's own class as context.
    QString translated(const char *sourceText) const;
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
