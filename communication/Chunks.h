#pragma once

#include "communication/Address.h"
#include "communication/Device.h"
#include "communication/TransferableData.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>

namespace Thg::Tilo::Communication::Internal {

// A parameter transfer cut into pieces that fit one memory write or read request, each tagged with
// the part of the device's address it goes to.
template <std::uint16_t ChunkSize>
struct Chunks {
    static_assert(ChunkSize > 0);

    struct Chunk {
        Address::Type type = Address::Type::Device;
        std::uint16_t address = 0;
        QByteArray data;

        bool operator==(const Chunk &) const = default;
    };

    Thg::Tilo::Communication::Device device;
    QList<Chunk> chunks;
    // False when a block held no bytes, or when a parameter's image does not fit the addresses it
    // declares.
    bool valid = true;
    // False when sub-device parameters are to go to a device whose address has no sub-device id: at
    // any address type they would land in the device's own memory.
    bool subDeviceAddressable = true;

    // Cuts each block from the front into pieces of at most ChunkSize bytes.
    void append(Address::Type type, const TransferableData &blocks)
    {
        if (!blocks.imagesFitAddresses())
            valid = false;
        for (const auto &block : blocks.blocks) {
            if (block.data.empty()) {
                valid = false;
                continue;
            }
            const auto size = block.data.size();
            for (std::size_t offset = 0; offset < size; offset += ChunkSize) {
                const auto piece = std::min<std::size_t>(ChunkSize, size - offset);
                chunks.append({type, std::uint16_t(block.address + offset),
                               QByteArray(reinterpret_cast<const char *>(block.data.data() + offset),
                                          qsizetype(piece))});
            }
        }
    }
};

// The address type that sub-device chunks of `address` go out at; empty when the address has no
// sub-device id.
std::optional<Address::Type> subDeviceChunkType(const Address &address);

} // namespace Thg::Tilo::Communication::Internal
