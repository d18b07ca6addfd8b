#include "communication/TransferPlan.h"

namespace Thg::Tilo::Communication::Internal {

namespace {

using Command = PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND;

PlannedCommand standard(Command command)
{
    PlannedCommand planned{command, {}};
    PARLINK_Session().getDefaultDataForCommand(command, &planned.fields);
    return planned;
}

PlannedCommand memoryRead(const Chunks<50>::Chunk &chunk)
{
    PlannedCommand read = standard(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_130);
    read.fields[QStringLiteral("Address")] = int(chunk.address);
    read.fields[QStringLiteral("BytesToRead")] = int(chunk.data.size());
    return read;
}

PlannedCommand memoryWrite(const Chunks<50>::Chunk &chunk)
{
    PlannedCommand write = standard(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_131);
    write.fields[QStringLiteral("Address")] = int(chunk.address);
    write.fields[QStringLiteral("BytesToWrite")] = int(chunk.data.size());
    write.fields[QStringLiteral("Bytes")] = chunk.data;
    return write;
}

PlannedSequence takeOver(Address::Type type)
{
    return {type, {standard(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND_132)}};
}

} // namespace

QList<PlannedSequence> writePlan(const QList<Chunks<50>::Chunk> &chunks, bool readBack)
{
    QList<PlannedSequence> plan;
    if (chunks.isEmpty())
        return plan;
    Address::Type current = chunks.first().type;
    for (const auto &chunk : chunks) {
        // The device takes what was written into RAM per part of its address, before the next part.
        if (chunk.type != current)
            plan.append(takeOver(current));
        PlannedSequence sequence{chunk.type, {memoryWrite(chunk)}};
        if (readBack)
            sequence.commands.append(memoryRead(chunk));
        plan.append(sequence);
        current = chunk.type;
    }
    plan.append(takeOver(current));
    return plan;
}

QList<PlannedSequence> readPlan(const QList<Chunks<50>::Chunk> &chunks)
{
    QList<PlannedSequence> plan;
    for (const auto &chunk : chunks)
        plan.append({chunk.type, {memoryRead(chunk)}});
    return plan;
}

} // namespace Thg::Tilo::Communication::Internal
