// libFuzzer target: the TI-TXT parser fed with arbitrary text. Whatever it reads, a file it accepts
// must be sound: blocks of at most 256 bytes with their right CRC, inside the 32-bit address space,
// not overlapping, and no larger than the cap; an accepted contiguous image must hold the same bytes
// at the same addresses as the block list.

#include "protocol/bootloader/BootloaderCrc.h"
#include "protocol/bootloader/TiTxt.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkBlocks(const TiTxt::BlocksResult &result)
{
    if (!result.ok()) {
        require(result.blocks.isEmpty());
        return;
    }
    require(!result.blocks.isEmpty());
    require(result.dataBytes() <= TiTxt::MaxImageBytes);
    QList<std::pair<quint64, quint64>> ranges;
    for (const TiTxt::Block &block : result.blocks) {
        require(block.data.size() <= TiTxt::BlockBytes);
        require(block.crc == BootloaderCrc::crc16(block.data));
        const quint64 end = quint64(block.address) + quint64(block.data.size());
        require(end <= TiTxt::AddressSpaceEnd);
        if (!block.data.isEmpty())
            ranges.append({block.address, end});
    }
    std::sort(ranges.begin(), ranges.end());
    for (qsizetype i = 1; i < ranges.size(); ++i)
        require(ranges[i - 1].second <= ranges[i].first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
    const TiTxt::BlocksResult blocks = TiTxt::parseBlocks(text);
    checkBlocks(blocks);

    const TiTxt::ImageResult image = TiTxt::parseImage(text);
    if (!image.ok()) {
        require(image.image.data.isEmpty());
        return 0;
    }
    require(image.image.data.size() <= TiTxt::MaxImageBytes);
    require(quint64(image.image.address) + quint64(image.image.data.size()) <= TiTxt::AddressSpaceEnd);
    // Ascending sections never overlap: the block list takes whatever the image takes.
    require(blocks.ok());
    for (const TiTxt::Block &block : blocks.blocks) {
        require(block.address >= image.image.address);
        const qsizetype offset = qsizetype(block.address - image.image.address);
        require(image.image.data.mid(offset, block.data.size()) == block.data);
    }
    return 0;
}
