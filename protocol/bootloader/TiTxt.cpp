#include "protocol/bootloader/TiTxt.h"

#include "protocol/bootloader/BootloaderCrc.h"

#include <QFile>

#include <algorithm>

namespace TiTxt {

namespace {

constexpr qint64 ReadChunkBytes = 64 * 1024;
constexpr char FillByte = char(0xFF);

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

// Reads tokens character by character, so that a token of any length costs no memory: an end token is
// known at its first "q", everything else by its first character, its length and its digits.
class TokenScanner {
public:
    // The token that this character completes or decides, if any.
    bool take(char c, Token *token)
    {
        if (isSeparator(c))
            return flush(token);
        if (mLength == 0 && c == '@') {
            mAddress = true;
            mLength = 1;
            return false;
        }
        ++mLength;
        if (!mAddress && (c == 'q' || c == 'Q')) {
            *token = {Token::Kind::End, 0};
            reset();
            return true;
        }
        const int digit = hexValue(c);
        if (digit < 0) {
            mHexOnly = false;
        } else if (mValue <= 0xFFFF'FFFFULL) {
            mValue = mValue * 16 + quint64(digit);
        }
        return false;
    }

    // The token still open at the end of the input, if any.
    bool flush(Token *token)
    {
        if (mLength == 0)
            return false;
        *token = classified();
        reset();
        return true;
    }

private:
    Token classified() const
    {
        if (mAddress) {
            if (mLength > 1 && mHexOnly && mValue <= 0xFFFF'FFFFULL)
                return {Token::Kind::Address, quint32(mValue)};
            return {Token::Kind::Bad, 0};
        }
        if (mLength == 2 && mHexOnly)
            return {Token::Kind::Data, quint32(mValue)};
        return {Token::Kind::Bad, 0};
    }

    void reset()
    {
        mLength = 0;
        mAddress = false;
        mHexOnly = true;
        mValue = 0;
    }

    qsizetype mLength = 0;
    bool mAddress = false;
    bool mHexOnly = true;
    quint64 mValue = 0; // saturates just above 0xFFFFFFFF
};

class Builder {
public:
    virtual ~Builder() = default;
    virtual Error address(quint32 address) = 0;
    virtual Error data(char byte) = 0;
    virtual Error finish() = 0;
};

class ImageBuilder final : public Builder {
public:
    Error address(quint32 address) override
    {
        if (!mHaveAddress) {
            mHaveAddress = true;
            mImage.address = address;
            return Error::None;
        }
        const quint64 end = quint64(mImage.address) + quint64(mImage.data.size());
        if (address < end)
            return Error::AddressBelowData;
        const quint64 size = quint64(address) - mImage.address;
        if (size > quint64(MaxImageBytes))
            return Error::ImageTooLarge;
        mImage.data.resize(qsizetype(size), FillByte);
        return Error::None;
    }

    Error data(char byte) override
    {
        if (!mHaveAddress)
            return Error::DataBeforeAddress;
        if (mImage.data.size() >= MaxImageBytes)
            return Error::ImageTooLarge;
        if (quint64(mImage.address) + quint64(mImage.data.size()) >= AddressSpaceEnd)
            return Error::PastAddressSpace;
        mImage.data.append(byte);
        return Error::None;
    }

    Error finish() override { return mHaveAddress ? Error::None : Error::NoAddress; }

    Image take() { return std::move(mImage); }

private:
    Image mImage;
    bool mHaveAddress = false;
};

class BlockListBuilder final : public Builder {
public:
    Error address(quint32 address) override
    {
        if (mHaveAddress)
            close();
        mHaveAddress = true;
        mCurrent.address = address;
        return Error::None;
    }

    Error data(char byte) override
    {
        if (!mHaveAddress)
            return Error::DataBeforeAddress;
        if (mCurrent.data.size() >= BlockBytes) {
            const quint64 next = quint64(mCurrent.address) + quint64(BlockBytes);
            close();
            if (next >= AddressSpaceEnd)
                return Error::PastAddressSpace;
            mCurrent.address = quint32(next);
        }
        if (quint64(mCurrent.address) + quint64(mCurrent.data.size()) >= AddressSpaceEnd)
            return Error::PastAddressSpace;
        if (mDataBytes >= MaxImageBytes)
            return Error::ImageTooLarge;
        mCurrent.data.append(byte);
        ++mDataBytes;
        return Error::None;
    }

