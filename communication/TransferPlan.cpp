#include "communication/TransferPlan.h"

namespace Thg::Tilo::Communication::Internal {

namespace {

Session::Data memoryRead(const Chunks<50>::Chunk &chunk)
{
    Session::Data read = Session::request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130);
    read.fields[QStringLiteral("Address")] = int(chunk.address);
    read.fields[QStringLiteral("BytesToRead")] = int(chunk.data.size());
    return read;
}

Session::Data memoryWrite(const Chunks<50>::Chunk &chunk)
{
    Session::Data write = Session::request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131);
    write.fields[QStringLiteral("Address")] = int(chunk.address);
    write.fields[QStringLiteral("BytesToWrite")] = int(chunk.data.size());
    write.fields[QStringLiteral("Bytes")] = chunk.data;
    return write;
}

Sequence takeOver(Address::Type type)
{
    return Sequence(type, Session::request(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_132));
}

} // namespace

Sequences writePlan(const QList<Chunks<50>::Chunk> &chunks, bool readBack)
{
    Sequences plan;
    if (chunks.isEmpty())
        return plan;
    Address::Type current = chunks.first().type;
    for (const auto &chunk : chunks) {
        // The device takes what was written into RAM per part of its address, before the next part.
        if (chunk.type != current)
            plan.sequences.append(takeOver(current));
        Sequence sequence(chunk.type, memoryWrite(chunk));
        if (readBack)
            sequence.commands.append(memoryRead(chunk));
        plan.sequences.append(sequence);
        current = chunk.type;
    }
    plan.sequences.append(takeOver(current));
    return plan;
}

Sequences readPlan(const QList<Chunks<50>::Chunk> &chunks)
{
    Sequences plan;
    for (const auto &chunk : chunks)
        plan.sequences.append(Sequence(chunk.type, memoryRead(chunk)));
    return plan;
}

int commandCount(const Sequences &plan)
{
    int count = 0;
    for (const auto &sequence : plan.sequences)
        count += int(sequence.commands.size());
    return count;
}

} // namespace Thg::Tilo::Communication::Internal
