#include "protocol/parlink/PARLINK_FieldCodec.h"


#include <algorithm>
#include <bit>
#include <cstdint>

namespace PARLINK_FieldCodec {

namespace {

constexpr int FirstCommand = 128;
constexpr int LastCommand = 143;
constexpr int MeasuredValueSlots = 8;
constexpr int StatusSlots = 8;
// A 138/139 record: unit byte and IEEE 754 single-precision value.
constexpr int VariableRecordSize = 5;
// Above this the byte count 5N + 3 no longer fits in one byte.
constexpr int MaxEncodableVariables = 50;
// Largest count a master accepts for a memory read (two status bytes and 98 data bytes).
constexpr int MaxMemoryReadCount = 100;

const QString StatusHigh = QStringLiteral("Status High");
const QString StatusLow = QStringLiteral("Status Low");
const QString UniversalError = QStringLiteral("Universal Error");
const QString Error = QStringLiteral("Error");
const QString DatabytesMaster = QStringLiteral("Databytes Master");
const QString DatabytesSlave = QStringLiteral("Databytes Slave");

enum UniversalErrorValue {
    NoError = 0,
    TooFewPayloadBytes = 1,
    TooManyPayloadBytes = 2,
    NotExecuted = 255,
};

bool isKnownCommand(int command)
{
    return command >= FirstCommand && command <= LastCommand;
}

// The variable fields of 138 ("Devicevariable") and 139 ("Burstvariable").
struct VariableNames {
    QString number;
    QString prefix;
};

VariableNames variableNames(int command)
{
    if (command == 138)
        return {QStringLiteral("Number of Devicevariables"), QStringLiteral("Devicevariable ")};
    return {QStringLiteral("Number of Burstvariables"), QStringLiteral("Burstvariable ")};
}

QString unitKey(const VariableNames &names, int index)
{
    return names.prefix + QString::number(index) + QStringLiteral(" Unit");
}

QString valueKey(const VariableNames &names, int index)
{
    return names.prefix + QString::number(index);
}

QString statusStringKey(int index)
{
    return QStringLiteral("Statusstring ") + QString::number(index);
}

// Bounds-checked big-endian reads; a read that would pass the end yields nothing.
class Reader {
public:
    explicit Reader(const QByteArray &bytes) : mBytes(bytes) {}

    bool has(qsizetype offset, qsizetype size) const
    {
        return offset >= 0 && size >= 0 && offset + size <= mBytes.size();
    }

    std::optional<quint32> number(qsizetype offset, int size) const
    {
        if (!has(offset, size))
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | quint8(mBytes[offset + i]);
        return value;
    }

