#include "protocol/parlink/PARLINK_FrameReceiver.h"

using S = PARLINK_Session;

namespace {

// Frame offsets counted from the delimiter.
constexpr int LastAddressIndex = 5;
constexpr int CommandIndex = 6;
constexpr int ByteCountIndex = 7;
constexpr int LastStatusIndex = 9;

constexpr std::uint8_t IdentifyCommand = S::PARLINK_ENUM_SESSION_COMMAND_137;

} // namespace

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::failed(Error error)
{
    Step step;
    step.state = S::PARLINK_ENUM_SESSION_STATE_ERROR;
    step.error = error;
    return step;
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::moved(State state)
{
    Step step;
    step.state = state;
    return step;
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::feed(std::uint8_t byte, State state,
                                                        const Expectation &expect)
{
    // Our own transmission (or its echo) is never a frame, and it does not consume a pending
    // resynchronisation either.
    if (state == S::PARLINK_ENUM_SESSION_STATE_SENDING || state == S::PARLINK_ENUM_SESSION_STATE_SENDING_DONE)
        return moved(state);

    if (mResynchronise) {
        mResynchronise = false;
        return reset(byte, expect);
    }

    // The session's state says where in a frame the next byte belongs. Should it name a position this
    // receiver has not reached itself (a session handed over in the middle of a frame), the frame
    // search starts again instead of storing past the frame.
    if (!holdsFrameFor(state))
        return reset(byte, expect);

    switch (state) {
    case S::PARLINK_ENUM_SESSION_STATE_INACTIVE:
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_FIRST_RECIEVE_BYTE:
    case S::PARLINK_ENUM_SESSION_STATE_ERROR:
        return reset(byte, expect);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS:
        return countPreambles(byte, expect);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS:
        return checkAddress(byte, expect);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_COMMAND:
        return readCommand(byte, expect);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD_COUNT:
        return readByteCount(byte, expect);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES:
        return readStatusBytes(byte);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD:
        return readPayload(byte);
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_BURST_ACK:
        return waitForBurstAcknowledge(byte, expect);
    default:
        // A delivered frame waits for the next transmission; the byte is dropped.
        return moved(state);
    }
}

bool PARLINK_FrameReceiver::holdsFrameFor(State state) const
{
    switch (state) {
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS:
        return mByteCounter < LastAddressIndex;
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_COMMAND:
        return mByteCounter == LastAddressIndex;
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD_COUNT:
        return mByteCounter == CommandIndex;
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES:
        return mByteCounter >= ByteCountIndex && mByteCounter < LastStatusIndex;
    case S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD:
        return mByteCounter >= ByteCountIndex && mByteCounter + mPayloadCounter < BufferSize;
    default:
        return true;
    }
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::reset(std::uint8_t byte, const Expectation &expect)
{
    mByteCounter = 0;
    mPreambleCounter = 0;
    if (byte != Preamble)
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_FIRST_RECIEVE_BYTE);

    Step step = moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS);
    step.preambleStarted = expect.role == S::PARLINK_ENUM_SESSION_TYPE_MASTER && expect.burstMode;
    mPreambleCounter = 1;
    return step;
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::countPreambles(std::uint8_t byte, const Expectation &expect)
{
    if (byte == Preamble) {
        if (++mPreambleCounter > MaxPreambles)
            return failed(S::PARLINK_ENUM_SESSION_ERROR_TOO_MANY_PREAMBELS);
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS);
    }

    // Each role listens only for frames from the other side; a frame of a third station on the line
    // (or our own echo) is skipped while the preamble search goes on.
    const bool accepted = (expect.role == S::PARLINK_ENUM_SESSION_TYPE_MASTER && byte == DeviceDelimiter)
        || (expect.role == S::PARLINK_ENUM_SESSION_TYPE_SLAVE && byte == MasterDelimiter);
    if (!accepted)
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS);
    if (mPreambleCounter < MinPreambles)
        return failed(S::PARLINK_ENUM_SESSION_ERROR_TOO_FEW_PREAMBELS);

    mByteCounter = 0;
    mBuffer[0] = byte;
    return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS);
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::checkAddress(std::uint8_t byte, const Expectation &expect)
{
    store(byte);
    if (mByteCounter < LastAddressIndex)
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS);

    bool allZero = true;
    bool matches = true;
    for (int i = 0; i < 5; ++i) {
        allZero = allZero && mBuffer[1 + i] == 0;
        matches = matches && mBuffer[1 + i] == expect.address[i];
    }
    if (expect.role == S::PARLINK_ENUM_SESSION_TYPE_SLAVE) {
        // Command 137 goes to the zero address: it asks any device for its address. The session's
        // command is here the one of the request answered last, so it says nothing about this one;
        // the zero address alone lets a request through, and readCommand then requires 137.
        mZeroAddress = allZero;
        if (!allZero && !matches)
            return failed(S::PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS);
    } else if (expect.command != IdentifyCommand && !matches) {
        // The answer to 137 comes from whichever device is on the line.
        return failed(S::PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS);
    }
    return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_COMMAND);
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::readCommand(std::uint8_t byte, const Expectation &expect)
{
    store(byte);
    Step step = moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD_COUNT);
    if (expect.role == S::PARLINK_ENUM_SESSION_TYPE_SLAVE) {
        if (mZeroAddress) {
            mZeroAddress = false;
            if (byte != IdentifyCommand)
                return failed(S::PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND);
        } else {
            step.command = static_cast<Command>(byte);
        }
        return step;
    }

    // Unprompted burst frames are always command 139.
    const int expected = expect.burstMode ? int(S::PARLINK_ENUM_SESSION_COMMAND_139) : int(expect.command);
    if (byte != expected)
        return failed(S::PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND);
    return step;
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::readByteCount(std::uint8_t byte, const Expectation &expect)
{
    store(byte);
    const bool fromDevice = expect.role != S::PARLINK_ENUM_SESSION_TYPE_SLAVE;
    // A count that would carry the frame past the buffer, or a device frame too short for its status
    // bytes, cannot be a frame: drop it whole and look for the next preamble.
    if (byte > MaxByteCount || (fromDevice && byte < MinDeviceByteCount)) {
        mResynchronise = true;
        return failed(S::PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN);
    }
    if (fromDevice)
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES);
    mPayloadCounter = byte;
    return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD);
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::readStatusBytes(std::uint8_t byte)
{
    store(byte);
    if (mByteCounter < LastStatusIndex)
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES);
    mPayloadCounter = mBuffer[ByteCountIndex] - MinDeviceByteCount;
    return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD);
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::readPayload(std::uint8_t byte)
{
    if (mPayloadCounter > 0) {
        store(byte);
        --mPayloadCounter;
        return moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD);
    }

    std::uint8_t checksum = 0;
    for (int i = 0; i <= mByteCounter; ++i)
        checksum ^= mBuffer[i];
    if (byte != checksum)
        return failed(S::PARLINK_ENUM_SESSION_ERROR_WRONG_CHECKSUM);
    Step step = moved(S::PARLINK_ENUM_SESSION_STATE_RECIEVING_DONE);
    step.frameComplete = true;
    return step;
}

PARLINK_FrameReceiver::Step PARLINK_FrameReceiver::waitForBurstAcknowledge(std::uint8_t byte,
                                                                           const Expectation &expect)
{
    if (expect.role == S::PARLINK_ENUM_SESSION_TYPE_MASTER && !expect.burstMode)
        return moved(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
    if (byte != BurstAcknowledge)
        return failed(S::PARLINK_ENUM_SESSION_ERROR_BURST_ACK);
    Step step = moved(S::PARLINK_ENUM_SESSION_STATE_INACTIVE);
    step.burstAcknowledged = true;
    return step;
}

QByteArray PARLINK_FrameReceiver::frame() const
{
    return QByteArray(reinterpret_cast<const char *>(mBuffer.data()), mByteCounter + 1);
}
