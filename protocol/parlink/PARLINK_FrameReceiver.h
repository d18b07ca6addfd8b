#pragma once

#include "protocol/parlink/PARLINK_Session.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

// The receive side of the PARLINK frame, one byte at a time: preamble, delimiter, address, command,
// byte count, status bytes, data and checksum, plus the bare burst acknowledgement.
//
// It owns no timer, port or thread. The link layer hands it each byte together with the session's
// current state and what the running session expects, and acts on the returned step (timers, status
// object, signals). Each link layer holds its own receiver, so two stacks in one process never share a
// half-received frame.
class PARLINK_FrameReceiver
{
public:
    using State = PARLINK_Session::PARLINK_ENUM_SESSION_STATE;
    using Error = PARLINK_Session::PARLINK_ENUM_SESSION_ERROR;
    using Role = PARLINK_Session::PARLINK_ENUM_SESSION_TYPE;
    using Command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND;

    // The frame from the delimiter through the last data byte.
    static constexpr int BufferSize = 255;
    // Delimiter, five address bytes, command and byte count come before the data, so a larger count
    // would carry the frame past the buffer.
    static constexpr int MaxByteCount = BufferSize - 8;
    // A frame from a device counts its two status bytes.
    static constexpr int MinDeviceByteCount = 2;
    static constexpr int MinPreambles = 5;
    static constexpr int MaxPreambles = 20;

    static constexpr std::uint8_t Preamble = 0xFF;
    static constexpr std::uint8_t MasterDelimiter = 0x82;
    static constexpr std::uint8_t DeviceDelimiter = 0x86;
    static constexpr std::uint8_t BurstAcknowledge = 0x0F;

    // What the running session expects of the next frame.
    struct Expectation {
        Role role = PARLINK_Session::PARLINK_ENUM_SESSION_TYPE_SLAVE;
        Command command = PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND;
        std::array<std::uint8_t, 5> address{};
        bool burstMode = false;
    };

    // The outcome of one byte.
    struct Step {
        State state = PARLINK_Session::PARLINK_ENUM_SESSION_STATE_UNKNOWN;
        // Not NO_ERROR: the frame is discarded and the state is ERROR.
        Error error = PARLINK_Session::PARLINK_ENUM_SESSION_NO_ERROR;
        // A master in burst mode times the round trip from the first preamble byte of a burst frame.
        bool preambleStarted = false;
        // The burst acknowledgement arrived (slave burst mode).
        bool burstAcknowledged = false;
        // A whole frame with a matching checksum is ready in frame(); the state is RECIEVING_DONE.
        bool frameComplete = false;
        // Slave role: the command of the request being received.
        std::optional<Command> command;
    };

    // Feeds one byte; `state` is the session's state before the byte.
    Step feed(std::uint8_t byte, State state, const Expectation &expect);

    // The next byte restarts the frame search, whatever the state (set after a time-out).
    void resynchronise() { mResynchronise = true; }

    // The frame completed by the last step with frameComplete set, from the delimiter through
    // the last data byte. Its byte count always matches its length.
    QByteArray frame() const;

private:
    bool holdsFrameFor(State state) const;
    Step reset(std::uint8_t byte, const Expectation &expect);
    Step countPreambles(std::uint8_t byte, const Expectation &expect);
    Step checkAddress(std::uint8_t byte, const Expectation &expect);
    Step readCommand(std::uint8_t byte, const Expectation &expect);
    Step readByteCount(std::uint8_t byte, const Expectation &expect);
    Step readStatusBytes(std::uint8_t byte);
    Step readPayload(std::uint8_t byte);
    Step waitForBurstAcknowledge(std::uint8_t byte, const Expectation &expect);

    void store(std::uint8_t byte) { mBuffer[++mByteCounter] = byte; }
    static Step failed(Error error);
    static Step moved(State state);

    std::array<std::uint8_t, BufferSize> mBuffer{};
    // Index in mBuffer of the last stored byte.
    int mByteCounter = 0;
    int mPreambleCounter = 0;
    // Data bytes still to come before the checksum.
    int mPayloadCounter = 0;
    // Slave role: the request went to the zero address, which only command 137 may use.
    bool mZeroAddress = false;
    bool mResynchronise = false;
};
