#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

// The named fields of PARLINK commands 128..143 and their layout on the wire, shared by the master
// and the slave application layers. Plain functions: bytes in, field maps out, and back.
//
// A "payload" is what follows the command byte of a frame, without the checksum:
//   request  (0x82, master to device): byte count, data;
//   response (0x86, device to master): byte count, Status High, Status Low, data.
// A "frame" runs from the delimiter through the last data byte (no preamble, no checksum), as the link
// layer hands it over. Multi-byte numbers are big-endian; texts are 16-byte Latin-1 slots.
//
// Bytes from the wire are untrusted: decoding never reads past the given bytes, a field whose bytes
// are missing keeps its standard value, and counts are compared as plain integers (never modulo 256).
namespace PARLINK_FieldCodec {

using FieldMap = QMap<QString, QVariant>;

inline constexpr char RequestDelimiter = char(0x82);
inline constexpr char ResponseDelimiter = char(0x86);
inline constexpr int TextSlotSize = 16;
inline constexpr int AddressSize = 5;
// A frame: delimiter, address, command, byte count and its data, checksum (the wake-up string not
// counted). A response holds at least its delimiter, address, command and byte count.
inline constexpr qsizetype CommandOffset = 1 + AddressSize;
inline constexpr qsizetype PayloadOffset = CommandOffset + 1;
inline constexpr qsizetype ResponseHeaderSize = PayloadOffset + 1;

// The standard field map of one command: "Status High", "Status Low", "Universal Error" (int 0) for
// every command, "Error" and the command's own fields with their defaults for 128..143.
FieldMap standardFields(int command);

// Request data of `command`, laid out from `fields` (values taken with QVariant::toUInt and cut to the
// field's width). The byte count is "Databytes Master", for 131 "BytesToWrite" plus 2. Commands
// outside 128..143 have no payload. Empty optional when the fields cannot be laid out: command 131
// whose "Bytes" holds fewer than "BytesToWrite" bytes, or whose count would not fit in one byte.
std::optional<QByteArray> encodeRequest(int command, const FieldMap &fields);
// The request fields of `command` read from a request payload (the slave's view); other fields keep
// their standard values. For 131 "BytesToWrite" is the number of bytes actually taken into "Bytes".
FieldMap decodeRequest(int command, const QByteArray &payload);

// Response payload of `command` from the reply fields: "Databytes Slave", "Status High", "Status Low"
// and the command's data. For 130 the count and data follow "BytesToRead" of `request` (zero bytes
// when the reply's "Bytes" is too short); for 138 and 139 the count is 5N + 3 for N variables, N at
// most 50 so that the count fits in one byte; missing reply fields are sent as standard values. A command
// outside 128..143 is answered with the count 2, "Status High" and "Status Low", and no data.
QByteArray encodeResponse(int command, const FieldMap &reply, const FieldMap &request = {});
// The response fields of `command` read from a response payload (the master's view): "Status High",
// "Status Low", "Error" 0 and "Universal Error": 255 when "Status Low" is not 0 (no data decoded),
// 2 for more and 1 for fewer data bytes than the command has (or than the count announces), else the
// data fields. Command 137 takes its address fields from `address` (the response frame's five bytes).
FieldMap decodeResponse(int command, const QByteArray &payload, const QByteArray &address = {});

// Whole frames: delimiter, five address bytes (five zeros in a 137 request), command, payload.
std::optional<QByteArray> encodeRequestFrame(int command, const QByteArray &address, const FieldMap &fields);
QByteArray encodeResponseFrame(int command, const QByteArray &address, const FieldMap &reply,
                               const FieldMap &request = {});
// The command is frame byte 6 and the payload follows it; a frame too short to hold a command byte
// yields only the three common fields.
FieldMap decodeRequestFrame(const QByteArray &frame);
FieldMap decodeResponseFrame(const QByteArray &frame);

// One 16-byte text slot: Latin-1, cut after 16 characters, padded with zero bytes.
QByteArray encodeTextSlot(const QString &text);
// The text of the slot at `offset`: up to the first zero byte or 16 characters, never past `data`.
QString decodeTextSlot(const QByteArray &data, qsizetype offset);

} // namespace PARLINK_FieldCodec
