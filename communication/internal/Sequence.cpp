#include "communication/internal/Sequence.h"

namespace Thg::Tilo::Communication::Internal {

std::optional<Session::Data> Sequence::getCurrent() const
{
    if (cursor < 0 || cursor >= commands.size())
        return std::nullopt;
    return commands.at(cursor);
}

std::optional<Sequence> Sequences::getNext()
{
    if (!hasNext())
        return std::nullopt;
    ++cursor;
    return sequences.at(cursor);
}

Sequence *Sequences::current()
{
    return cursor >= 0 && cursor < sequences.size() ? &sequences[cursor] : nullptr;
}

const Sequence *Sequences::current() const
{
    return cursor >= 0 && cursor < sequences.size() ? &sequences.at(cursor) : nullptr;
}

int Sequences::expectedCommand() const
{
    const Sequence *sequence = current();
    const std::optional<Session::Data> expected = sequence ? sequence->getCurrent() : std::nullopt;
    return expected ? int(expected->command) : int(PARLINK_Session::PARLINK_ENUM_SESSION_NO_COMMAND);
}

} // namespace Thg::Tilo::Communication::Internal
