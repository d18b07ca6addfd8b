#pragma once

#include "communication/Device.h"
#include "communication/ParLinkDeviceService.h"
#include "communication/Slots.h"
#include "communication/internal/Default.h"
#include "communication/internal/Sequence.h"

#include <QList>
#include <QString>

#include <array>
#include <cstdint>

namespace Thg::Tilo::Communication::Internal {

// Reads measured values: the device's status texts once (140), then one sample per session of device
// variables (138), burst variables (139) or both. A fixed read delivers every sample; an accumulating
// read leaves out its first replies, while the device settles, and delivers one averaged record.
// Burst values are polled: burst mode is never switched on.
class Values : public Default {
    Q_OBJECT
public:
    enum class State : std::uint32_t {
        Idle = 0,
        Accumulate = 2,
        FixedSamples = 3,
    };
    Q_ENUM(State)

    // The slot indices whose running sums and extremes a run keeps; a sample takes no more variables.
    static constexpr int MaxSlots = 8;
    static constexpr float NoMinimum = 1e10f;
    static constexpr float NoMaximum = -1e10f;

    Values(QObject *parent, PARLINK *facade, Port *port, Thg::Tilo::Communication::ClosePortWhenFinished closePort,
           int responseTimeoutMs = Session::DefaultResponseTimeoutMs);
    ~Values() override;

    // Starts a run of `samples` samples after `skip` replies that make none, on the open port; false
    // (with "Current operation not finished!") while a run is under way, which then goes on unchanged.
    bool startReading(Thg::Tilo::Communication::Internal::Values::State state,
                      Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &device,
                      Thg::Tilo::Communication::ParLinkDeviceService::Type kind, unsigned int samples,
                      unsigned short skip);
    // Idle, nothing gathered, progress 5.
    void reset();

    // The settings of an accumulating run, used when it ends. The leading index is at most 7.
    void setLeadingSlotIndex(std::uint8_t index);
    void setSamplesToTrim(std::uint16_t count) { mSamplesToTrim = count; }
    std::uint8_t leadingSlotIndex() const { return mLeadingSlotIndex; }
    std::uint16_t samplesToTrim() const { return mSamplesToTrim; }

    bool isBusy() const { return mState != State::Idle; }
    State state() const { return mState; }
    // The sequences at hand: the one under way and, when another follows, that one. The rest of a
    // run's sequences are made when they are due, so a run of any length holds at most two.
    const Sequences &plan() const { return mPlan; }
    // The run's sessions: the status texts, then one per sample and per skipped reply.
    quint64 sequenceCount() const { return mSequenceCount; }
    // The position of the sequence under way among them.
    quint64 sequenceIndex() const { return mSequenceIndex; }
    const QList<Thg::Tilo::Communication::Slots> &samples() const { return mSamples; }
    const QList<QString> &statusTexts() const { return mStatusTexts; }

    // Makes one sample of the fields of a 138 or 139 reply, keeps it and reports it with newValue.
    void gatherDataCmd138139(const QMap<QString, QVariant> &fields);
    // False, with "Didn`t find any data points in device value read out!", for no samples.
    bool isDataPresent(const QList<Thg::Tilo::Communication::Slots> &samples);
    // Ends the run with its result.
    void done();

signals:
    void finishedFixedSamples(Thg::Tilo::Communication::ParLinkDeviceService::Type t,
                              const QList<Thg::Tilo::Communication::Slots> &slot);
    void finishedAccumulate(Thg::Tilo::Communication::ParLinkDeviceService::Type t,
                            const Thg::Tilo::Communication::Slots &slot);
    void newValue(Thg::Tilo::Communication::ParLinkDeviceService::Type t, const Thg::Tilo::Communication::Slots &slot);

public slots:
    void abort() override;

private:
    void replyReceived(PARLINK_Session *reply);
    void sendNextSequence();
    // Appends the next sequence to the plan at hand when the run has another one.
    void planAhead();
    void noResponse();
    void countProgress();
    void finishAccumulate();
    // Log, error, reset, port close: the end of every failure.
    void fail(const QString &logEntry, const QString &errorText);

    State mState = State::Idle;
    Sequences mPlan;
    quint64 mSequenceCount = 0;
    quint64 mSequenceIndex = 0;
    // One sample's commands and the part of the address they go to.
    QList<Session::Data> mSampleCommands;
    Thg::Tilo::Communication::Address::Type mType = Thg::Tilo::Communication::Address::Type::None;
    Thg::Tilo::Communication::Device mDevice;
    double mProgressCarry = 0.0;
    QList<QString> mStatusTexts;
    QList<Thg::Tilo::Communication::Slots> mSamples;
    ParLinkDeviceService::Type mKind = ParLinkDeviceService::Type::DeviceValues;
    std::array<float, MaxSlots> mSums{};
    std::array<float, MaxSlots> mMinima{};
    std::array<float, MaxSlots> mMaxima{};
    std::uint8_t mLeadingSlotIndex = 0;
    std::uint16_t mSamplesToTrim = 0;
    std::int32_t mReplyCounter = 0;
    std::uint16_t mRepliesToSkip = 0;
};

} // namespace Thg::Tilo::Communication::Internal
