#pragma once

#include "communication/Device.h"
#include "communication/internal/Default.h"
#include "communication/internal/Sequence.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace Thg::Tilo::Communication::Internal {

// Carries out the service's parameter writes and reads. A write sends per chunk a memory write (131)
// and its read-back (130) as one session, repeats a chunk whose read-back differs up to three
// times, and has the device take the values over (132); a read sends one memory read per chunk and
// hands over the bytes of all of them in one piece.
class Parameter : public Default {
    Q_OBJECT
public:
    enum class State : std::int32_t {
        Inactive = 0,
        Writing = 1,
        Reading = 2,
    };

    // Repeats of one chunk after differing read-backs; the next difference fails the write.
    static constexpr unsigned int MaxRetries = 3;

    Parameter(QObject *parent, PARLINK *facade, Port *port, Thg::Tilo::Communication::ClosePortWhenFinished closePort,
              int responseTimeoutMs = Session::DefaultResponseTimeoutMs);
    ~Parameter() override;

    bool isBusy() const { return mState != State::Inactive; }
    State state() const { return mState; }

    // Both send the first sequence of `plan` to `device` after the job's start delay. The caller has
    // made sure that the job is not busy. A read expects one 130 reply per sequence.
    void startWrite(const Thg::Tilo::Communication::Device &device, const Sequences &plan);
    void startRead(const Thg::Tilo::Communication::Device &device, const Sequences &plan);

    // The one failure path: reports `text`, stops everything and closes the port. Only while busy.
    void failed(const QString &text);

    // The progress after `done` of `total` replies: 10 for the start, the other 90 shared by the
    // replies. Repeated chunks count too, so it is held at 100.
    static unsigned int replyProgress(std::uint32_t done, std::uint32_t total);

signals:
    void success();
    void readValue(const QByteArray &value);

public slots:
    void abort() override;

private:
    void start(State state, const Thg::Tilo::Communication::Device &device, const Sequences &plan);
    void recieveStateMachine(PARLINK_Session &reply);
    // Handles the 130 of a read or a read-back; false when the state machine must stop here.
    bool readReply(const Sequence &sequence, const QMap<QString, QVariant> &fields);
    bool readBackReply(Sequence &sequence, const QMap<QString, QVariant> &fields);
    void step();
    void noResponse();
    void stop();
    void clearRetry();

    State mState = State::Inactive;
    Sequences mPlan;
    Thg::Tilo::Communication::Device mDevice;
    QByteArray mReadBuffer;
    qint64 mOutstandingReads = 0;
    bool mRetryPending = false;
    std::uint32_t mRetryCount = 0;
    QString mRetryReason;
    // The reason as the log writes it, untranslated.
    QString mRetryReasonEntry;
    std::uint32_t mTotalCommands = 0;
    std::uint32_t mCommandsDone = 0;
};

} // namespace Thg::Tilo::Communication::Internal
