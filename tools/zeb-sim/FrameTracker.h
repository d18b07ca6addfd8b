#pragma once

#include <QByteArray>

#include <cstdint>

namespace ZebSim {

// Follows one direction of a PARLINK line byte by byte and says where each byte stands: outside a
// frame, in a preamble, in a frame's body (delimiter through the last data byte) or as its checksum.
// The simulated device uses it to place its faults on exact bytes of a reply, to route a request by
// its address before the stack compares it, and to log every frame. No I/O, no timers.
class FrameTracker {
public:
    enum class Place : std::uint8_t { Outside, Preamble, Body, Checksum };

    struct Step {
        Place place = Place::Outside;
        int frameNumber = 0;    // 1 for the first frame seen, counted when its delimiter arrives
        int bodyOffset = -1;    // offset from the delimiter for Body and Checksum
        bool addressComplete = false;
        bool frameComplete = false;
    };

    explicit FrameTracker(std::uint8_t delimiter);

    Step step(std::uint8_t byte);

    // The body and checksum of the frame whose last byte the latest step reported complete.
    const QByteArray &lastFrame() const { return mFrame; }
    // The five address bytes of the frame under way (valid once addressComplete was reported).
    QByteArray address() const { return mFrame.mid(1, 5); }
    int framesSeen() const { return mFrameNumber; }

private:
    enum class State : std::uint8_t { Idle, Preamble, Header, Data, Checksum };

    std::uint8_t mDelimiter;
    State mState = State::Idle;
    QByteArray mFrame;
    int mRemaining = 0;
    int mFrameNumber = 0;
};

// Removes the wake-up string "PARL" that the master writes after a port opens from the bytes between
// frames; the device never treats it as part of a request. Matches across reads.
class WakeUpFilter {
public:
    // True when the byte belongs to a wake-up string and must not reach the device's receiver.
    bool swallow(std::uint8_t byte);
    int wakeUpsSeen() const { return mSeen; }

private:
    int mMatched = 0;
    int mSeen = 0;
};

} // namespace ZebSim
