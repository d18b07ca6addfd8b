#include "tools/zeb-sim/FrameTracker.h"

namespace ZebSim {

namespace {
constexpr std::uint8_t preambleByte = 0xFF;
// Delimiter, five address bytes, command and byte count.
constexpr int headerSize = 8;
constexpr char wakeUp[] = "PARL";
} // namespace

FrameTracker::FrameTracker(std::uint8_t delimiter) : mDelimiter(delimiter) {}

FrameTracker::Step FrameTracker::step(std::uint8_t byte)
{
    Step s;
    switch (mState) {
    case State::Idle:
        if (byte == preambleByte) {
            mState = State::Preamble;
            s.place = Place::Preamble;
        }
        return s;
    case State::Preamble:
        if (byte == preambleByte) {
            s.place = Place::Preamble;
        } else if (byte == mDelimiter) {
            mFrame = QByteArray(1, char(byte));
            mState = State::Header;
            ++mFrameNumber;
            s.place = Place::Body;
            s.bodyOffset = 0;
            s.frameNumber = mFrameNumber;
        } else {
            mState = State::Idle;
        }
        return s;
    case State::Header:
    case State::Data:
        mFrame.append(char(byte));
        s.place = Place::Body;
        s.bodyOffset = int(mFrame.size()) - 1;
        s.frameNumber = mFrameNumber;
        s.addressComplete = (s.bodyOffset == 5);
        if (mState == State::Header && mFrame.size() == headerSize) {
            mRemaining = byte;
            mState = mRemaining == 0 ? State::Checksum : State::Data;
        } else if (mState == State::Data && --mRemaining == 0) {
            mState = State::Checksum;
        }
        return s;
    case State::Checksum:
        mFrame.append(char(byte));
        mState = State::Idle;
        s.place = Place::Checksum;
        s.bodyOffset = int(mFrame.size()) - 1;
        s.frameNumber = mFrameNumber;
        s.frameComplete = true;
        return s;
    }
    return s;
}

bool WakeUpFilter::swallow(std::uint8_t byte)
{
    if (byte == std::uint8_t(wakeUp[mMatched])) {
        if (++mMatched == 4) {
            mMatched = 0;
            ++mSeen;
        }
        return true;
    }
    mMatched = byte == std::uint8_t(wakeUp[0]) ? 1 : 0;
    return mMatched == 1;
}

} // namespace ZebSim
