// libFuzzer target: the field decoding of every PARLINK command in both roles. The master decodes a
// device's response, the slave a master's request, each from the bytes after the command byte: either
// as the link layer hands a frame up (its byte count matches its length) or as arbitrary bytes.
// Whatever arrives, decoding must stay inside the bytes, keep each command's field layout, and give
// back exactly what it read when a decoded map is laid out again; the slave's answer to any request
// of a known command must be a whole frame.

#include "protocol/parlink/PARLINK_FieldCodec.h"
#include "protocol/parlink/PARLINK_SLAVE_AppLayer.h"

#include <QObject>

#include <cstddef>
#include <cstdint>

namespace Codec = PARLINK_FieldCodec;
using FieldMap = Codec::FieldMap;

namespace {

const QByteArray Address = QByteArray::fromHex("1300040001");
// Delimiter, five address bytes, command and byte count come before the data; the receive buffer
// holds 255 bytes from the delimiter.
constexpr int HeaderSize = 8;
constexpr int MaxByteCount = 255 - HeaderSize;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool isKnownCommand(int command)
{
    return command >= 128 && command <= 143;
}

// Every decoded map holds the fields of the command's standard map, and nothing else.
void requireLayout(int command, const FieldMap &fields)
{
    require(fields.keys() == Codec::standardFields(command).keys());
    const int universalError = fields.value(QStringLiteral("Universal Error")).toInt();
    require(universalError == 0 || universalError == 1 || universalError == 2 || universalError == 255);
}

QByteArray frame(char delimiter, int command, const QByteArray &payload)
{
    return QByteArray(1, delimiter) + Address + char(quint8(command)) + payload;
}

// The master's view: a response.
void decodeResponse(int command, const QByteArray &body, bool handedUp)
{
    if (!handedUp) {
        requireLayout(command, Codec::decodeResponse(command, body, Address));
        return;
    }
    // Status High, Status Low and data, counted as a device counts them.
    const QByteArray counted = body.left(MaxByteCount);
    const QByteArray payload = char(quint8(counted.size())) + counted;
    const FieldMap fields = Codec::decodeResponseFrame(frame(Codec::ResponseDelimiter, command, payload));
    requireLayout(command, fields);
    if (!isKnownCommand(command))
        return;

    const int count = int(counted.size());
    const int universalError = fields.value(QStringLiteral("Universal Error")).toInt();
    if (count >= 2 && counted.at(1) != 0)
        require(universalError == 255);
    if (universalError != 0)
        return;
    require(count >= 2);
    if (command == 130)
        require(fields.value(QStringLiteral("Bytes")).toByteArray() == counted.mid(2) && count <= 100);
    if (command == 138 || command == 139) {
        const QString number = command == 138 ? QStringLiteral("Number of Devicevariables")
                                              : QStringLiteral("Number of Burstvariables");
        require(count == 3 + 5 * fields.value(number).toInt());
        // The map holds eight variables; a longer answer cannot be laid out again.
        if (fields.value(number).toInt() > 8)
            return;
    }
    // Text slots are read up to their first zero byte, so what follows it is not kept.
    if (command == 140 || command == 141)
        return;
    // Laid out again, the decoded fields give back the payload they came from.
    const FieldMap request{{QStringLiteral("BytesToRead"), count - 2}};
    require(Codec::encodeResponse(command, fields, request) == payload);
}

// A request counted as the master counts it is laid out again byte for byte.
void requireRequestLaidOutAgain(int command, const QByteArray &data, const QByteArray &payload, const FieldMap &fields)
{
    const int count = int(data.size());
    if (command == 131) {
        const QByteArray bytes = fields.value(QStringLiteral("Bytes")).toByteArray();
        require(fields.value(QStringLiteral("BytesToWrite")).toInt() == bytes.size());
        require(bytes == data.mid(2));
    }
    const int masterCount = command == 131 ? fields.value(QStringLiteral("BytesToWrite")).toInt() + 2
                                           : fields.value(QStringLiteral("Databytes Master")).toInt();
    if (count == masterCount) {
        const std::optional<QByteArray> again = Codec::encodeRequest(command, fields);
        require(again && *again == payload);
    }
}

// The slave's view: a request, and the answer the slave layer builds for it.
void decodeRequest(int command, const QByteArray &body, bool handedUp)
{
    if (!handedUp) {
        requireLayout(command, Codec::decodeRequest(command, body));
        return;
    }
    const QByteArray data = body.left(MaxByteCount);
    const QByteArray payload = char(quint8(data.size())) + data;
    const FieldMap fields = Codec::decodeRequestFrame(frame(Codec::RequestDelimiter, command, payload));
    requireLayout(command, fields);
    if (isKnownCommand(command))
        requireRequestLaidOutAgain(command, data, payload, fields);

    // Every request the slave answers gets a whole frame, whatever its command.
    static PARLINK_SLAVE_AppLayer *slave = [] {
        auto *layer = new PARLINK_SLAVE_AppLayer;
        layer->startSession(nullptr);
        return layer;
    }();
    QByteArray answer;
    const auto connection = QObject::connect(
        slave, &PARLINK_SLAVE_AppLayer::sessionDataTxSetBuffer, slave,
        [&answer](PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND, QByteArray &response) { answer = response; });
    slave->sessionDataReady(frame(Codec::RequestDelimiter, command, payload));
    QObject::disconnect(connection);
    require(answer.size() >= HeaderSize + 2 && answer.size() == HeaderSize + quint8(answer.at(7)));
    require(answer.at(0) == Codec::ResponseDelimiter && quint8(answer.at(6)) == command);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Header: flags (bit 0 master, bit 1 as handed up by the link layer, bit 2 a known command),
    // then the command byte.
    if (size < 2)
        return 0;
    const bool master = (data[0] & 1) != 0;
    const bool handedUp = (data[0] & 2) != 0;
    const int command = (data[0] & 4) != 0 ? 128 + (data[1] & 0x0F) : data[1];
    const QByteArray body(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    if (master)
        decodeResponse(command, body, handedUp);
    else
        decodeRequest(command, body, handedUp);
    return 0;
}
