#pragma once

#include "device/Parameter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace Thg::Tilo::Communication {

// References into a caller's parameters; the caller keeps them alive while a transfer uses them.
using ParameterRefs = std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>>;

// Bytes a parameter occupies in device memory: its length times its element size, 0 for a type code
// that is not a data type.
std::size_t declaredSize(const Thg::Tilo::Device::Parameter &parameter);

// The contiguous memory blocks that one parameter list covers, in ascending address order. Neighbours
// are decided by the declared sizes; a block holds the parameters' byte images back to back.
class TransferableData {
public:
    struct TransferableDate {
        std::uint16_t address = 0;
        std::vector<std::uint8_t> data;

        bool operator==(const TransferableDate &) const = default;
    };

    // Sorts `parameters` by address in place (the caller decodes a read in that order) and builds the
    // blocks. Every gap or overlap starts a new block.
    static TransferableData fromParameters(ParameterRefs &parameters);

    // Appends the parameter's byte image to the last block: its current value, or its default value
    // while the current one holds nothing.
    void appendData(const Thg::Tilo::Device::Parameter &parameter);

    // False once a parameter's image could not be made, differed in size from what the parameter
    // declares, or reached past the 16-bit address space. Such a block would put bytes at addresses
    // their parameters do not own, so a transfer must not use it.
    bool imagesFitAddresses() const { return fits; }

    std::vector<TransferableDate> blocks;

private:
    bool fits = true;
};

} // namespace Thg::Tilo::Communication
