// libFuzzer target: the PARLINK frame receiver fed with arbitrary bytes, in any role and from any
// session state. Whatever arrives, it must never touch memory outside its frame buffer, and every frame
// it completes must be whole: as long as its byte count says and with a matching checksum.

#include "protocol/parlink/PARLINK_FrameReceiver.h"

#include <cstddef>
#include <cstdint>

using S = PARLINK_Session;

namespace {

constexpr S::PARLINK_ENUM_SESSION_STATE States[] = {
    S::PARLINK_ENUM_SESSION_STATE_INACTIVE,
    S::PARLINK_ENUM_SESSION_STATE_SENDING,
    S::PARLINK_ENUM_SESSION_STATE_SENDING_DONE,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_FIRST_RECIEVE_BYTE,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_COMMAND,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD_COUNT,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_DONE,
    S::PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_BURST_ACK,
    S::PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY,
    S::PARLINK_ENUM_SESSION_STATE_ERROR,
    S::PARLINK_ENUM_SESSION_STATE_UNKNOWN,
};

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Header: role, command, flags (burst mode, periodic time-outs), start state, five address bytes.
    constexpr std::size_t HeaderSize = 9;
    if (size < HeaderSize)
        return 0;

    PARLINK_FrameReceiver::Expectation expect;
    expect.role = S::PARLINK_ENUM_SESSION_TYPE(data[0] % 3);
    expect.command = S::PARLINK_ENUM_SESSION_COMMAND(data[1]);
    expect.burstMode = (data[2] & 1) != 0;
    const std::size_t timeoutEvery = (data[2] >> 1) % 64;
    auto state = States[data[3] % (sizeof States / sizeof States[0])];
    for (int i = 0; i < 5; ++i)
        expect.address[i] = data[4 + i];

    PARLINK_FrameReceiver receiver;
    for (std::size_t i = HeaderSize; i < size; ++i) {
        if (timeoutEvery != 0 && i % timeoutEvery == 0)
            receiver.resynchronise();
        const auto step = receiver.feed(data[i], state, expect);
        state = step.state;
        if (step.error != S::PARLINK_ENUM_SESSION_NO_ERROR) {
            require(state == S::PARLINK_ENUM_SESSION_STATE_ERROR);
            continue;
        }
        if (!step.frameComplete)
            continue;
        require(state == S::PARLINK_ENUM_SESSION_STATE_RECIEVING_DONE);

        const QByteArray frame = receiver.frame();
        require(frame.size() >= 8 && frame.size() <= PARLINK_FrameReceiver::BufferSize);
        require(frame.size() == 8 + std::uint8_t(frame.at(7)));
        char checksum = 0;
        for (const char byte : frame)
            checksum ^= byte;
        require(std::uint8_t(checksum) == data[i]);
        // Wait for the next frame as after a new transmission.
        state = S::PARLINK_ENUM_SESSION_STATE_INACTIVE;
    }
    return 0;
}