    Error finish() override
    {
        if (!mHaveAddress)
            return Error::NoAddress;
        close();
        return overlaps() ? Error::OverlappingBlocks : Error::None;
    }

    QList<Block> take() { return std::move(mBlocks); }

private:
    void close()
    {
        mCurrent.crc = BootloaderCrc::crc16(mCurrent.data);
        mBlocks.append(mCurrent);
        mCurrent.data.clear();
    }

    // Two blocks at the same addresses would flash the later over the earlier, and the check of the
    // earlier block would then fail on the target or, worse, pass for the wrong bytes.
    bool overlaps() const
    {
        QList<std::pair<quint64, quint64>> ranges;
        for (const Block &block : mBlocks) {
            if (!block.data.isEmpty())
                ranges.append({block.address, quint64(block.address) + quint64(block.data.size())});
        }
        std::sort(ranges.begin(), ranges.end());
        for (qsizetype i = 1; i < ranges.size(); ++i) {
            if (ranges[i - 1].second > ranges[i].first)
                return true;
        }
        return false;
    }

    Block mCurrent;
    QList<Block> mBlocks;
    qsizetype mDataBytes = 0;
    bool mHaveAddress = false;
};

// Feeds text to a builder up to the end token, the first error or the end of the input.
class Reader {
public:
    explicit Reader(Builder &builder) : mBuilder(builder) {}

    // False once nothing more is to be read.
    bool feed(QByteArrayView chunk)
    {
        for (const char c : chunk) {
            Token token;
            if (mScanner.take(c, &token) && !handle(token))
                return false;
        }
        return true;
    }

    Error finish()
    {
        Token token;
        if (!mDone && mScanner.flush(&token))
            handle(token);
        if (mError != Error::None)
            return mError;
        return mBuilder.finish();
    }

private:
    bool handle(const Token &token)
    {
        switch (token.kind) {
        case Token::Kind::Address:
            mError = mBuilder.address(token.value);
            break;
        case Token::Kind::Data:
            mError = mBuilder.data(char(token.value));
            break;
        case Token::Kind::End:
            mDone = true;
            break;
        case Token::Kind::Bad:
            mError = Error::BadToken;
            break;
        }
        if (mError != Error::None)
            mDone = true;
        return !mDone;
    }

    Builder &mBuilder;
    TokenScanner mScanner;
    Error mError = Error::None;
    bool mDone = false;
};

Error readText(QByteArrayView text, Builder &builder)
{
    Reader reader(builder);
    reader.feed(text);
    return reader.finish();
}

Error readFile(const QString &fileName, Builder &builder)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Error::CannotOpen;
    Reader reader(builder);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ReadChunkBytes);
        if (chunk.isEmpty() || !reader.feed(chunk))
            break;
    }
    return reader.finish();
}

ImageResult imageResult(Error error, ImageBuilder &builder)
{
    ImageResult result;
    result.error = error;
    if (error == Error::None)
        result.image = builder.take();
    return result;
}

BlocksResult blocksResult(Error error, BlockListBuilder &builder)
{
    BlocksResult result;
    result.error = error;
    if (error == Error::None)
        result.blocks = builder.take();
    return result;
}

} // namespace

Token classifyToken(QByteArrayView token)
{
    TokenScanner scanner;
    Token result;
    for (const char c : token) {
        if (isSeparator(c))
            return {Token::Kind::Bad, 0};
        if (scanner.take(c, &result))
            return result;
    }
    if (scanner.flush(&result))
        return result;
    return {Token::Kind::Bad, 0};
}

qsizetype BlocksResult::dataBytes() const
{
    qsizetype bytes = 0;
    for (const Block &block : blocks)
        bytes += block.data.size();
    return bytes;
}

ImageResult parseImage(QByteArrayView text)
{
    ImageBuilder builder;
    return imageResult(readText(text, builder), builder);
}

BlocksResult parseBlocks(QByteArrayView text)
{
    BlockListBuilder builder;
    return blocksResult(readText(text, builder), builder);
}

ImageResult readImage(const QString &fileName)
{
    ImageBuilder builder;
    return imageResult(readFile(fileName, builder), builder);
}

BlocksResult readBlocks(const QString &fileName)
{
    BlockListBuilder builder;
    return blocksResult(readFile(fileName, builder), builder);
}

} // namespace TiTxt
