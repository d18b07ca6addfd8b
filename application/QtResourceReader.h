#pragma once

#include "device/Reader.h"

#include <filesystem>
#include <string>

namespace Thg::Tilo::Components {

// Reads a built-in resource (":/...") or an ordinary file through Qt's file classes.
class QtResourceReader : public Thg::Tilo::Device::Reader {
public:
    // Throws std::invalid_argument "<path> does not exist" or "<path> must be a file", or
    // IoException "<path> must be readable".
    explicit QtResourceReader(const std::filesystem::path &path);

    // The whole content, with "\n" line ends, read anew at each call. Throws IoException
    // "Could not open <path>".
    std::string read() const override;
    const std::string &getSourceName() const override { return mSourceName; }

private:
    std::string mSourceName;
};

} // namespace Thg::Tilo::Components