    qsizetype size() const { return mBytes.size(); }

private:
    const QByteArray &mBytes;
};

void appendNumber(QByteArray &out, quint32 value, int size)
{
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

quint32 uintField(const FieldMap &fields, const QString &key, int command)
{
    const auto it = fields.constFind(key);
    if (it != fields.cend())
        return it->toUInt();
    return standardFields(command).value(key).toUInt();
}

// Stores a decoded number with the type of its standard value: int for the narrow fields, uint for the
// 32-bit ones, whose values do not all fit in an int.
void storeNumber(FieldMap &fields, const QString &key, std::optional<quint32> value, int size)
{
    if (!value)
        return;
    if (size >= 4)
        fields[key] = uint(*value);
    else
        fields[key] = int(*value);
}

void appendVariables(QByteArray &out, int command, const FieldMap &reply)
{
    const VariableNames names = variableNames(command);
    const int count = int(std::min<quint32>(uintField(reply, names.number, command), MaxEncodableVariables));
    out.append(char(quint8(count * VariableRecordSize + 3)));
    out.append(char(quint8(uintField(reply, StatusHigh, command))));
    out.append(char(quint8(uintField(reply, StatusLow, command))));
    out.append(char(quint8(count)));
    for (int i = 1; i <= count; ++i) {
        const QVariant unit = reply.value(unitKey(names, i), 0);
        const QVariant value = reply.value(valueKey(names, i), 0.0F);
        out.append(char(quint8(unit.toUInt())));
        appendNumber(out, std::bit_cast<quint32>(value.toFloat()), 4);
    }
}

void decodeVariables(FieldMap &fields, int command, const Reader &in, int count)
{
    const VariableNames names = variableNames(command);
    const int number = int(in.number(3, 1).value_or(0));
    // The exact count is computed in int: an 8-bit 5N + 3 would wrap and accept a frame for N >= 51.
    const int exact = 3 + VariableRecordSize * number;
    if (count > exact) {
        fields[UniversalError] = int(TooManyPayloadBytes);
        return;
    }
    if (count < exact) {
        fields[UniversalError] = int(TooFewPayloadBytes);
        return;
    }
    fields[names.number] = number;
    // The map holds eight variables; records beyond them are not stored.
    for (int i = 1; i <= std::min(number, MeasuredValueSlots); ++i) {
        const qsizetype offset = 4 + qsizetype(i - 1) * VariableRecordSize;
        fields[unitKey(names, i)] = int(*in.number(offset, 1));
        fields[valueKey(names, i)] = std::bit_cast<float>(*in.number(offset + 1, 4));
    }
}

// The exact response count of the commands with a fixed layout.
std::optional<int> fixedResponseCount(int command)
{
    switch (command) {
    case 128: return 4;
    case 134: return 6;
    case 135: return 4;
    case 136: return 5;
    case 140: return 2 + StatusSlots * TextSlotSize;
    case 141: return 2 + TextSlotSize;
    case 129: case 131: case 132: case 133: case 137: case 142: case 143: return 2;
    default: return std::nullopt;
    }
}

} // namespace

FieldMap standardFields(int command)
{
    FieldMap fields{{StatusHigh, 0}, {StatusLow, 0}, {UniversalError, 0}};
    if (!isKnownCommand(command))
        return fields;
    fields[Error] = 0;
    const QString space = QStringLiteral(" ");
    switch (command) {
    case 128:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 4;
        fields[QStringLiteral("BaudrateBitmask")] = 0;
        break;
    case 129:
        fields[DatabytesMaster] = 3;
        fields[DatabytesSlave] = 2;
        fields[QStringLiteral("Baudrate")] = 0;
        break;
    case 130:
        fields[DatabytesMaster] = 3;
        fields[QStringLiteral("Address")] = 0;
        fields[QStringLiteral("BytesToRead")] = 0;
        fields[QStringLiteral("Bytes")] = QByteArray();
        break;
    case 131:
        fields[DatabytesSlave] = 2;
        fields[QStringLiteral("Address")] = 0;
        fields[QStringLiteral("BytesToWrite")] = 0;
        fields[QStringLiteral("Bytes")] = QByteArray();
        break;
    case 132:
    case 133:
    case 142:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 2;
        break;
    case 134:
        fields[DatabytesMaster] = 1;
        fields[DatabytesSlave] = 6;
        fields[QStringLiteral("DiagCode")] = 0;
        fields[QStringLiteral("DiagValue")] = 0;
        break;
    case 135:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 4;
        fields[QStringLiteral("Version")] = 0;
        fields[QStringLiteral("Subversion")] = 0;
        break;
    case 136:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 5;
        fields[QStringLiteral("Revision Year")] = 0;
        fields[QStringLiteral("Revision Month")] = 0;
        fields[QStringLiteral("Revision Day")] = 0;
        break;
    case 137:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 2;
        fields[QStringLiteral("Address Vendor ID")] = 0;
        fields[QStringLiteral("Address Slave")] = 0;
        fields[QStringLiteral("Address Subslave")] = 0;
        break;
    case 138:
    case 139: {
        const VariableNames names = variableNames(command);
        fields[DatabytesMaster] = 0;
        fields[names.number] = 0;
        for (int i = 1; i <= MeasuredValueSlots; ++i) {
            fields[unitKey(names, i)] = 0;
            fields[valueKey(names, i)] = 0.0F;
        }
        break;
    }
    case 140:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 130;
        for (int i = 1; i <= StatusSlots; ++i)
            fields[statusStringKey(i)] = space;
        break;
    case 141:
        fields[DatabytesMaster] = 0;
        fields[DatabytesSlave] = 18;
        fields[QStringLiteral("Devicetypestring")] = space;
        break;
    case 143:
        fields[DatabytesMaster] = 5;
        fields[DatabytesSlave] = 2;
        fields[QStringLiteral("Systemcommand")] = 0;
        fields[QStringLiteral("Payload")] = 0;
        break;
    default:
        break;
    }
    return fields;
}

std::optional<QByteArray> encodeRequest(int command, const FieldMap &fields)
{
    QByteArray out;
    if (!isKnownCommand(command))
        return out;
    const auto field = [&](const QString &key) { return uintField(fields, key, command); };
    if (command == 131) {
        const quint32 toWrite = field(QStringLiteral("BytesToWrite"));
        const QByteArray bytes = fields.value(QStringLiteral("Bytes")).toByteArray();
        // Padding a short array would write bytes the caller never gave into the device's memory.
        if (toWrite + 2 > 0xFF || bytes.size() < qsizetype(toWrite))
            return std::nullopt;
        out.append(char(toWrite + 2));
        appendNumber(out, field(QStringLiteral("Address")), 2);
        out.append(bytes.left(qsizetype(toWrite)));
        return out;
    }
    out.append(char(quint8(field(DatabytesMaster))));
    switch (command) {
    case 129:
        appendNumber(out, field(QStringLiteral("Baudrate")), 3);
        break;
    case 130:
        appendNumber(out, field(QStringLiteral("Address")), 2);
        appendNumber(out, field(QStringLiteral("BytesToRead")), 1);
        break;
    case 134:
        appendNumber(out, field(QStringLiteral("DiagCode")), 1);
        break;
    case 143:
        appendNumber(out, field(QStringLiteral("Systemcommand")), 1);
        appendNumber(out, field(QStringLiteral("Payload")), 4);
        break;
    default:
        break;
    }
    return out;
}

FieldMap decodeRequest(int command, const QByteArray &payload)
{
    FieldMap fields = standardFields(command);
    const Reader in(payload);
    switch (command) {
    case 129:
        storeNumber(fields, QStringLiteral("Baudrate"), in.number(1, 3), 3);
        break;
    case 130:
        storeNumber(fields, QStringLiteral("Address"), in.number(1, 2), 2);
        storeNumber(fields, QStringLiteral("BytesToRead"), in.number(3, 1), 1);
        break;
    case 131: {
        // The count covers the two address bytes; a count below 2 announces no data, and data that
        // the payload does not hold are not invented.
        const int announced = std::max(0, int(in.number(0, 1).value_or(0)) - 2);
        const int available = int(std::max<qsizetype>(0, payload.size() - 3));
        const int taken = std::min(announced, available);
        storeNumber(fields, QStringLiteral("Address"), in.number(1, 2), 2);
        fields[QStringLiteral("BytesToWrite")] = taken;
        fields[QStringLiteral("Bytes")] = payload.mid(3, taken);
        break;
    }
    case 134:
        storeNumber(fields, QStringLiteral("DiagCode"), in.number(1, 1), 1);
        break;
    case 143:
        storeNumber(fields, QStringLiteral("Systemcommand"), in.number(1, 1), 1);
        storeNumber(fields, QStringLiteral("Payload"), in.number(2, 4), 4);
        break;
    default:
        break;
    }
    return fields;
}

QByteArray encodeResponse(int command, const FieldMap &reply, const FieldMap &request)
{
    QByteArray out;
    const auto field = [&](const QString &key) { return uintField(reply, key, command); };
    if (!isKnownCommand(command)) {
        // Still a whole answer: a master reads the byte count and the status bytes of every frame.
        out.append(char(2));
        out.append(char(quint8(field(StatusHigh))));
        out.append(char(quint8(field(StatusLow))));
        return out;
    }
    if (command == 138 || command == 139) {
        appendVariables(out, command, reply);
        return out;
    }
    if (command == 130) {
        // At most 253 data bytes, so that the count (data plus two status bytes) fits in one byte.
        const int toRead = int(std::min<quint32>(uintField(request, QStringLiteral("BytesToRead"), 130), 0xFF - 2));
        const QByteArray bytes = reply.value(QStringLiteral("Bytes")).toByteArray();
        out.append(char(toRead + 2));
        out.append(char(quint8(field(StatusHigh))));
        out.append(char(quint8(field(StatusLow))));
        out.append(bytes.size() >= toRead ? bytes.left(toRead) : QByteArray(toRead, '\0'));
        return out;
    }
    out.append(char(quint8(field(DatabytesSlave))));
    out.append(char(quint8(field(StatusHigh))));
    out.append(char(quint8(field(StatusLow))));
    switch (command) {
    case 128:
        appendNumber(out, field(QStringLiteral("BaudrateBitmask")), 2);
        break;
    case 134:
        appendNumber(out, field(QStringLiteral("DiagValue")), 4);
        break;
    case 135:
        appendNumber(out, field(QStringLiteral("Version")), 1);
        appendNumber(out, field(QStringLiteral("Subversion")), 1);
        break;
    case 136:
        appendNumber(out, field(QStringLiteral("Revision Year")), 1);
        appendNumber(out, field(QStringLiteral("Revision Month")), 1);
        appendNumber(out, field(QStringLiteral("Revision Day")), 1);
        break;
    case 140:
        for (int i = 1; i <= StatusSlots; ++i)
            out.append(encodeTextSlot(reply.value(statusStringKey(i), QStringLiteral(" ")).toString()));
        break;
    case 141:
        out.append(encodeTextSlot(reply.value(QStringLiteral("Devicetypestring"), QStringLiteral(" ")).toString()));
        break;
    default:
        break;
    }
    return out;
}

FieldMap decodeResponse(int command, const QByteArray &payload, const QByteArray &address)
{
    FieldMap fields = standardFields(command);
    if (!isKnownCommand(command))
        return fields;
    const Reader in(payload);
    const std::optional<quint32> countByte = in.number(0, 1);
    const std::optional<quint32> statusHigh = in.number(1, 1);
    const std::optional<quint32> statusLow = in.number(2, 1);
    if (!countByte || !statusHigh || !statusLow) {
        // Too short to hold a count and both status bytes.
        fields[UniversalError] = int(TooFewPayloadBytes);
        return fields;
    }
    fields[StatusHigh] = int(*statusHigh);
    fields[StatusLow] = int(*statusLow);
    fields[Error] = 0;
    if (*statusLow != 0) {
        fields[UniversalError] = int(NotExecuted);
        return fields;
    }
    const int count = int(*countByte);
    // Data that the count announces but the payload does not hold are missing bytes, whatever the
    // count claims.
    if (payload.size() - 1 < count) {
        fields[UniversalError] = int(TooFewPayloadBytes);
        return fields;
    }
    if (command == 138 || command == 139) {
        decodeVariables(fields, command, in, count);
        return fields;
    }
    if (command == 130) {
        if (count > MaxMemoryReadCount)
            fields[UniversalError] = int(TooManyPayloadBytes);
        else if (count < 2)
            fields[UniversalError] = int(TooFewPayloadBytes);
        else
            fields[QStringLiteral("Bytes")] = payload.mid(3, count - 2);
        return fields;
    }
    const int exact = *fixedResponseCount(command);
    if (count > exact) {
        fields[UniversalError] = int(TooManyPayloadBytes);
        return fields;
    }
    if (count < exact) {
        fields[UniversalError] = int(TooFewPayloadBytes);
        return fields;
    }
    switch (command) {
    case 128:
        storeNumber(fields, QStringLiteral("BaudrateBitmask"), in.number(3, 2), 2);
        break;
    case 134:
        storeNumber(fields, QStringLiteral("DiagValue"), in.number(3, 4), 4);
        break;
    case 135:
        storeNumber(fields, QStringLiteral("Version"), in.number(3, 1), 1);
        storeNumber(fields, QStringLiteral("Subversion"), in.number(4, 1), 1);
        break;
    case 136:
        storeNumber(fields, QStringLiteral("Revision Year"), in.number(3, 1), 1);
        storeNumber(fields, QStringLiteral("Revision Month"), in.number(4, 1), 1);
        storeNumber(fields, QStringLiteral("Revision Day"), in.number(5, 1), 1);
        break;
    case 137: {
        const Reader addr(address);
        if (addr.has(0, AddressSize)) {
            storeNumber(fields, QStringLiteral("Address Vendor ID"), addr.number(0, 1), 1);
            storeNumber(fields, QStringLiteral("Address Slave"), addr.number(1, 2), 2);
            storeNumber(fields, QStringLiteral("Address Subslave"), addr.number(3, 2), 2);
        }
        break;
    }
    case 140:
        for (int i = 1; i <= StatusSlots; ++i)
            fields[statusStringKey(i)] = decodeTextSlot(payload, 3 + qsizetype(i - 1) * TextSlotSize);
        break;
    case 141:
        fields[QStringLiteral("Devicetypestring")] = decodeTextSlot(payload, 3);
        break;
    default:
        break;
    }
    return fields;
}

std::optional<QByteArray> encodeRequestFrame(int command, const QByteArray &address, const FieldMap &fields)
{
    const std::optional<QByteArray> payload = encodeRequest(command, fields);
    if (!payload)
        return std::nullopt;
    QByteArray frame;
    frame.append(RequestDelimiter);
    // Command 137 asks whoever is on the line for its address.
    const QByteArray frameAddress = command == 137 ? QByteArray() : address.left(AddressSize);
    frame.append(frameAddress);
    frame.append(QByteArray(AddressSize - frameAddress.size(), '\0'));
    frame.append(char(quint8(command)));
    frame.append(*payload);
    return frame;
}

QByteArray encodeResponseFrame(int command, const QByteArray &address, const FieldMap &reply,
                               const FieldMap &request)
{
    QByteArray frame;
    frame.append(ResponseDelimiter);
    const QByteArray frameAddress = address.left(AddressSize);
    frame.append(frameAddress);
    frame.append(QByteArray(AddressSize - frameAddress.size(), '\0'));
    frame.append(char(quint8(command)));
    frame.append(encodeResponse(command, reply, request));
    return frame;
}

namespace {
int frameCommand(const QByteArray &frame)
{
    return frame.size() > CommandOffset ? int(quint8(frame[CommandOffset])) : 0;
}
} // namespace

FieldMap decodeRequestFrame(const QByteArray &frame)
{
    return decodeRequest(frameCommand(frame), frame.mid(PayloadOffset));
}

FieldMap decodeResponseFrame(const QByteArray &frame)
{
    return decodeResponse(frameCommand(frame), frame.mid(PayloadOffset), frame.mid(1, AddressSize));
}

QByteArray encodeTextSlot(const QString &text)
{
    QByteArray slot = text.left(TextSlotSize).toLatin1();
    slot.append(QByteArray(TextSlotSize - slot.size(), '\0'));
    return slot;
}

QString decodeTextSlot(const QByteArray &data, qsizetype offset)
{
    if (offset < 0 || offset >= data.size())
        return QString();
    const QByteArray slot = data.mid(offset, TextSlotSize);
    const qsizetype end = slot.indexOf('\0');
    return QString::fromLatin1(end < 0 ? slot : slot.left(end));
}

} // namespace PARLINK_FieldCodec
