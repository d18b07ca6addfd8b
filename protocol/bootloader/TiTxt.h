#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>
#include <string_view>
#include <utility>

// TI-TXT firmware images: address lines "@" + hexadecimal address, data bytes written as two
// hexadecimal digits, and an end token (any token with a "q" in it), separated by blanks and line
// ends. The boot loaders take a file in one of two shapes: one contiguous image with the gaps
// between sections filled with 0xFF (Tiva), or a list of blocks of at most 256 bytes, each with its
// CRC (MSP432).
//
// A file is flashed only when every token is well-formed and the sections fit the 32-bit address
// space: anything else would be written as zeros or at the wrong address, so it is refused here,
// before a single byte goes to a target.
namespace TiTxt {

// The parse holds the whole image in memory, and gap filling turns two address lines into as many
// bytes as lie between them. No flash image comes near this; it only keeps a bad file from asking
// for gigabytes.
inline constexpr qsizetype MaxImageBytes = 64 * 1024 * 1024;
inline constexpr qsizetype BlockBytes = 256;
inline constexpr quint64 AddressSpaceEnd = 0x1'0000'0000ULL;

enum class Error {
    None,
    CannotOpen,        // the file could not be opened for reading
    BadToken,          // neither an address, a data byte nor an end token
    DataBeforeAddress, // data bytes before the first address line
    NoAddress,         // no address line at all
    AddressBelowData,  // image: an address below the data gathered so far
    ImageTooLarge,     // more than MaxImageBytes
    OverlappingBlocks, // block list: two blocks share addresses
    PastAddressSpace,  // data beyond address FFFFFFFF
};

inline constexpr std::array<std::pair<Error, std::string_view>, 9> ErrorNames{{
    {Error::None, "None"},
    {Error::CannotOpen, "CannotOpen"},
    {Error::BadToken, "BadToken"},
    {Error::DataBeforeAddress, "DataBeforeAddress"},
    {Error::NoAddress, "NoAddress"},
    {Error::AddressBelowData, "AddressBelowData"},
    {Error::ImageTooLarge, "ImageTooLarge"},
    {Error::OverlappingBlocks, "OverlappingBlocks"},
    {Error::PastAddressSpace, "PastAddressSpace"},
}};

constexpr std::string_view errorName(Error error)
{
    for (const auto &[value, name] : ErrorNames) {
        if (value == error)
            return name;
    }
    return {};
}

struct Token {
    enum class Kind { Address, Data, End, Bad };
    Kind kind = Kind::Bad;
    quint32 value = 0; // the address, or the data byte
};

// How the parser reads one token (without separators).
Token classifyToken(QByteArrayView token);

struct Image {
    quint32 address = 0;
    QByteArray data;
};

struct Block {
    quint32 address = 0;
    QByteArray data;
    quint16 crc = 0xFFFF; // CRC-16/CCITT-FALSE of data
};

struct ImageResult {
    Error error = Error::None;
    Image image;
    bool ok() const { return error == Error::None; }
};

struct BlocksResult {
    Error error = Error::None;
    QList<Block> blocks;
    bool ok() const { return error == Error::None; }
    // Data bytes over all blocks; a file may parse to empty blocks only.
    qsizetype dataBytes() const;
};

// Everything from the first address line on lands in one block at that address; a later address line
// fills with 0xFF up to its address.
ImageResult parseImage(QByteArrayView text);
// Each address line starts a new block (closing the current one, also when it is empty); a block that
// reaches 256 bytes is continued in a new block 256 bytes further on.
BlocksResult parseBlocks(QByteArrayView text);

// The same for a file, read in pieces so that memory stays bounded by the result.
ImageResult readImage(const QString &fileName);
BlocksResult readBlocks(const QString &fileName);

} // namespace TiTxt
