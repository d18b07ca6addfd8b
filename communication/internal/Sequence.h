#pragma once

#include "communication/Address.h"
#include "communication/internal/Session.h"

#include <QList>

#include <optional>
#include <type_traits>
#include <utility>

namespace Thg::Tilo::Communication::Internal {

// The commands of a job that go to one part of the device's address, sent as one session.
struct Sequence {
    Sequence() = default;
    Sequence(const QList<Session::Data> &commands, int cursor, Address::Type type)
        : commands(commands), cursor(cursor), type(type)
    {
    }
    template <typename... Commands>
        requires(sizeof...(Commands) > 0 && (std::is_convertible_v<Commands, Session::Data> && ...))
    explicit Sequence(Address::Type type, Commands &&...data) : commands{Session::Data(std::forward<Commands>(data))...}, type(type)
    {
    }

    // A copy of the command whose reply is awaited next; nothing once the cursor has left the list.
    std::optional<Session::Data> getCurrent() const;
    // True when a command follows the one at the cursor.
    bool hasNext() const { return cursor + 1 < commands.size(); }

    bool operator==(const Sequence &) const = default;

    QList<Session::Data> commands;
    int cursor = 0;
    Address::Type type = Address::Type::None;
};

// A job's plan: its sequences in order and the one under way.
struct Sequences {
    // Moves on to the next sequence and returns it; nothing, and the cursor stays, at the last one.
    std::optional<Sequence> getNext();
    // The sequence under way; nullptr for an empty plan.
    Sequence *current();
    const Sequence *current() const;
    bool hasNext() const { return !sequences.isEmpty() && cursor + 1 < sequences.size(); }
    // The command whose reply is awaited: that at the cursor of the sequence under way; no command
    // when there is none.
    int expectedCommand() const;

    bool operator==(const Sequences &) const = default;

    QList<Sequence> sequences;
    int cursor = 0;
};

} // namespace Thg::Tilo::Communication::Internal
